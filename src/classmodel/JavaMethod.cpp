#include "JavaMethod.h"

#include "JavaClassFile.h"
#include "Permission.h"

JavaMethod::JavaMethod(const JavaClassFile* file, const method_info* method)
    : file(file), method(method)
{
}

QString JavaMethod::getName() const
{
    return file->getMethodName(method);
}

MethodSignature JavaMethod::getSignature() const
{
    return file->getMethodSignature(method);
}

const Permission* JavaMethod::getPermission() const
{
    return Permission::fromInt(file->getMethodPermission(method));
}

bool JavaMethod::isFinal() const
{
    return file->isMethodFinal(method);
}

bool JavaMethod::isStatic() const
{
    return file->isMethodStatic(method);
}

bool JavaMethod::isNative() const
{
    return file->isMethodNative(method);
}

QList<TypeDescriptor> JavaMethod::getExceptions() const
{
    return file->getMethodExceptionsTypeDescriptors(method);
}

bool JavaMethod::requireInspection() const
{
    return false;
}

bool JavaMethod::signaturePolymorphic() const
{
    return false;
}
