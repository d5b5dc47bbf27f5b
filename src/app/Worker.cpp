#include "Worker.h"

#include "Logger.h"

#include <exception>

Worker::Worker(QObject* parent) : QObject(parent)
{
    moveToThread(&thread);
    thread.start(QThread::InheritPriority);
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
    // is waited for, however long it takes.
    thread.quit();
    thread.wait();
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
    emit done();
    emit Logger::logger->log(Logger::L_DEBUG, "Worker thread ended work");
}
