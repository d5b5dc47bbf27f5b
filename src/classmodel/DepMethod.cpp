#include "DepMethod.h"

DepMethod::DepMethod(const TypeDescriptor& owner, const QString& name,
                     const MethodSignature& signature)
    : owner(owner), name(name), signature(signature)
{
}

QString DepMethod::joinedText() const
{
    return owner.descriptor + name + signature.descriptor;
}

bool DepMethod::operator<(const DepMethod& other) const
{
    return joinedText() < other.joinedText();
}

bool DepMethod::operator==(const DepMethod& other) const
{
    return joinedText() == other.joinedText();
}
