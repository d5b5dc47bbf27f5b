#include "JavaClass.h"

#include "JavaClassFile.h"
#include "JavaField.h"
#include "JavaMethod.h"
#include "Permission.h"

JavaClass::JavaClass(const JavaClassFile* file) : file(file)
{
    for (const cp_info* entry : file->interfaces)
        interfaces.append(file->getInterfaceTypeDescriptor(entry));
    for (const field_info* field : file->fields)
        fields.append(new JavaField(file, field));
    for (const method_info* method : file->methods)
        methods.append(new JavaMethod(file, method));
}

JavaClass::~JavaClass()
{
    qDeleteAll(fields);
    qDeleteAll(methods);
    delete file;
}

int JavaClass::getMajorVersion() const
{
    return file->major_version;
}

QString JavaClass::getPackage() const
{
    return file->getPackage();
}

TypeDescriptor JavaClass::getName() const
{
    return file->getTypeDescriptor();
}

bool JavaClass::isAbstract() const
{
    return file->access_flags & ACC_ABSTRACT;
}

bool JavaClass::isInterface() const
{
    return file->access_flags & ACC_INTERFACE;
}

TypeDescriptor JavaClass::getParent() const
{
    return file->getParentTypeDescriptor();
}

bool JavaClass::hasParent() const
{
    return file->super_class != 0;
}

const QList<TypeDescriptor>& JavaClass::getInterfaces() const
{
    return interfaces;
}

const Permission* JavaClass::getPermission() const
{
    return (file->access_flags & ACC_PUBLIC) ? Permission::PUBLIC : Permission::PACKAGE;
}

bool JavaClass::isFinal() const
{
    return file->access_flags & ACC_FINAL;
}

bool JavaClass::isStatic() const
{
    return false;
}

const QList<Field*>& JavaClass::getFields() const
{
    return fields;
}

const QList<Method*>& JavaClass::getMethods() const
{
    return methods;
}

QList<TypeDescriptor> JavaClass::getDependentClasses() const
{
    return file->getDependentClasses();
}

QList<DepField> JavaClass::getDependentFields() const
{
    return file->getDependentFields();
}

QList<DepMethod> JavaClass::getDependentMethods() const
{
    return file->getDependentMethods();
}
