#pragma once

#include "Logger.h"
#include "TestResult.pb.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <ostream>
#include <string>

class JClasses;

// Lets GoogleTest print QString values readably in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// The process-wide logger must exist before anything logs; the tests give it a throw-away log
// directory.
void ensureLogger();

// The whole results tree as indented text, one line per group, result and entry:
//   group name
//     [SCORE] result name | description
//       LEVEL: entry text
// A group's results come before its subgroups. A score or level that was never set shows as
// UNSET, so a check that forgot to score itself is visible.
QString renderTree(const TestResultGroup& group);

// Records every line logged while it lives. The tests log from their own thread, so the
// connection is direct and lines are recorded as they are logged.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    // The texts logged at `level`, in order.
    QStringList at(Logger::Level level) const;
    // Every text logged, in order.
    QStringList texts() const;
    // The texts that begin with `prefix`, in order.
    QStringList startingWith(const QString& prefix) const;
    // The progress lines ("Test 50% 1/2 ..."), in order.
    QStringList progress() const;

    // From now on, the first time `text` is logged the logging call throws std::runtime_error
    // with `message`, as a fault deep inside a test would.
    void throwOn(const QString& text, const std::string& message);

    QList<QPair<int, QString>> lines;

private:
    QMetaObject::Connection connection;
    QString throwText;
    std::string throwMessage;
};

// Copies the directory tree `from` into `to` (created as needed).
void copyTree(const QString& from, const QString& to);

// Overwrites the major version of a class file in place.
void setMajorVersion(const QString& classFile, quint16 version);

// Writes a gold file made through the generated message classes.
void writeGold(const JClasses& classes, const QString& path);
