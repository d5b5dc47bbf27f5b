#ifndef LOGGER_H
#define LOGGER_H

#include <QFile>
#include <QObject>
#include <QString>

#include <cstdio>

// The process-wide log. Every component reports by emitting `log` on `Logger::logger`; the
// line goes to log.txt (every level) and, from WARN up, to the console. Emissions from other
// threads are queued to the logger's thread, so all writing happens in one thread.
class Logger : public QObject
{
    Q_OBJECT

public:
    // A fixed underlying type: any int, not only the four named ones, is a valid level and
    // prints as "UNKNOWN".
    enum Level : int { L_DEBUG = 0, L_INFO = 1, L_WARN = 2, L_ERROR = 3 };
    Q_ENUM(Level)

    // Null until init(); never replaced afterwards.
    static Logger* logger;

    // Creates the logger for the given log directory once; later calls do nothing.
    static void init(const QString& logDir);

    Logger(const QString& logDir, QObject* parent = nullptr);

    QString makeMsg(Logger::Level lvl, const QString& msg) const;

signals:
    void log(Logger::Level lvl, const QString& msg);

private slots:
    void logToConsole(Logger::Level lvl, const QString& msg);
    void logToFile(Logger::Level lvl, const QString& msg);

private:
    // The console is written byte for byte through the C streams, so a line's local 8-bit text
    // reaches the terminal unchanged and is flushed at once.
    FILE* out;
    FILE* err;
    QFile logFile;
};

#endif
