#ifndef CMDLINE_H
#define CMDLINE_H

#include "CmdLineContext.h"
#include "CmdLineIface.h"

// Parses one command line against a table of arguments: '--name' (abbreviations allowed while
// unambiguous), '--name=value', '--name value', flag groups '-abc', a value glued to a flag
// ('-ofile') or following it ('-o file'). Every fault is thrown; nothing is printed.
//
// Build, register, parse once, read the arguments, destroy. A second parse continues where the
// first stopped.
class CmdLine : public CmdLineIface
{
public:
    // The strings parsed are argv[1] to argv[argc - 1], in the local 8-bit encoding.
    CmdLine(int argc, char** argv);

    CmdLine(const CmdLine&) = delete;
    CmdLine& operator=(const CmdLine&) = delete;

    const QList<ArgIface*>& arguments() const override;
    const QChar& delimiter() const override;
    void setDelimiter(const QChar& delimiter) override;
    void addArg(ArgIface& arg) override;
    void addArg(ArgIface* arg) override;
    void parse(bool skipDoubleDelimiter) override;
    bool isFlag(const QString& s) const override;
    bool isArgument(const QString& s) const override;

    // Checks the flags and names of the whole table; throws the first fault.
    void checkArgumentsCorrectness() const;
    // Checks after parsing that every mandatory argument was given; throws the first fault.
    void checkMandatoryArguments() const;
    // The argument answering to a flag; throws ArgUnknownArgumentEx when there is none.
    ArgIface* findArgument(const QChar& flag);
    // The argument named text, or the only one with a name starting with text; throws
    // ArgUnknownArgumentEx when there is none or the abbreviation is ambiguous.
    ArgIface* findArgument(const QString& text);

private:
    CmdLineContext m_context;
    QList<ArgIface*> m_args;
    QChar m_delimiter;
};

#endif // CMDLINE_H
