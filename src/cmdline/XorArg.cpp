#include "XorArg.h"

#include "ArgBaseException.h"

XorArg::XorArg(const QList<ArgIface*>& members, const QString& name, bool required)
    : m_required(required), m_name(name)
{
    for (ArgIface* member : members) {
        if (!member || m_arguments.contains(member))
            continue;
        if (member->isRequired())
            throw ArgRequiredArgumentUnderXORMaskEx(
                "A try to add required argument under the XOR mask.");
        m_arguments << member;
    }
}

bool XorArg::isRequired() const
{
    return m_required;
}

bool XorArg::isDefined() const
{
    bool defined = false;
    for (const ArgIface* member : m_arguments)
        defined = member->isDefined() || defined;
    return defined;
}

bool XorArg::isWithValue() const
{
    return false;
}

void XorArg::check(const QChar& delimiter, QList<QChar>& usedFlags, QStringList& usedNames) const
{
    for (const ArgIface* member : m_arguments)
        member->check(delimiter, usedFlags, usedNames);
}

void XorArg::check() const
{
    if (m_required && !isDefined())
        throw ArgNotDefinedMandatoryArgumentEx(
            QString("Not defined mandatory argument: %1").arg(m_name));

    QString firstDefined;
    bool seen = false;
    for (const ArgIface* member : m_arguments) {
        member->check();
        if (!member->isDefined())
            continue;
        if (seen)
            throw ArgXORMaskNotObservedEx(QString("Defined more than one argument under XOR mask. "
                                                  "First defined argument: %1. Second defined "
                                                  "argument: %2.")
                                              .arg(firstDefined, memberName(member)));
        firstDefined = memberName(member);
        seen = true;
    }
}

QString XorArg::description() const
{
    return QString();
}

QString XorArg::longDescription() const
{
    return QString();
}

ArgIface* XorArg::giveArgument(const QChar& flag)
{
    for (ArgIface* member : m_arguments) {
        if (ArgIface* answer = member->giveArgument(flag))
            return answer;
    }
    return nullptr;
}

ArgIface* XorArg::giveArgument(const QString& text)
{
    // A member named exactly text wins over an earlier member whose name only starts with it,
    // so that a full name always selects its own argument whatever the member order.
    ArgIface* first = nullptr;
    for (ArgIface* member : m_arguments) {
        ArgIface* answer = member->giveArgument(text);
        if (!answer)
            continue;
        if (answer->names().contains(text))
            return answer;
        if (!first)
            first = answer;
    }
    return first;
}

const QList<ArgIface*>& XorArg::arguments() const
{
    return m_arguments;
}

void XorArg::checkConstraint() const
{
    if (!isDefined())
        return;
    for (const ArgIface* member : m_arguments)
        member->checkConstraint();
}

QString XorArg::getUsageString(const QStringList& allNames) const
{
    QStringList usages;
    for (const ArgIface* member : m_arguments)
        usages << member->getUsageString(allNames);
    return usages.join(" | ");
}

QString XorArg::getHelpString(const QStringList& allNames) const
{
    QString help;
    for (const ArgIface* member : m_arguments)
        help += member->getHelpString(allNames);
    return help;
}

bool XorArg::process(CmdLineContext&)
{
    return false;
}

void XorArg::visit(CmdLineContext&) {}

// A member that is itself a group has neither names nor flags: it is named by its group name.
QString XorArg::memberName(const ArgIface* member)
{
    if (const XorArg* group = dynamic_cast<const XorArg*>(member))
        return group->m_name;
    return member->displayName();
}
