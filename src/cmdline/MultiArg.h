#ifndef MULTIARG_H
#define MULTIARG_H

#include "Arg.h"

// An argument that may be given many times. It counts its occurrences; with a value it collects
// every value given, in command-line order, as a list. Without a value, a number following it adds
// that number to the count ('-v3', '-v 5', '-v -2'), and each repeat of the flag adds one ('-vvv').
class MultiArg : public Arg
{
public:
    MultiArg(const QString& name, const QString& description, bool required, bool withValue,
             ArgVisitorIface* visitor, ArgConstraintIface* constraint);
    MultiArg(const QChar& flag, const QString& name, const QString& description, bool required,
             bool withValue, ArgVisitorIface* visitor, ArgConstraintIface* constraint);

    void checkConstraint() const override;
    QString getHelpString(const QStringList& allNames) const override;
    bool process(CmdLineContext& context) override;
    // Appends value to the list of values.
    void setValue(const QVariant& value) override;

    // Occurrences counted so far, starting at 0.
    int count() const { return m_count; }

private:
    void addToCount(int amount);

    int m_count;
};

#endif // MULTIARG_H
