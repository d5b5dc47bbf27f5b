#include "DepField.h"

DepField::DepField(const TypeDescriptor& owner, const QString& name, const TypeDescriptor& type)
    : owner(owner), name(name), type(type)
{
}

QString DepField::joinedText() const
{
    return owner.descriptor + name + type.descriptor;
}

bool DepField::operator<(const DepField& other) const
{
    return joinedText() < other.joinedText();
}

bool DepField::operator==(const DepField& other) const
{
    return joinedText() == other.joinedText();
}
