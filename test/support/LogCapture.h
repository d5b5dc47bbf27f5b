#pragma once

#include "Logger.h"
#include "QStringPrinter.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <ostream>
#include <string>

// The application object that queued connections, event loops, threads and sockets expect, made
// once.
void ensureApp();

// The process-wide logger must exist before anything logs. Makes it once, with a throw-away log
// directory, after the application object (ensureApp).
void ensureLogger();

// One captured log line: its level and text.
struct LogLine
{
    Logger::Level level;
    QString text;

    bool operator==(const LogLine& other) const
    {
        return level == other.level && text == other.text;
    }
};

void PrintTo(const LogLine& line, std::ostream* os);

// Captured lines compare with lists of (level, text) pairs as well.
bool operator==(const QList<LogLine>& lines, const QList<QPair<int, QString>>& pairs);
bool operator==(const QList<QPair<int, QString>>& pairs, const QList<LogLine>& lines);

// Records every line logged while it lives, in the order this thread receives them: lines logged
// in the capturing thread at once, lines from other threads when events are processed.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QList<LogLine> lines;

    // The texts logged at `level`, in order.
    QStringList at(Logger::Level level) const;
    QStringList texts(Logger::Level level) const { return at(level); }
    // Every text logged, in order.
    QStringList texts() const;
    // The texts that begin with `prefix`, in order.
    QStringList startingWith(const QString& prefix) const;
    // The progress lines ("Test 50% 1/2 ..."), in order.
    QStringList progress() const;

    // From now on, the first time `text` is logged the logging call throws std::runtime_error
    // with `message`, as a fault deep inside a test would.
    void throwOn(const QString& text, const std::string& message);

private:
    QObject context;
    QString throwText;
    std::string throwMessage;
};
