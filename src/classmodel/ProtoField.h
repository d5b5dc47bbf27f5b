#pragma once

#include "Field.h"

class JField;

// A field of a gold-backed class, over one borrowed JField message. Created and deleted only by
// its ProtoClass.
class ProtoField : public Field
{
public:
    explicit ProtoField(const JField& message);

    QString getName() const override;
    TypeDescriptor getType() const override;
    // All four levels are kept; no stored permission reads as PUBLIC.
    const Permission* getPermission() const override;
    bool isFinal() const override;
    bool isStatic() const override;

private:
    const JField* message;
};
