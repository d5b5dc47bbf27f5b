#include "Logger.h"

#include <QAbstractEventDispatcher>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSemaphore>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <new>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lines of other threads are gathered this long before the logger's thread writes them, so that
// a busy worker costs one queued call and one file write per batch rather than per line.
const int batchMs = 20;
// The longest a line below WARN waits in the file buffer while the logger's thread is idle or
// logging itself; a crash loses at most this much, plus the batch time, of such lines.
const int maxBufferAgeMs = 50;
// A fuller buffer is written at once.
const int bufferLimit = 64 * 1024;

QByteArray formatStamp(qint64 secondsSinceEpoch)
{
    // The ISO 8601 form of a UTC time, as in 2026-12-08T22:36:33Z.
    const std::time_t time = std::time_t(secondsSinceEpoch);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    const int length =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                      utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return QByteArray(text, length > 0 ? qMin(length, int(sizeof text) - 1) : 0);
}

qint64 currentSecond()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000;
}

const char* levelName(Logger::Level lvl)
{
    switch (lvl) {
    case Logger::L_DEBUG:
        return "DEBUG";
    case Logger::L_INFO:
        return "INFO";
    case Logger::L_WARN:
        return "WARN";
    case Logger::L_ERROR:
        return "ERROR";
    default:
        return "UNKNOWN";
    }
}

// WARN, ERROR and any higher value: shown on the console and put on the disk at once.
bool isUrgent(Logger::Level lvl)
{
    return static_cast<int>(lvl) >= Logger::L_WARN;
}

} // namespace

Logger* Logger::logger = nullptr;

bool Logger::init(const QString& logDir)
{
    if (logger)
        return true;
    qRegisterMetaType<Logger::Level>("Logger::Level");
    Logger* made = new Logger(logDir);
    if (made->logFileInUse) {
        delete made;
        return false;
    }
    logger = made;
    // The process-wide logger is never destroyed; what it still holds when the process ends
    // normally is written then.
    std::atexit(&Logger::writeAllAtExit);
    return true;
}

void Logger::writeAllAtExit()
{
    if (!logger)
        return;
    logger->writePending(true);
    logger->flushFile();
}

Logger::Logger(const QString& logDir, QObject* parent)
    : QObject(parent), out(stdout), err(stderr), logFile(logDir + "/log.txt")
{
    // Lines from worker threads travel through queued connections, which need the level
    // registered; every instance makes sure of it, not only the one init() creates.
    qRegisterMetaType<Logger::Level>("Logger::Level");

    fileBuffer.reserve(bufferLimit);
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(maxBufferAgeMs);
    connect(&flushTimer, &QTimer::timeout, this, &Logger::flushFile);
    batchTimer.setSingleShot(true);
    batchTimer.setInterval(batchMs);
    connect(&batchTimer, &QTimer::timeout, this, &Logger::writeBatch);

    // Only the last level of the directory is created; a deeper missing path makes the open
    // below fail, which is reported.
    QDir().mkdir(QFileInfo(logFile.fileName()).absolutePath());

    // Two runs into one directory would mix their lines in one file. The file is locked for the
    // life of the logger, even if writing it fails, and emptied only once it is locked: a run
    // that finds it locked leaves the other run's log as it is. A device (log.txt made a link to
    // /dev/null) is shared by every run that writes to it and is not locked.
    lockFd = ::open(QFile::encodeName(logFile.fileName()).constData(),
                    O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    struct stat status;
    const bool regular = lockFd >= 0 && ::fstat(lockFd, &status) == 0 && S_ISREG(status.st_mode);
    logFileInUse = regular && ::flock(lockFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (lockFd >= 0 && (logFileInUse || !regular)) {
        ::close(lockFd);
        lockFd = -1;
    }

    // When another run holds the file, only the console gets the lines. Otherwise each run
    // starts the log afresh. Unbuffered: the logger keeps its own buffer and hands it over in
    // one write.
    if (!logFileInUse && !logFile.open(QIODevice::WriteOnly | QIODevice::Truncate |
                                       QIODevice::Text | QIODevice::Unbuffered))
        logToConsole(L_ERROR, QString("Could not open log file %1").arg(logFile.fileName()));

    // Direct: the emitting thread hands the line over itself, see accept().
    connect(this, &Logger::log, this, &Logger::accept, Qt::DirectConnection);
}

Logger::~Logger()
{
    writePending(true);
    flushFile();
    if (lockFd >= 0)
        ::close(lockFd);
}

QString Logger::makeMsg(Logger::Level lvl, const QString& msg) const
{
    // The message goes in last so that a '%' sequence inside it is never replaced.
    return QString("%1 %2: %3\n")
        .arg(QString::fromLatin1(formatStamp(currentSecond())))
        .arg(QLatin1String(levelName(lvl)))
        .arg(msg);
}

void Logger::accept(Logger::Level lvl, const QString& msg)
{
    if (QThread::currentThread() == thread()) {
        // Lines that other threads handed over earlier come first.
        if (hasPending.load(std::memory_order_acquire))
            writePending(false);
        writeText(lvl, msg);
        return;
    }

    bool announceBatch = false;
    bool announceWarning = false;
    quint64 linePeriod;
    {
        QMutexLocker lock(&pendingLock);
        linePeriod = period;
        pending.append(PendingLine{lvl, msg, linePeriod});
        hasPending.store(true, std::memory_order_release);
        if (!batchAnnounced) {
            batchAnnounced = true;
            announceBatch = true;
        }
        if (isUrgent(lvl) && !warningAnnounced) {
            warningAnnounced = true;
            announceWarning = true;
        }
    }
    // A WARN or ERROR line does not wait for the batch to fill.
    if (announceWarning || announceBatch) {
        QMetaObject::invokeMethod(
            this, [this, linePeriod, announceWarning] { announced(linePeriod, announceWarning); },
            Qt::QueuedConnection);
    }
}

void Logger::handOver()
{
    // In the logger's own thread (a job run there when its thread could not start) the answers
    // to the signal come at once, and the lines are written as they come anyway; a new period
    // would only hold back the lines of other threads that the announcements cannot reach
    // while this thread is busy.
    if (QThread::currentThread() == thread())
        return;
    QMutexLocker lock(&pendingLock);
    ++period;
    // The next line opens a batch of the new period, announced behind the signal about to be
    // emitted.
    batchAnnounced = false;
    warningAnnounced = false;
}

void Logger::waitUntilWritten()
{
    if (QThread::currentThread() == thread()) {
        writePending(true);
        return;
    }
    quint64 linePeriod;
    {
        QMutexLocker lock(&pendingLock);
        linePeriod = period;
    }
    // Queued behind every signal this thread emitted before, as an announcement is: when it
    // arrives, the lines of this period may be written.
    QSemaphore written;
    QMetaObject::invokeMethod(
        this,
        [this, linePeriod, &written] {
            announced(linePeriod, true);
            written.release();
        },
        Qt::QueuedConnection);
    written.acquire();
}

void Logger::announced(quint64 linePeriod, bool urgent)
{
    visiblePeriod = qMax(visiblePeriod, linePeriod);
    if (urgent)
        writePending(false);
    else if (!batchTimer.isActive())
        batchTimer.start();
}

void Logger::writeBatch()
{
    writePending(false);
}

void Logger::writePending(bool all)
{
    Pending batch;
    {
        QMutexLocker lock(&pendingLock);
        int count = 0;
        while (count < pending.size() && (all || pending.at(count).period <= visiblePeriod))
            ++count;
        if (count == pending.size()) {
            batch.swap(pending);
        } else {
            try {
                batch = pending.mid(0, count);
            } catch (const std::bad_alloc&) {
                // No room to take them out: these lines are lost, and counted. Removing them
                // from the vector that only this logger holds allocates nothing.
                droppedLines += quint64(count);
            }
            pending.remove(0, count);
        }
        hasPending.store(!pending.isEmpty(), std::memory_order_release);
        if (pending.isEmpty() && !all) {
            // A batch of an announced period is complete; a later line is announced anew.
            if (period <= visiblePeriod) {
                batchAnnounced = false;
                warningAnnounced = false;
            }
        }
        if (all) {
            batchAnnounced = false;
            warningAnnounced = false;
        }
    }
    for (const auto& line : batch)
        writeText(line.level, line.text);
    // Lines lost at the end of the batch are reported without waiting for a later line.
    reportDropped();
    if (!batch.isEmpty())
        flushFile();
}

void Logger::writeText(Logger::Level lvl, const QString& msg)
{
    // Memory running short must not end the program from inside the logger, which writes from
    // timers and queued calls of the event loop, where an exception cannot be handled: a line
    // that cannot be made is dropped instead, and counted.
    try {
        const QByteArray line = makeLine(lvl, msg);
        reportDropped();
        consoleLine(lvl, line);
        fileLine(lvl, line);
    } catch (const std::bad_alloc&) {
        ++droppedLines;
    }
}

void Logger::reportDropped()
{
    // One line, however many were lost, where they were: ahead of the first line made after
    // them, or at the end of the batch. When it cannot be made either, the count goes on.
    if (droppedLines == 0)
        return;
    try {
        const QByteArray note = makeLine(
            L_ERROR, QString("Could not write %1 log lines: out of memory").arg(droppedLines));
        consoleLine(L_ERROR, note);
        fileLine(L_ERROR, note);
        droppedLines = 0;
    } catch (const std::bad_alloc&) {
    }
}

QByteArray Logger::makeLine(Logger::Level lvl, const QString& msg) const
{
    return lineOf(lvl, msg.toLocal8Bit());
}

QByteArray Logger::lineOf(Logger::Level lvl, const QByteArray& msg) const
{
    const QByteArray& stamp = timestamp();
    const char* name = levelName(lvl);
    QByteArray line;
    line.reserve(stamp.size() + 10 + msg.size());
    line.append(stamp).append(' ').append(name).append(": ").append(msg).append('\n');
    return line;
}

const QByteArray& Logger::timestamp() const
{
    const qint64 second = currentSecond();
    if (second != stampSecond) {
        stampSecond = second;
        stampText = formatStamp(second);
    }
    return stampText;
}

void Logger::logToConsole(Logger::Level lvl, const QString& msg)
{
    consoleLine(lvl, lineOf(lvl, msg.toLocal8Bit()));
}

void Logger::logToFile(Logger::Level lvl, const QString& msg)
{
    fileLine(lvl, lineOf(lvl, msg.toLocal8Bit()));
}

void Logger::consoleLine(Logger::Level lvl, const QByteArray& line)
{
    const int level = static_cast<int>(lvl);
    if (level <= L_INFO)
        return;
    FILE* stream = level == L_WARN ? out : err;
    // One call for the whole line, line end included: a worker thread may print to standard
    // output at the same time, and the C stream keeps each call whole.
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

void Logger::fileLine(Logger::Level lvl, const QByteArray& line)
{
    if (!logFile.isOpen())
        return;
    if (fileBuffer.isEmpty())
        bufferAge.start();
    fileBuffer.append(line);
    // Without an event loop in this thread no timer would come back for the rest.
    if (isUrgent(lvl) || fileBuffer.size() >= bufferLimit ||
        !QAbstractEventDispatcher::instance(thread()) || bufferAge.elapsed() >= maxBufferAgeMs) {
        flushFile();
        return;
    }
    if (!flushTimer.isActive())
        flushTimer.start();
}

void Logger::flushFile()
{
    if (fileBuffer.isEmpty() || !logFile.isOpen())
        return;
    const bool written = logFile.write(fileBuffer) == fileBuffer.size();
    // Emptied without giving up the reserved room.
    fileBuffer.resize(0);
    if (written)
        return;
    // A full disk or a failing device: said once, on the console, which goes on as before. The
    // file is given up, so that it cannot go on with a gap in it.
    logFile.close();
    logToConsole(L_ERROR, QString("Could not write log file %1").arg(logFile.fileName()));
}
