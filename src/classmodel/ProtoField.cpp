#include "ProtoField.h"

#include "JavaTypes.pb.h"
#include "Permission.h"
#include "ProtoClass.h"

ProtoField::ProtoField(const JField& message) : message(&message) {}

QString ProtoField::getName() const
{
    return ProtoClass::text(message->name());
}

TypeDescriptor ProtoField::getType() const
{
    return TypeDescriptor(ProtoClass::text(message->descriptor_()));
}

const Permission* ProtoField::getPermission() const
{
    return Permission::fromInt(message->permission());
}

bool ProtoField::isFinal() const
{
    return message->final();
}

bool ProtoField::isStatic() const
{
    return message->static_();
}
