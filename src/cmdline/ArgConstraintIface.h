#ifndef ARGCONSTRAINTIFACE_H
#define ARGCONSTRAINTIFACE_H

class QVariant;

// Decides whether an argument's value is acceptable; false makes the argument throw
// ArgContraintNotObservedEx.
class ArgConstraintIface
{
public:
    virtual ~ArgConstraintIface() = default;
    virtual bool check(const QVariant& value) const = 0;
};

#endif // ARGCONSTRAINTIFACE_H
