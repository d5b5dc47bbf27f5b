#ifndef CMDLINEIFACE_H
#define CMDLINEIFACE_H

#include <QChar>
#include <QList>
#include <QString>

class ArgIface;

// A command-line parser over a table of registered arguments. The parser never owns the
// arguments: they must outlive it.
class CmdLineIface
{
public:
    virtual ~CmdLineIface();

    virtual const QList<ArgIface*>& arguments() const = 0;
    virtual const QChar& delimiter() const = 0;
    virtual void setDelimiter(const QChar& delimiter) = 0;
    // Registers an argument (once) and checks the whole table; throws its first fault.
    virtual void addArg(ArgIface& arg) = 0;
    virtual void addArg(ArgIface* arg) = 0;
    // Walks the command line; with skipDoubleDelimiter false a bare double delimiter ends it.
    virtual void parse(bool skipDoubleDelimiter) = 0;
    // s starts with one delimiter but not two.
    virtual bool isFlag(const QString& s) const = 0;
    // s starts with two delimiters.
    virtual bool isArgument(const QString& s) const = 0;
};

#endif // CMDLINEIFACE_H
