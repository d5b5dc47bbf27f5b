#include "Worker.h"

#include "Logger.h"

#include <exception>

Worker::Worker(QObject* parent) : QObject(parent)
{
    thread.start(QThread::InheritPriority);
    settle();
}

Worker::Worker(RefusedStart, QObject* parent) : QObject(parent)
{
    settle();
}

void Worker::settle()
{
    // A refused start leaves the thread not running (Qt says why on standard error). The worker
    // then stays where it is, and the job runs in the thread that would have waited for it.
    if (!thread.isRunning())
        return;
    // Moved only once the thread runs: an object can be pushed into another thread but never
    // pulled back from one that did not start.
    moveToThread(&thread);
    ownThread = true;
    emit Logger::logger->log(Logger::L_DEBUG, "Worker thread started");
}

Worker::~Worker()
{
    stop();
}

void Worker::stop()
{
    if (stopped)
        return;
    stopped = true;
    emit Logger::logger->log(Logger::L_DEBUG, "Waiting on worker thread to end");
    // The thread's event loop ends only after the slot it is running returns, so a running job
    // is waited for, however long it takes. A thread that never started has nothing to wait for.
    if (ownThread) {
        thread.quit();
        thread.wait();
    }
    emit Logger::logger->log(Logger::L_DEBUG, "Workered thread ended");
}

void Worker::work()
{
    emit Logger::logger->log(Logger::L_DEBUG, "Worker thread beginning work");
    try {
        doWork();
    } catch (const std::exception& e) {
        // Whatever the job was making is lost or cut short.
        setExitStatus(1);
        emit Logger::logger->log(
            Logger::L_ERROR,
            QString("Work interrupted by exception - %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        setExitStatus(1);
        emit Logger::logger->log(Logger::L_ERROR, "Work interrupt by unknown exception");
    }
    // The front end answers `done` with lines of its own; this thread's lines so far stay ahead
    // of them and the one below comes after them.
    Logger::logger->handOver();
    // Without a thread of its own the worker may be deleted by the slot that answers `done`:
    // nothing after this line touches it.
    emit done();
    emit Logger::logger->log(Logger::L_DEBUG, "Worker thread ended work");
}
