#include "DepMethod.h"

#include "JoinedText.h"

DepMethod::DepMethod(const TypeDescriptor& owner, const QString& name,
                     const MethodSignature& signature)
    : owner(owner), name(name), signature(signature)
{
}

bool DepMethod::operator<(const DepMethod& other) const
{
    return compareJoined({&owner.descriptor, &name, &signature.descriptor},
                         {&other.owner.descriptor, &other.name, &other.signature.descriptor}) < 0;
}

bool DepMethod::operator==(const DepMethod& other) const
{
    return compareJoined({&owner.descriptor, &name, &signature.descriptor},
                         {&other.owner.descriptor, &other.name, &other.signature.descriptor}) == 0;
}
