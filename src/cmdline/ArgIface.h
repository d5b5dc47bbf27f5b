#ifndef ARGIFACE_H
#define ARGIFACE_H

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

class CmdLineContext;

// One entry of a command-line table: a single argument or a group of arguments.
//
// Contract: the caller owns every argument; a parser only refers to it, so an argument must outlive
// the parser it is registered with. An argument is registered with one parser, filled during one
// parse and read afterwards; nothing resets it. Faults are reported only by throwing exceptions of
// the ArgBaseException family.
class ArgIface
{
public:
    ArgIface() = default;
    virtual ~ArgIface();

    ArgIface(const ArgIface&) = delete;
    ArgIface& operator=(const ArgIface&) = delete;

    virtual bool isRequired() const = 0;
    // True once a value has been set.
    virtual bool isDefined() const = 0;
    virtual bool isWithValue() const = 0;
    // Checks the flags and names against the delimiter and against those used so far in the table,
    // appending its own to the two lists. Throws on the first fault.
    virtual void check(const QChar& delimiter, QList<QChar>& usedFlags,
                       QStringList& usedNames) const = 0;
    // Checks, after parsing, that what is mandatory was given. Throws on the first fault.
    virtual void check() const = 0;
    virtual const QList<QChar>& flags() const;
    virtual const QStringList& names() const;
    virtual QString description() const = 0;
    virtual QString longDescription() const = 0;
    // The argument that answers to a flag, or null.
    virtual ArgIface* giveArgument(const QChar& flag) = 0;
    // The argument with a name that starts with text, or null.
    virtual ArgIface* giveArgument(const QString& text) = 0;
    // A single argument lists exactly itself; a group lists its members.
    virtual const QList<ArgIface*>& arguments() const = 0;
    virtual void checkConstraint() const = 0;
    // The usage template: flags, names and value as marker text (see ArgHelpPrinterIface).
    // allNames is every long name of the table; it decides how much of a name must be typed.
    virtual QString getUsageString(const QStringList& allNames) const;
    // The usage template followed by the description, ending in a new-line marker.
    virtual QString getHelpString(const QStringList& allNames) const;
    // Takes the argument's value from the context once the parser has recognised it. Returns true
    // when a string of the context was consumed.
    virtual bool process(CmdLineContext& context) = 0;
    // Called after process, with the command line's context.
    virtual void visit(CmdLineContext& context) = 0;

    // How messages name the argument: its first long name, else its first flag, else empty.
    QString displayName() const;

protected:
    QList<QChar> m_flags;
    QStringList m_names;
};

#endif // ARGIFACE_H
