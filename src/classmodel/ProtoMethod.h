#pragma once

#include "Method.h"

class JMethod;

// A method or constructor of a gold-backed class, over one borrowed JMethod message. Created and
// deleted only by its ProtoClass. Gold files record no native flag, but they do carry the review
// marks that class files cannot.
class ProtoMethod : public Method
{
public:
    explicit ProtoMethod(const JMethod& message);

    QString getName() const override;
    MethodSignature getSignature() const override;
    // All four levels are kept; no stored permission reads as PUBLIC.
    const Permission* getPermission() const override;
    bool isFinal() const override;
    bool isStatic() const override;
    // Always false.
    bool isNative() const override;
    QList<TypeDescriptor> getExceptions() const override;
    bool requireInspection() const override;
    bool signaturePolymorphic() const override;

private:
    const JMethod* message;
};
