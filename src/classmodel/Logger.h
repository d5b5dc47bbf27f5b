#ifndef LOGGER_H
#define LOGGER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <cstdio>

// The process-wide log. Every component reports by emitting `log` on `Logger::logger`; the
// line goes to log.txt (every level) and, from WARN up, to the console. All writing happens in
// the logger's thread: a line emitted there is written at once, lines emitted in other threads
// are collected and handed over in batches.
//
// log.txt is written through a buffer. WARN and ERROR lines go to the disk at once, together
// with everything before them; lower lines follow within a fraction of a second, and whatever is
// left is written when the logger is destroyed or, for the process-wide logger, when the
// process ends normally.
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

    // Creates the logger for the given log directory once; later calls do nothing and return
    // true. False, with no logger made and log.txt left as it was, when another run holds the
    // directory's log file.
    static bool init(const QString& logDir);

    // Holds log.txt locked against other runs for its life. When another run holds it, the
    // file is neither emptied nor written, and only the console gets the lines.
    Logger(const QString& logDir, QObject* parent = nullptr);
    // Writes what is still waiting; call it in the logger's thread, with no other thread
    // logging any more.
    ~Logger() override;

    QString makeMsg(Logger::Level lvl, const QString& msg) const;

    // Called by a thread other than the logger's just before it emits a queued signal that the
    // logger's thread answers with lines of its own (a worker's `done`): the lines this thread
    // logged before stay ahead of those answers, the lines it logs afterwards come after them,
    // as they would if every line were queued on its own. Does nothing in the logger's thread.
    void handOver();

    // Returns once every line that the calling thread, and the threads whose work it has waited
    // for, logged before the call has been written. From a thread other than the logger's it
    // waits for the logger's thread, whose event loop must be running.
    void waitUntilWritten();

signals:
    void log(Logger::Level lvl, const QString& msg);

private slots:
    void logToConsole(Logger::Level lvl, const QString& msg);
    void logToFile(Logger::Level lvl, const QString& msg);
    // Logger's thread: writes the lines that other threads have handed over and that the logger's
    // thread may see by now, in order.
    void writeBatch();
    // Logger's thread: hands the file buffer to the file.
    void flushFile();

protected:
    // The bytes of one whole line: time, level, message and line end. Virtual only so that a
    // test can stand in for an allocation that fails while a line is made.
    virtual QByteArray makeLine(Logger::Level lvl, const QString& msg) const;

private:
    struct PendingLine
    {
        Logger::Level level;
        // Converted to the local 8-bit text when written, off the logging thread.
        QString text;
        // The hand-over period the line was logged in; see handOver().
        quint64 period;
    };
    using Pending = QVector<PendingLine>;

    // Runs in the emitting thread, connected directly to `log`.
    void accept(Logger::Level lvl, const QString& msg);
    // Logger's thread: a batch of the given period was announced; its lines may be written.
    void announced(quint64 period, bool urgent);
    // Writes the waiting lines up to the given period, or all of them.
    void writePending(bool all);
    // Logger's thread: writes one line; a line that cannot be made for want of memory is
    // dropped and counted, and the count reported ahead of the next line (reportDropped).
    void writeText(Logger::Level lvl, const QString& msg);
    void reportDropped();
    QByteArray lineOf(Logger::Level lvl, const QByteArray& msg) const;
    void consoleLine(Logger::Level lvl, const QByteArray& line);
    void fileLine(Logger::Level lvl, const QByteArray& line);
    // The current time as text; formatted again only when the second changes.
    const QByteArray& timestamp() const;
    static void writeAllAtExit();

    // The console is written byte for byte through the C streams, so a line's local 8-bit text
    // reaches the terminal unchanged and is flushed at once.
    FILE* out;
    FILE* err;
    QFile logFile;
    // Holds the lock on log.txt, or -1.
    int lockFd = -1;
    // Another run held log.txt when this logger was made.
    bool logFileInUse = false;

    QByteArray fileBuffer;
    // Started when the first line goes into an empty file buffer.
    QElapsedTimer bufferAge;
    QTimer flushTimer;
    QTimer batchTimer;

    // Lines of other threads, in the order they were logged; their texts are shared, not copied.
    // `batchAnnounced` and `warningAnnounced` say whether the logger's
    // thread has already been told about the current batch, so that each batch costs one
    // queued call (and at most one more for its first WARN or ERROR line).
    QMutex pendingLock;
    Pending pending;
    bool batchAnnounced = false;
    bool warningAnnounced = false;
    std::atomic<bool> hasPending{false};
    // Each handOver() starts a new period. A line may be written once the announcement of its
    // period has reached the logger's thread, which is then behind every queued signal that
    // the logging thread emitted before the line.
    quint64 period = 0;
    // Logger's thread only: the latest period whose announcement has arrived.
    quint64 visiblePeriod = 0;

    // Logger's thread only: lines lost for want of memory and not yet reported.
    quint64 droppedLines = 0;

    mutable qint64 stampSecond = -1;
    mutable QByteArray stampText;
};

#endif
