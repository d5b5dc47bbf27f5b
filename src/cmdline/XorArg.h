#ifndef XORARG_H
#define XORARG_H

#include "ArgIface.h"

// A group of mutually exclusive arguments: at most one member may be given, and a required group
// needs exactly one. The group has no flags or names of its own; lookups answer with the member.
// Members are not owned and are registered with a parser only through their group.
class XorArg : public ArgIface
{
public:
    // Null entries and repeats of one object are skipped. Throws
    // ArgRequiredArgumentUnderXORMaskEx for a required member.
    XorArg(const QList<ArgIface*>& members, const QString& name, bool required);

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
    QString getUsageString(const QStringList& allNames) const override;
    QString getHelpString(const QStringList& allNames) const override;
    bool process(CmdLineContext& context) override;
    void visit(CmdLineContext& context) override;

private:
    static QString memberName(const ArgIface* member);

    QList<ArgIface*> m_arguments;
    bool m_required;
    QString m_name;
};

#endif // XORARG_H
