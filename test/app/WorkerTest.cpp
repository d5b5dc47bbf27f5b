// Worker threads, the gold-building job and the console front end, in this process.
#include "Worker.h"
#include "AppTestSupport.h"
#include "BuildJavaGoldWorker.h"
#include "CLI.h"
#include "JavaTypes.pb.h"
#include "ListContentsWorker.h"
#include "Options.h"
#include "ProtoIO.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

namespace {

class FunctionWorker : public Worker
{
public:
    explicit FunctionWorker(std::function<void()> job) : job(std::move(job)) {}
    // A worker whose thread start the system refused.
    struct Refused
    {
    };
    FunctionWorker(Refused, std::function<void()> job)
        : Worker(RefusedStart(), nullptr), job(std::move(job))
    {
    }
    ~FunctionWorker() override { stop(); }
    void doWork() override { job(); }

private:
    std::function<void()> job;
};

// Starts the job as a front end does and returns once `done` has reached this thread.
bool runUntilDone(Worker* worker)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(worker, &Worker::done, &loop, [&] {
        done = true;
        loop.quit();
    });
    // A guard against a hang only; no test depends on it.
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QMetaObject::invokeMethod(worker, &Worker::work, Qt::QueuedConnection);
    loop.exec();
    return done;
}

// Deletes the worker as a front end does and delivers what its thread logged last.
void finish(Worker* worker)
{
    delete worker;
    QCoreApplication::sendPostedEvents();
}

} // namespace

TEST(WorkerTest, JobRunsOnTheWorkersThreadBetweenItsLogLines)
{
    LogCapture log;
    QThread* jobThread = nullptr;
    Worker* worker = new FunctionWorker([&] {
        jobThread = QThread::currentThread();
        emit Logger::logger->log(Logger::L_INFO, "the job");
    });
    ASSERT_TRUE(runUntilDone(worker));
    finish(worker);
    EXPECT_NE(jobThread, nullptr);
    EXPECT_NE(jobThread, QThread::currentThread());

    const QStringList lines = log.texts();
    ASSERT_EQ(lines.size(), 6) << lines.join('|').toStdString();
    EXPECT_EQ(lines.mid(0, 3),
              QStringList({"Worker thread started", "Worker thread beginning work", "the job"}));
    // The last line of the worker's thread travels through the queue and may arrive after the
    // lines that the deleting thread writes directly.
    for (const char* text :
         {"Worker thread ended work", "Waiting on worker thread to end", "Workered thread ended"})
        EXPECT_TRUE(lines.mid(3).contains(text)) << text;
    EXPECT_LT(lines.indexOf("Waiting on worker thread to end"),
              lines.indexOf("Workered thread ended"));
    EXPECT_EQ(log.at(Logger::L_DEBUG).size(), 5);
}

TEST(WorkerTest, StandardExceptionIsLoggedWithItsOwnTextAndDoneStillComes)
{
    LogCapture log;
    Worker* worker = new FunctionWorker([] { throw std::runtime_error("disk full %1"); });
    EXPECT_TRUE(runUntilDone(worker));
    EXPECT_EQ(worker->exitStatus(), 1);
    finish(worker);
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Work interrupted by exception - disk full %1"}));
    EXPECT_TRUE(log.texts().contains("Worker thread ended work"));
}

TEST(WorkerTest, OtherExceptionIsLoggedAndDoneStillComes)
{
    LogCapture log;
    Worker* worker = new FunctionWorker([] { throw 42; });
    EXPECT_TRUE(runUntilDone(worker));
    EXPECT_EQ(worker->exitStatus(), 1);
    finish(worker);
    EXPECT_EQ(log.at(Logger::L_ERROR), QStringList({"Work interrupt by unknown exception"}));
}

TEST(WorkerTest, DeletingTheWorkerWaitsForARunningJob)
{
    ensureLogger();
    QSemaphore started;
    QSemaphore proceed;
    bool finished = false;
    Worker* worker = new FunctionWorker([&] {
        started.release();
        proceed.acquire();
        finished = true;
    });
    QMetaObject::invokeMethod(worker, &Worker::work, Qt::QueuedConnection);
    started.acquire();
    proceed.release();
    // The job still uses its own members here; they must outlive it.
    finish(worker);
    EXPECT_TRUE(finished);
}

TEST(WorkerTest, WorkerDeletedBeforeItsJobStartedEndsCleanly)
{
    LogCapture log;
    int runs = 0;
    Worker* worker = new FunctionWorker([&] { ++runs; });
    QMetaObject::invokeMethod(worker, &Worker::work, Qt::QueuedConnection);
    finish(worker);
    // Whether the queued job got to run before the thread stopped is up to the scheduler; it ran
    // at most once and the thread was joined.
    EXPECT_LE(runs, 1);
    EXPECT_EQ(log.texts().count("Workered thread ended"), 1);
}

TEST(WorkerTest, JobWhoseThreadCannotStartRunsWhenTheFrontEndEmits)
{
    LogCapture log;
    // Twice: the first run must leave nothing behind that changes the second.
    for (int run = 0; run < 2; ++run) {
        QThread* jobThread = nullptr;
        Worker* worker = new FunctionWorker(FunctionWorker::Refused(), [&] {
            jobThread = QThread::currentThread();
            // The loaders' threads log too; their lines stay ahead of the job's later ones.
            std::thread helper([] { emit Logger::logger->log(Logger::L_WARN, "helper"); });
            helper.join();
            emit Logger::logger->log(Logger::L_WARN, "job");
        });
        // A front end as the console's: done deletes the worker.
        QObject frontEnd;
        QObject::connect(worker, &Worker::done, &frontEnd, [&worker] {
            delete worker;
            worker = nullptr;
        });
        testing::internal::CaptureStdout();
        QMetaObject::invokeMethod(worker, &Worker::work, Qt::AutoConnection);
        const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
        EXPECT_EQ(jobThread, QThread::currentThread());
        EXPECT_EQ(worker, nullptr);
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << out.toStdString();
        EXPECT_TRUE(lines[0].endsWith(" WARN: helper")) << out.toStdString();
        EXPECT_TRUE(lines[1].endsWith(" WARN: job")) << out.toStdString();
    }
    QCoreApplication::sendPostedEvents();
    const QStringList debug = log.at(Logger::L_DEBUG);
    EXPECT_FALSE(debug.contains("Worker thread started"));
    // Each run logs the lines a threaded one does, in the order a threaded one writes them.
    const QStringList each = {"Worker thread beginning work", "Waiting on worker thread to end",
                              "Workered thread ended", "Worker thread ended work"};
    EXPECT_EQ(debug, each + each);
}

TEST(WorkerTest, FailedGoldBuildIsLoggedOnceAndEndsWithStatusOne)
{
    QTemporaryDir dir;
    const QString target = dir.path() + "/missing/out.javagold";
    Classpath classpath;
    classpath.append(fixture("reference"));
    LogCapture log;
    Worker* worker = new BuildJavaGoldWorker(classpath, target);
    EXPECT_TRUE(runUntilDone(worker));
    EXPECT_EQ(worker->exitStatus(), 1);
    finish(worker);
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Could not open file " + target + " for writing"}));
    EXPECT_FALSE(QFile::exists(target));
}

TEST(WorkerTest, ConsoleFrontEndRunsTheConfiguredJobAndQuits)
{
    ensureLogger();
    QTemporaryDir dir;
    const Options saved = *Options::opts;
    Options::opts->command = 8;
    Options::opts->classpath = Classpath();
    Options::opts->classpath.append(fixture("reference"));
    Options::opts->goldFile = dir.path() + "/built.javagold";
    {
        CLI cli;
        QTimer::singleShot(0, &cli, &CLI::begin);
        EXPECT_EQ(QCoreApplication::exec(), 0);
    }
    *Options::opts = saved;
    EXPECT_GT(QFile(dir.path() + "/built.javagold").size(), 0);
}

TEST(WorkerTest, ListingAndConsoleLogLinesNeverShareALine)
{
    ensureLogger();
    QTemporaryDir dir;
    JClasses gold;
    for (int i = 0; i < 3000; ++i)
        gold.add_classes()->set_name(QString("Lp/C%1;").arg(i).toStdString());
    ProtoIO::write(&gold, dir.path() + "/many.javagold");
    Classpath classpath;
    classpath.append(dir.path() + "/many.javagold");
    ListContentsWorker* worker = new ListContentsWorker(classpath);

    // The listing runs on one thread while this one, the logger's, writes WARN lines to the same
    // standard output, as the main thread does with the lines the loaders queued.
    testing::internal::CaptureStdout();
    std::atomic<bool> listed(false);
    std::thread lister([&] {
        worker->doWork();
        listed = true;
    });
    int warnings = 0;
    while (!listed) {
        emit Logger::logger->log(Logger::L_WARN, "busy");
        ++warnings;
        // The listing waits until the loader's lines are written, as the main thread's event
        // loop does in a run.
        QCoreApplication::processEvents();
    }
    lister.join();
    const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
    finish(worker);

    const QRegularExpression logLine("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ WARN: busy$");
    const QRegularExpression classLine("^p\\.C\\d+$");
    int classes = 0;
    int logged = 0;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        if (classLine.match(line).hasMatch())
            ++classes;
        else if (logLine.match(line).hasMatch())
            ++logged;
        else
            ADD_FAILURE() << "mixed line: " << line.toStdString();
    }
    EXPECT_EQ(classes, 3000);
    EXPECT_EQ(logged, warnings);
    EXPECT_TRUE(out.endsWith('\n'));
}
