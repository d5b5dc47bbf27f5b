#include "ArgIface.h"

#include "ArgHelpPrinterIface.h"

namespace {

// Marks the shortest prefix of name that no other name of the table shares: 'help' alone reads
// 'h[elp]'. A name that is a prefix of another name cannot be shortened and stays unmarked.
QString markUniquePrefix(const QString& name, const QStringList& allNames)
{
    int length = 1;
    while (length < name.size()) {
        const QString prefix = name.left(length);
        int sharing = 0;
        for (const QString& other : allNames) {
            if (other.startsWith(prefix))
                ++sharing;
        }
        if (sharing < 2)
            break;
        ++length;
    }
    if (length >= name.size())
        return name;
    return name.left(length) + "[" + name.mid(length) + "]";
}

} // namespace

ArgIface::~ArgIface() = default;

const QList<QChar>& ArgIface::flags() const
{
    return m_flags;
}

const QStringList& ArgIface::names() const
{
    return m_names;
}

QString ArgIface::getUsageString(const QStringList& allNames) const
{
    QString usage;
    if (!m_flags.isEmpty()) {
        usage += ArgHelpPrinterIface::beforeFlags;
        usage += ArgHelpPrinterIface::flagMarker;
        for (const QChar& flag : m_flags)
            usage += flag;
    }
    if (!m_names.isEmpty()) {
        usage +=
            m_flags.isEmpty() ? ArgHelpPrinterIface::beforeNames : ArgHelpPrinterIface::afterFlags;
        for (int i = 0; i < m_names.size(); ++i) {
            if (i > 0)
                usage += ArgHelpPrinterIface::namesSeparator;
            usage += ArgHelpPrinterIface::nameMarker;
            usage += markUniquePrefix(m_names.at(i), allNames);
        }
    }
    if (isWithValue())
        usage += ArgHelpPrinterIface::argValue;
    return usage;
}

QString ArgIface::getHelpString(const QStringList& allNames) const
{
    return getUsageString(allNames) + ArgHelpPrinterIface::beforeDescription + description() +
           ArgHelpPrinterIface::newLine;
}

QString ArgIface::displayName() const
{
    if (!m_names.isEmpty())
        return m_names.first();
    if (!m_flags.isEmpty())
        return QString(m_flags.first());
    return QString();
}
