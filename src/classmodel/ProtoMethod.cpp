#include "ProtoMethod.h"

#include "JavaTypes.pb.h"
#include "Permission.h"
#include "ProtoClass.h"

ProtoMethod::ProtoMethod(const JMethod& message) : message(&message) {}

QString ProtoMethod::getName() const
{
    return ProtoClass::text(message->name());
}

MethodSignature ProtoMethod::getSignature() const
{
    return MethodSignature(ProtoClass::text(message->descriptor_()));
}

const Permission* ProtoMethod::getPermission() const
{
    return Permission::fromInt(message->permission());
}

bool ProtoMethod::isFinal() const
{
    return message->final();
}

bool ProtoMethod::isStatic() const
{
    return message->static_();
}

bool ProtoMethod::isNative() const
{
    return false;
}

QList<TypeDescriptor> ProtoMethod::getExceptions() const
{
    QList<TypeDescriptor> exceptions;
    for (const std::string& exception : message->exceptions())
        exceptions.append(TypeDescriptor(ProtoClass::text(exception)));
    return exceptions;
}

bool ProtoMethod::requireInspection() const
{
    return message->requireinspection();
}

bool ProtoMethod::signaturePolymorphic() const
{
    return message->signature_polymorphic();
}
