#include "Logger.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

Logger* Logger::logger = nullptr;

void Logger::init(const QString& logDir)
{
    if (logger)
        return;
    qRegisterMetaType<Logger::Level>("Logger::Level");
    logger = new Logger(logDir);
}

Logger::Logger(const QString& logDir, QObject* parent)
    : QObject(parent), out(stdout), err(stderr), logFile(logDir + "/log.txt")
{
    // Lines from worker threads travel through queued connections, which need the level
    // registered; every instance makes sure of it, not only the one init() creates.
    qRegisterMetaType<Logger::Level>("Logger::Level");

    // Only the last level of the directory is created; a deeper missing path makes the open
    // below fail, which is reported.
    QDir().mkdir(QFileInfo(logFile.fileName()).absolutePath());

    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        logToConsole(L_ERROR, QString("Could not open log file %1").arg(logFile.fileName()));

    connect(this, &Logger::log, this, &Logger::logToConsole);
    connect(this, &Logger::log, this, &Logger::logToFile);
}

QString Logger::makeMsg(Logger::Level lvl, const QString& msg) const
{
    QString name;
    switch (lvl) {
    case L_DEBUG:
        name = "DEBUG";
        break;
    case L_INFO:
        name = "INFO";
        break;
    case L_WARN:
        name = "WARN";
        break;
    case L_ERROR:
        name = "ERROR";
        break;
    default:
        name = "UNKNOWN";
        break;
    }
    // The message goes in last so that a '%' sequence inside it is never replaced.
    return QString("%1 %2: %3\n")
        .arg(QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
        .arg(name)
        .arg(msg);
}

void Logger::logToConsole(Logger::Level lvl, const QString& msg)
{
    const int level = static_cast<int>(lvl);
    if (level <= L_INFO)
        return;
    FILE* stream = level == L_WARN ? out : err;
    // One call for the whole line, line end included: a worker thread may print to standard
    // output at the same time, and the C stream keeps each call whole.
    const QByteArray line = makeMsg(lvl, msg).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

void Logger::logToFile(Logger::Level lvl, const QString& msg)
{
    if (!logFile.isOpen())
        return;
    const QByteArray line = makeMsg(lvl, msg).toLocal8Bit();
    if (logFile.write(line) == line.size() && logFile.flush())
        return;
    // A full disk or a failing device: said once, on the console, which goes on as before. The
    // file is given up, so that it cannot go on with a gap in it.
    logFile.close();
    logToConsole(L_ERROR, QString("Could not write log file %1").arg(logFile.fileName()));
}
