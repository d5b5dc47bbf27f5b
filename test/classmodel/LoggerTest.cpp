#include "Logger.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <sys/file.h>

#include <new>
#include <thread>

namespace {

QString readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(f.readAll());
}

QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "logger_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

struct Captured
{
    QString out;
    QString err;
};

template <typename F> Captured capture(F f)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    Captured c;
    c.out = QString::fromStdString(testing::internal::GetCapturedStdout());
    c.err = QString::fromStdString(testing::internal::GetCapturedStderr());
    return c;
}

// One line: ISO 8601 UTC time, a blank, the level, ": ", the message.
QRegularExpression linePattern(const QString& level, const QString& msg)
{
    return QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ " + level + ": " +
                              QRegularExpression::escape(msg) + "\n$");
}

} // namespace

TEST(LoggerTest, LevelsGoToTheirStreamsAndEveryLevelToTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Logger logger(dir.path());
    const Captured c = capture([&] {
        emit logger.log(Logger::L_DEBUG, "d");
        emit logger.log(Logger::L_INFO, "i");
        emit logger.log(Logger::L_WARN, "w");
        emit logger.log(Logger::L_ERROR, "e");
        emit logger.log(static_cast<Logger::Level>(7), "seven");
        emit logger.log(static_cast<Logger::Level>(-1), "minus");
    });
    EXPECT_TRUE(linePattern("WARN", "w").match(c.out).hasMatch()) << c.out.toStdString();
    const QStringList errLines = c.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(errLines.size(), 2) << c.err.toStdString();
    EXPECT_TRUE(linePattern("ERROR", "e").match(errLines[0] + "\n").hasMatch());
    EXPECT_TRUE(linePattern("UNKNOWN", "seven").match(errLines[1] + "\n").hasMatch());

    const QStringList fileLines = readAll(dir.path() + "/log.txt").split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(fileLines.size(), 6);
    const char* levels[] = {"DEBUG", "INFO", "WARN", "ERROR", "UNKNOWN", "UNKNOWN"};
    const char* msgs[] = {"d", "i", "w", "e", "seven", "minus"};
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(linePattern(levels[i], msgs[i]).match(fileLines[i] + "\n").hasMatch())
            << fileLines[i].toStdString();
}

TEST(LoggerTest, PlaceholdersInTheMessageAreWrittenUnchanged)
{
    QTemporaryDir dir;
    Logger logger(dir.path());
    const Captured c = capture([&] { emit logger.log(Logger::L_WARN, "100% of %1 and %3"); });
    EXPECT_TRUE(c.out.endsWith("WARN: 100% of %1 and %3\n")) << c.out.toStdString();
    EXPECT_TRUE(readAll(dir.path() + "/log.txt").endsWith("WARN: 100% of %1 and %3\n"));
}

TEST(LoggerTest, EachLineIsInTheFileAsSoonAsItIsLogged)
{
    QTemporaryDir dir;
    Logger logger(dir.path());
    emit logger.log(Logger::L_INFO, "first");
    EXPECT_TRUE(readAll(dir.path() + "/log.txt").endsWith("INFO: first\n"));
    emit logger.log(Logger::L_DEBUG, "second");
    EXPECT_TRUE(readAll(dir.path() + "/log.txt").endsWith("DEBUG: second\n"));
}

TEST(LoggerTest, APreviousLogIsEmptiedAtStart)
{
    QTemporaryDir dir;
    {
        QFile old(dir.path() + "/log.txt");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old line\n");
    }
    Logger logger(dir.path());
    EXPECT_EQ(readAll(dir.path() + "/log.txt"), QString());
}

TEST(LoggerTest, LogFileThatAnotherRunHoldsIsLeftAsItIs)
{
    QTemporaryDir dir;
    QFile held(dir.path() + "/log.txt");
    ASSERT_TRUE(held.open(QIODevice::WriteOnly));
    held.write("other run\n");
    held.flush();
    ASSERT_EQ(flock(held.handle(), LOCK_EX | LOCK_NB), 0);
    const Captured c = capture([&] {
        Logger logger(dir.path());
        emit logger.log(Logger::L_WARN, "console only");
    });
    EXPECT_TRUE(c.out.endsWith("WARN: console only\n")) << c.out.toStdString();
    EXPECT_EQ(c.err, QString());
    EXPECT_EQ(readAll(dir.path() + "/log.txt"), QString("other run\n"));
    held.close();

    // Free again, the file is the new logger's.
    Logger logger(dir.path());
    emit logger.log(Logger::L_WARN, "mine");
    EXPECT_TRUE(readAll(dir.path() + "/log.txt").endsWith("WARN: mine\n"));
    EXPECT_FALSE(readAll(dir.path() + "/log.txt").contains("other run"));
}

TEST(LoggerTest, CreatesOneMissingDirectoryLevelButNotTwo)
{
    QTemporaryDir dir;
    const QString oneLevel = dir.path() + "/logs";
    {
        const Captured c = capture([&] { Logger logger(oneLevel); });
        EXPECT_EQ(c.err, QString());
    }
    EXPECT_TRUE(QFile::exists(oneLevel + "/log.txt"));

    const QString twoLevels = dir.path() + "/a/b";
    const Captured c = capture([&] {
        Logger logger(twoLevels);
        emit logger.log(Logger::L_WARN, "still on the console");
    });
    EXPECT_TRUE(linePattern("ERROR", "Could not open log file " + twoLevels + "/log.txt")
                    .match(c.err)
                    .hasMatch())
        << c.err.toStdString();
    EXPECT_TRUE(c.out.endsWith("WARN: still on the console\n"));
    EXPECT_FALSE(QDir(twoLevels).exists());
}

TEST(LoggerTest, LogFileOnAFullDeviceIsReportedOnceAndTheConsoleGoesOn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link("/dev/full", dir.path() + "/log.txt"));
    const Captured c = capture([&] {
        Logger logger(dir.path());
        emit logger.log(Logger::L_INFO, "lost");
        emit logger.log(Logger::L_WARN, "still on the console");
        emit logger.log(Logger::L_ERROR, "and this");
    });
    const QStringList errLines = c.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(errLines.size(), 2) << c.err.toStdString();
    EXPECT_TRUE(linePattern("ERROR", "Could not write log file " + dir.path() + "/log.txt")
                    .match(errLines[0] + "\n")
                    .hasMatch())
        << c.err.toStdString();
    EXPECT_TRUE(errLines[1].endsWith("ERROR: and this"));
    EXPECT_TRUE(c.out.endsWith("WARN: still on the console\n"));
}

TEST(LoggerTest, LinesFromAnotherThreadAreQueuedToTheLoggerThreadInOrder)
{
    app();
    QTemporaryDir dir;
    Logger logger(dir.path());
    QThread* thread = QThread::create([&logger] {
        for (int i = 0; i < 100; ++i)
            emit logger.log(Logger::L_INFO, QString("line %1").arg(i));
    });
    thread->start();
    thread->wait();
    delete thread;
    // Nothing is written until the logger's thread runs its event loop; then the batch follows
    // within a fraction of a second.
    EXPECT_EQ(readAll(dir.path() + "/log.txt"), QString());
    QStringList lines;
    QElapsedTimer waited;
    waited.start();
    while (lines.size() < 100 && waited.elapsed() < 5000) {
        QThread::msleep(10);
        QCoreApplication::processEvents();
        lines = readAll(dir.path() + "/log.txt").split('\n', Qt::SkipEmptyParts);
    }
    ASSERT_EQ(lines.size(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(lines[i].endsWith(QString("INFO: line %1").arg(i)));
}

namespace {

// A logger for which making certain lines fails, as when memory runs out.
class ShortOfMemoryLogger : public Logger
{
public:
    using Logger::Logger;

protected:
    QByteArray makeLine(Logger::Level lvl, const QString& msg) const override
    {
        if (msg.startsWith("no room"))
            throw std::bad_alloc();
        return Logger::makeLine(lvl, msg);
    }
};

} // namespace

TEST(LoggerTest, LinesThatCannotBeMadeAreDroppedAndCounted)
{
    app();
    QTemporaryDir dir;
    ShortOfMemoryLogger logger(dir.path());
    // Handed over from another thread, the lines are written from the event loop, where an
    // exception would end the program.
    std::thread other([&logger] {
        for (const char* text : {"before", "no room 1", "no room 2", "after", "no room 3"})
            emit logger.log(Logger::L_INFO, text);
    });
    other.join();
    const Captured c = capture([&] {
        QElapsedTimer waited;
        waited.start();
        while (!readAll(dir.path() + "/log.txt").contains("lines: out of memory\n") &&
               waited.elapsed() < 5000) {
            QThread::msleep(10);
            QCoreApplication::processEvents();
        }
    });
    const QStringList lines = readAll(dir.path() + "/log.txt").split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].endsWith(" INFO: before"));
    EXPECT_TRUE(lines[1].endsWith(" ERROR: Could not write 2 log lines: out of memory"));
    EXPECT_TRUE(lines[2].endsWith(" INFO: after"));
    // The last line lost has no line after it; its count is written all the same.
    EXPECT_TRUE(lines[3].endsWith(" ERROR: Could not write 1 log lines: out of memory"));
    EXPECT_EQ(c.err.count("out of memory"), 2);
}

TEST(LoggerTest, InitCreatesTheLoggerOnceAndKeepsTheFirstDirectory)
{
    QTemporaryDir first;
    QTemporaryDir second;
    ASSERT_EQ(Logger::logger, nullptr);
    Logger::init(first.path());
    Logger* const created = Logger::logger;
    ASSERT_NE(created, nullptr);
    Logger::init(second.path());
    EXPECT_EQ(Logger::logger, created);
    // A WARN line is in the file at once.
    emit Logger::logger->log(Logger::L_WARN, "where");
    EXPECT_TRUE(readAll(first.path() + "/log.txt").endsWith("WARN: where\n"));
    EXPECT_FALSE(QFile::exists(second.path() + "/log.txt"));
    EXPECT_NE(QMetaType::type("Logger::Level"), int(QMetaType::UnknownType));
}
