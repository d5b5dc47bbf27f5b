#include "Arg.h"

#include "ArgBaseException.h"
#include "ArgConstraintIface.h"
#include "ArgVisitorIface.h"
#include "CmdLineContext.h"

Arg::Arg(const QString& name, const QString& description, bool required, bool withValue,
         ArgVisitorIface* visitor, ArgConstraintIface* constraint)
    : m_description(description), m_required(required), m_withValue(withValue), m_defined(false),
      m_present(false), m_visitor(visitor), m_constraint(constraint)
{
    m_names << name;
    m_arguments << this;
    if (!m_withValue)
        m_value = false;
}

Arg::Arg(const QChar& flag, const QString& name, const QString& description, bool required,
         bool withValue, ArgVisitorIface* visitor, ArgConstraintIface* constraint)
    : m_description(description), m_required(required), m_withValue(withValue), m_defined(false),
      m_present(false), m_visitor(visitor), m_constraint(constraint)
{
    m_flags << flag;
    if (!name.isEmpty())
        m_names << name;
    m_arguments << this;
    if (!m_withValue)
        m_value = false;
}

bool Arg::isRequired() const
{
    return m_required;
}

bool Arg::isDefined() const
{
    return m_defined;
}

bool Arg::isWithValue() const
{
    return m_withValue;
}

void Arg::check(const QChar& delimiter, QList<QChar>& usedFlags, QStringList& usedNames) const
{
    if (m_flags.isEmpty() && m_names.isEmpty())
        throw ArgNotDefinedNorNameNorFlagEx("Not defined nor name nor flag for argument.");

    for (const QChar& flag : m_flags) {
        if (flag == delimiter || !flag.isLetterOrNumber())
            throw ArgDissallowedFlagOrNameEx(QString("Dissallowed flag: \"%1\".").arg(flag));
        if (usedFlags.contains(flag))
            throw ArgNameOrFlagAlreadyKnownEx(QString("Flag already in use: %1.").arg(flag));
        usedFlags << flag;
    }

    for (const QString& name : m_names) {
        bool hasSpace = false;
        for (const QChar& c : name)
            hasSpace = hasSpace || c.isSpace();
        if (name.isEmpty() || hasSpace)
            throw ArgDissallowedFlagOrNameEx(QString("Dissallowed name: \"%1\".").arg(name));
        if (usedNames.contains(name))
            throw ArgNameOrFlagAlreadyKnownEx(QString("Name already in use: %1.").arg(name));
        usedNames << name;
    }
}

void Arg::check() const
{
    if (m_defined)
        return;
    if (!m_present) {
        if (m_required)
            throw ArgNotDefinedMandatoryArgumentEx(
                QString("Not defined mandatory argument: %1").arg(displayName()));
        return;
    }
    if (m_withValue)
        throw ArgNotDefinedOptionForTheArgumentEx(
            QString("Not defined value of the argument: %1").arg(displayName()));
}

QString Arg::description() const
{
    return m_description;
}

QString Arg::longDescription() const
{
    return m_longDescription;
}

ArgIface* Arg::giveArgument(const QChar& flag)
{
    return m_flags.contains(flag) ? this : nullptr;
}

ArgIface* Arg::giveArgument(const QString& text)
{
    for (const QString& name : m_names) {
        if (name.startsWith(text))
            return this;
    }
    return nullptr;
}

const QList<ArgIface*>& Arg::arguments() const
{
    return m_arguments;
}

void Arg::checkConstraint() const
{
    if (m_constraint && m_defined && !m_constraint->check(m_value))
        throw ArgContraintNotObservedEx(
            QString("Constraint for the argument: %1 hasn't observed. Wrong value is: %2")
                .arg(displayName(), m_value.toString()));
}

bool Arg::process(CmdLineContext& context)
{
    if (!m_withValue) {
        setValue(true);
        return false;
    }
    if (!context.hasNext()) {
        m_present = true;
        return false;
    }
    // The next string is the value whatever it looks like, even '--x'.
    setValue(context.next());
    return true;
}

void Arg::visit(CmdLineContext& context)
{
    if (m_visitor)
        m_visitor->visit(context);
}

QChar Arg::flag() const
{
    return m_flags.isEmpty() ? QChar() : m_flags.first();
}

void Arg::setFlag(const QChar& flag)
{
    m_flags = QList<QChar>() << flag;
}

void Arg::setFlags(const QList<QChar>& flags)
{
    m_flags = flags;
}

void Arg::setValue(const QVariant& value)
{
    m_value = value;
    m_defined = true;
    m_present = true;
}
