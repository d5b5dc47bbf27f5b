#ifndef ARGHELP_H
#define ARGHELP_H

#include "Arg.h"
#include "ArgHelpPrinterIface.h"

class CmdLine;

// The help argument ('-h', '--help'). When met, it prints the help of the whole table, or of the
// one argument named after it ('-h name', '--help=name', '-h -x'), on standard output and ends the
// parse by throwing ArgHelpHasPrintedEx. The parser and the printer are not owned.
class ArgHelp : public Arg
{
public:
    explicit ArgHelp(CmdLine* cmdLine);

    ArgHelpPrinterIface* printer() const { return m_printer; }

    // Prints and throws ArgHelpHasPrintedEx; never returns normally.
    void visit(CmdLineContext& context) override;

    // Prints the help of one argument; never return normally.
    void printHelp(ArgIface* arg);
    void printHelp(const QString& name);

    // Collects the long names of every single argument, descending into groups.
    void initNames(const QList<ArgIface*>& args);
    QString createUsageString() const;
    QString createHelpString() const;
    // Turns a usage template into plain text for the one-argument help.
    void removeMarkersFromUsageString(QString& text) const;

private:
    [[noreturn]] void writeAndEnd(const QString& text);

    ArgHelpPrinterIface* m_printer;
    CmdLine* m_cmdLine;
    QStringList m_allNames;
};

#endif // ARGHELP_H
