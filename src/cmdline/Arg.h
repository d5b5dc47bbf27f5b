#ifndef ARG_H
#define ARG_H

#include "ArgIface.h"

#include <QVariant>

class ArgConstraintIface;
class ArgVisitorIface;

// One option: flags and/or long names, optionally taking one value. Visitor and constraint may be
// null and are not owned.
class Arg : public ArgIface
{
public:
    // An argument known only by its long name.
    Arg(const QString& name, const QString& description, bool required, bool withValue,
        ArgVisitorIface* visitor, ArgConstraintIface* constraint);
    // An argument with one flag and, when name is not empty, one long name.
    Arg(const QChar& flag, const QString& name, const QString& description, bool required,
        bool withValue, ArgVisitorIface* visitor, ArgConstraintIface* constraint);

    bool isRequired() const override;
    bool isDefined() const override;
    bool isWithValue() const override;
    void check(const QChar& delimiter, QList<QChar>& usedFlags,
               QStringList& usedNames) const override;
    void check() const override;
    QString description() const override;
    QString longDescription() const override;
    ArgIface* giveArgument(const QChar& flag) override;
    ArgIface* giveArgument(const QString& text) override;
    const QList<ArgIface*>& arguments() const override;
    void checkConstraint() const override;
    bool process(CmdLineContext& context) override;
    void visit(CmdLineContext& context) override;

    // The first flag, or the null character.
    virtual QChar flag() const;
    virtual void setFlag(const QChar& flag);
    virtual void setFlags(const QList<QChar>& flags);
    // Stores a value and marks the argument defined and present.
    virtual void setValue(const QVariant& value);

    // The value: false for an argument without value that was not given, invalid for an argument
    // with value that was not given.
    QVariant value() const { return m_value; }
    // True when the argument was met on the command line, even if its value was missing.
    bool isPresent() const { return m_present; }

protected:
    QString m_description;
    QString m_longDescription;
    bool m_required;
    bool m_withValue;
    bool m_defined;
    bool m_present;
    QVariant m_value;
    ArgVisitorIface* m_visitor;
    ArgConstraintIface* m_constraint;
    QList<ArgIface*> m_arguments;
};

#endif // ARG_H
