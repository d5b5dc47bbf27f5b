#include "MultiArg.h"

#include "ArgBaseException.h"
#include "ArgConstraintIface.h"
#include "ArgHelpPrinterIface.h"
#include "CmdLineContext.h"

#include <limits>

MultiArg::MultiArg(const QString& name, const QString& description, bool required, bool withValue,
                   ArgVisitorIface* visitor, ArgConstraintIface* constraint)
    : Arg(name, description, required, withValue, visitor, constraint), m_count(0)
{
}

MultiArg::MultiArg(const QChar& flag, const QString& name, const QString& description,
                   bool required, bool withValue, ArgVisitorIface* visitor,
                   ArgConstraintIface* constraint)
    : Arg(flag, name, description, required, withValue, visitor, constraint), m_count(0)
{
}

void MultiArg::checkConstraint() const
{
    if (!m_defined || !m_constraint)
        return;
    for (const QVariant& element : m_value.toList()) {
        if (!m_constraint->check(element))
            throw ArgContraintNotObservedEx(
                QString("Constraint for the argument: %1 hasn't observed. Wrong value is: %2")
                    .arg(displayName(), element.toString()));
    }
}

QString MultiArg::getHelpString(const QStringList& allNames) const
{
    return getUsageString(allNames) + " [...]" + ArgHelpPrinterIface::beforeDescription +
           description() + ArgHelpPrinterIface::newLine;
}

bool MultiArg::process(CmdLineContext& context)
{
    if (m_withValue) {
        addToCount(1);
        if (!context.hasNext()) {
            m_present = true;
            return false;
        }
        setValue(context.next());
        return true;
    }

    bool consumed = false;
    if (!context.hasNext()) {
        addToCount(1);
    } else {
        bool isNumber = false;
        const int amount = context.peek().toInt(&isNumber, 10);
        if (isNumber) {
            addToCount(amount);
            context.next();
            consumed = true;
        } else {
            addToCount(1);
        }
    }
    m_present = true;
    if (!m_defined) {
        m_value = true;
        m_defined = true;
    }
    return consumed;
}

void MultiArg::setValue(const QVariant& value)
{
    QList<QVariant> values = m_value.toList();
    values << value;
    m_value = values;
    m_defined = true;
    m_present = true;
}

// Numbers come from the command line: the count stops at the ends of int instead of overflowing.
void MultiArg::addToCount(int amount)
{
    const qint64 sum = qint64(m_count) + amount;
    m_count = int(qBound(qint64(std::numeric_limits<int>::min()), sum,
                         qint64(std::numeric_limits<int>::max())));
}
