#include "JavaField.h"

#include "JavaClassFile.h"
#include "Permission.h"

JavaField::JavaField(const JavaClassFile* file, const field_info* field) : file(file), field(field)
{
}

QString JavaField::getName() const
{
    return file->getFieldName(field);
}

TypeDescriptor JavaField::getType() const
{
    return TypeDescriptor(file->getFieldDescriptor(field));
}

const Permission* JavaField::getPermission() const
{
    return Permission::fromInt(file->getFieldPermission(field));
}

bool JavaField::isFinal() const
{
    return file->isFieldFinal(field);
}

bool JavaField::isStatic() const
{
    return file->isFieldStatic(field);
}
