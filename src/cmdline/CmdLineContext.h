#ifndef CMDLINECONTEXT_H
#define CMDLINECONTEXT_H

#include <QString>
#include <QStringList>

// The strings of a command line and the position of the next one to read. Arguments take their
// values from here while the parser walks the line; the parser may insert a string at the position
// (the value part of 'name=value') so that it is read next.
class CmdLineContext
{
public:
    explicit CmdLineContext(const QStringList& strings);

    // True while a string is left to read.
    bool hasNext() const;
    // The next string without moving; m_null when none is left.
    const QString& peek() const;
    // The next string, moving past it; m_null (and no move) when none is left.
    QString next();
    // Inserts s at the position, so that it is the next string read.
    void insertNext(const QString& s);

    const QStringList& strings() const { return m_strings; }

    static const QString m_null;

private:
    QStringList m_strings;
    // An index rather than an iterator: insertions must not invalidate the position.
    int m_current;
};

#endif // CMDLINECONTEXT_H
