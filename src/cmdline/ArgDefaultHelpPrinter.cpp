#include "ArgDefaultHelpPrinter.h"

#include <QTextStream>

#include <cstdio>

const QString ArgDefaultHelpPrinter::m_argValue = QStringLiteral(" <arg>");
const QString ArgDefaultHelpPrinter::m_namesSeparator = QStringLiteral(", ");

namespace {

QString blanks(int count)
{
    return QString(qMax(count, 0), QLatin1Char(' '));
}

// One entry of the help text, cut at its markers.
struct HelpEntry
{
    bool hasFlags = false;
    bool hasNames = false;
    QString flags;
    QString names;
    QString description;
};

// entry runs from an argument's first marker up to (not including) its new-line marker.
HelpEntry splitEntry(const QString& entry)
{
    HelpEntry result;
    const int descriptionAt = entry.indexOf(ArgHelpPrinterIface::beforeDescription);
    const QString head = descriptionAt < 0 ? entry : entry.left(descriptionAt);
    if (descriptionAt >= 0)
        result.description =
            entry.mid(descriptionAt + ArgHelpPrinterIface::beforeDescription.size());

    int namesAt = -1;
    const int flagsAt = head.indexOf(ArgHelpPrinterIface::beforeFlags);
    if (flagsAt >= 0) {
        const int flagsStart = flagsAt + ArgHelpPrinterIface::beforeFlags.size();
        const int afterFlagsAt = head.indexOf(ArgHelpPrinterIface::afterFlags, flagsStart);
        const int flagsEnd = afterFlagsAt < 0 ? head.size() : afterFlagsAt;
        result.hasFlags = true;
        result.flags = head.mid(flagsStart, flagsEnd - flagsStart);
        if (afterFlagsAt >= 0)
            namesAt = afterFlagsAt + ArgHelpPrinterIface::afterFlags.size();
    }
    if (namesAt < 0) {
        const int beforeNamesAt = head.indexOf(ArgHelpPrinterIface::beforeNames);
        if (beforeNamesAt >= 0)
            namesAt = beforeNamesAt + ArgHelpPrinterIface::beforeNames.size();
    }
    if (namesAt >= 0) {
        result.hasNames = true;
        result.names = head.mid(namesAt);
    }
    return result;
}

} // namespace

ArgDefaultHelpPrinter& ArgDefaultHelpPrinter::instance()
{
    static ArgDefaultHelpPrinter printer;
    return printer;
}

void ArgDefaultHelpPrinter::print() const
{
    QTextStream out(stdout);
    out << m_programDescription << "\n\n"
        << "USAGE: " << m_executableName << ' ' << m_usage << "\n\n"
        << m_help;
    // The caller usually exits right after help; nothing may stay in a buffer.
    out.flush();
    std::fflush(stdout);
}

void ArgDefaultHelpPrinter::setProgramDescription(const QString& description)
{
    m_programDescription = description;
}

void ArgDefaultHelpPrinter::setExecutableName(const QString& name)
{
    m_executableName = name;
}

void ArgDefaultHelpPrinter::setUsageString(const QString& usage)
{
    m_usage = usage;
    m_usage.remove(beforeFlags)
        .remove(beforeNames)
        .remove(beforeDescription)
        .remove(newLine)
        .replace(afterFlags, QStringLiteral(","))
        .replace(namesSeparator, QStringLiteral(","))
        .replace(flagMarker, m_flagDelimiter)
        .replace(nameMarker, m_nameDelimiter)
        .replace(argValue, m_argValue);
}

void ArgDefaultHelpPrinter::setHelpString(const QString& help)
{
    m_help = help;
    replaceMarkersInHelp();
}

void ArgDefaultHelpPrinter::setDelimiterChar(const QChar& delimiter)
{
    m_flagDelimiter = QString(delimiter);
    m_nameDelimiter = QString(2, delimiter);
}

// Lays the entries out as a table: two blanks, the flags, a comma, the names starting in column
// F + 4, and the descriptions starting in column F + N + 7, where F and N are the widest flags
// and names texts of the table.
void ArgDefaultHelpPrinter::replaceMarkersInHelp()
{
    QString text = m_help;
    text.replace(argValue, m_argValue)
        .replace(flagMarker, m_flagDelimiter)
        .replace(nameMarker, m_nameDelimiter)
        .replace(namesSeparator, m_namesSeparator);

    QList<HelpEntry> entries;
    int from = 0;
    for (int end = text.indexOf(newLine); end >= 0; end = text.indexOf(newLine, from)) {
        entries << splitEntry(text.mid(from, end - from));
        from = end + newLine.size();
    }
    const QString tail = text.mid(from);

    int flagsWidth = 0;
    int namesWidth = 0;
    for (const HelpEntry& entry : entries) {
        flagsWidth = qMax(flagsWidth, entry.flags.size());
        namesWidth = qMax(namesWidth, entry.names.size());
    }

    QString table;
    for (const HelpEntry& entry : entries) {
        const int f = entry.flags.size();
        const int n = entry.names.size();
        if (entry.hasFlags && entry.hasNames) {
            table += "  " + entry.flags + "," + blanks(flagsWidth - f + 1) + entry.names +
                     blanks(namesWidth - n + 3);
        } else if (entry.hasFlags) {
            table += "  " + entry.flags + blanks(flagsWidth + namesWidth + 5 - f);
        } else if (entry.hasNames) {
            table += blanks(flagsWidth + 4) + entry.names + blanks(namesWidth - n + 3);
        } else {
            // An entry that shows neither flags nor names still keeps its description in column.
            table += blanks(flagsWidth + namesWidth + 7);
        }
        table += entry.description + "\n";
    }
    m_help = table + tail;
}
