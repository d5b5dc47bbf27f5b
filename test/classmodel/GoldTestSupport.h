#pragma once

#include "Logger.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

// The process-wide logger must exist before anything logs; the tests give it a throw-away log
// directory.
inline void ensureLogger()
{
    static QTemporaryDir logDir;
    Logger::init(logDir.path());
}

// Records every line logged while it lives. Emissions come from the test's own thread, so the
// connection is direct and lines are recorded as they are logged.
class LogCapture
{
public:
    LogCapture()
    {
        ensureLogger();
        connection = QObject::connect(Logger::logger, &Logger::log,
                                      [this](Logger::Level level, const QString& text) {
                                          lines.append(qMakePair(int(level), text));
                                      });
    }
    ~LogCapture() { QObject::disconnect(connection); }

    // The texts logged at `level`, in order.
    QList<QString> at(Logger::Level level) const
    {
        QList<QString> texts;
        for (const auto& line : lines) {
            if (line.first == level)
                texts.append(line.second);
        }
        return texts;
    }

    QList<QPair<int, QString>> lines;

private:
    QMetaObject::Connection connection;
};
