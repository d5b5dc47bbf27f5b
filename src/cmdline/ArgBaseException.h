#ifndef ARGBASEEXCEPTION_H
#define ARGBASEEXCEPTION_H

#include <QString>

#include <stdexcept>

// Root of every fault that the command-line library reports. The message is kept twice: as the
// QString that was built and, for what(), in the local 8-bit encoding. Values of this family are
// copied freely: callers catch them by value.
class ArgBaseException : public std::runtime_error
{
public:
    explicit ArgBaseException(const QString& what);

    const QString& message() const { return m_what; }

private:
    QString m_what;
};

// The argument has neither a flag nor a long name.
class ArgNotDefinedNorNameNorFlagEx : public ArgBaseException
{
public:
    explicit ArgNotDefinedNorNameNorFlagEx(const QString& what) : ArgBaseException(what) {}
};

// A flag or a name that cannot be typed or recognised on a command line.
class ArgDissallowedFlagOrNameEx : public ArgBaseException
{
public:
    explicit ArgDissallowedFlagOrNameEx(const QString& what) : ArgBaseException(what) {}
};

// Two arguments of one table share a flag or a name.
class ArgNameOrFlagAlreadyKnownEx : public ArgBaseException
{
public:
    explicit ArgNameOrFlagAlreadyKnownEx(const QString& what) : ArgBaseException(what) {}
};

// A required argument cannot be one of several mutually exclusive choices.
class ArgRequiredArgumentUnderXORMaskEx : public ArgBaseException
{
public:
    explicit ArgRequiredArgumentUnderXORMaskEx(const QString& what) : ArgBaseException(what) {}
};

// A required argument or group was not given.
class ArgNotDefinedMandatoryArgumentEx : public ArgBaseException
{
public:
    explicit ArgNotDefinedMandatoryArgumentEx(const QString& what) : ArgBaseException(what) {}
};

// An argument that takes a value was given without one.
class ArgNotDefinedOptionForTheArgumentEx : public ArgBaseException
{
public:
    explicit ArgNotDefinedOptionForTheArgumentEx(const QString& what) : ArgBaseException(what) {}
};

// An argument's constraint refused its value.
class ArgContraintNotObservedEx : public ArgBaseException
{
public:
    explicit ArgContraintNotObservedEx(const QString& what) : ArgBaseException(what) {}
};

// Two members of one exclusive group were given.
class ArgXORMaskNotObservedEx : public ArgBaseException
{
public:
    explicit ArgXORMaskNotObservedEx(const QString& what) : ArgBaseException(what) {}
};

// No registered argument answers to a flag or a name, or a name abbreviation is ambiguous.
class ArgUnknownArgumentEx : public ArgBaseException
{
public:
    explicit ArgUnknownArgumentEx(const QString& what) : ArgBaseException(what) {}
};

// A string that is neither an argument nor the value of the argument before it.
class ArgUnexpectedOptionEx : public ArgBaseException
{
public:
    explicit ArgUnexpectedOptionEx(const QString& what) : ArgBaseException(what) {}
};

// Not a fault: the help argument has printed its text and the parse ends here.
class ArgHelpHasPrintedEx : public ArgBaseException
{
public:
    ArgHelpHasPrintedEx() : ArgBaseException(QString()) {}
};

#endif // ARGBASEEXCEPTION_H
