#include "ProtoClass.h"

#include "JavaTypes.pb.h"
#include "Permission.h"
#include "ProtoField.h"
#include "ProtoMethod.h"

ProtoClass::ProtoClass(const JClass& message) : message(&message)
{
    for (const std::string& name : message.interfaces())
        interfaces.append(TypeDescriptor(text(name)));
    for (const JField& field : message.fields())
        fields.append(new ProtoField(field));
    for (const JMethod& method : message.methods())
        methods.append(new ProtoMethod(method));
}

ProtoClass::~ProtoClass()
{
    qDeleteAll(fields);
    qDeleteAll(methods);
}

QString ProtoClass::text(const std::string& stored)
{
    return QString::fromUtf8(stored.c_str());
}

int ProtoClass::getMajorVersion() const
{
    return message->major_version();
}

QString ProtoClass::getPackage() const
{
    return text(message->package());
}

TypeDescriptor ProtoClass::getName() const
{
    return TypeDescriptor(text(message->name()));
}

bool ProtoClass::isAbstract() const
{
    return message->abstract();
}

bool ProtoClass::isInterface() const
{
    return message->interface();
}

TypeDescriptor ProtoClass::getParent() const
{
    return TypeDescriptor(text(message->parent()));
}

bool ProtoClass::hasParent() const
{
    return message->has_parent();
}

const QList<TypeDescriptor>& ProtoClass::getInterfaces() const
{
    return interfaces;
}

const Permission* ProtoClass::getPermission() const
{
    return message->permission() == JP_PUBLIC ? Permission::PUBLIC : Permission::PACKAGE;
}

bool ProtoClass::isFinal() const
{
    return message->final();
}

bool ProtoClass::isStatic() const
{
    return message->static_();
}

const QList<Field*>& ProtoClass::getFields() const
{
    return fields;
}

const QList<Method*>& ProtoClass::getMethods() const
{
    return methods;
}
