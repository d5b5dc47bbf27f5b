#ifndef ARGDEFAULTHELPPRINTER_H
#define ARGDEFAULTHELPPRINTER_H

#include "ArgHelpPrinterIface.h"

// Prints the program description, a usage line and a two-column table (flags and names, then
// descriptions aligned in one column) on standard output. One printer serves the whole process.
class ArgDefaultHelpPrinter : public ArgHelpPrinterIface
{
public:
    static ArgDefaultHelpPrinter& instance();

    ArgDefaultHelpPrinter(const ArgDefaultHelpPrinter&) = delete;
    ArgDefaultHelpPrinter& operator=(const ArgDefaultHelpPrinter&) = delete;

    void print() const override;
    void setProgramDescription(const QString& description) override;
    void setExecutableName(const QString& name) override;
    // Stores the usage line with its markers turned into text for the current delimiter.
    void setUsageString(const QString& usage) override;
    // Stores the help templates laid out as the table.
    void setHelpString(const QString& help) override;
    void setDelimiterChar(const QChar& delimiter) override;

private:
    ArgDefaultHelpPrinter() = default;

    void replaceMarkersInHelp();

    QString m_help;
    QString m_usage;
    QString m_programDescription;
    QString m_executableName;
    QString m_flagDelimiter;
    QString m_nameDelimiter;

    static const QString m_argValue;
    static const QString m_namesSeparator;
};

#endif // ARGDEFAULTHELPPRINTER_H
