#include "DepField.h"

#include "JoinedText.h"

DepField::DepField(const TypeDescriptor& owner, const QString& name, const TypeDescriptor& type)
    : owner(owner), name(name), type(type)
{
}

bool DepField::operator<(const DepField& other) const
{
    return compareJoined({&owner.descriptor, &name, &type.descriptor},
                         {&other.owner.descriptor, &other.name, &other.type.descriptor}) < 0;
}

bool DepField::operator==(const DepField& other) const
{
    return compareJoined({&owner.descriptor, &name, &type.descriptor},
                         {&other.owner.descriptor, &other.name, &other.type.descriptor}) == 0;
}
