#pragma once

#include "Field.h"

class JavaClassFile;
struct field_info;

// The view of one field entry of a class file. Created only by JavaClass, which owns it; the
// class file and the entry belong to that class and outlive the view.
class JavaField : public Field
{
public:
    JavaField(const JavaClassFile* file, const field_info* field);

    QString getName() const override;
    TypeDescriptor getType() const override;
    const Permission* getPermission() const override;
    bool isFinal() const override;
    bool isStatic() const override;

private:
    const JavaClassFile* file;
    const field_info* field;
};
