#ifndef WORKER_H
#define WORKER_H

#include <QObject>
#include <QThread>

// One job of the program, run on a thread of its own.
//
// Contract for front ends: create the worker (its thread starts at once and waits idle), connect
// a signal of your own to `work` and `done` to a slot of your own, emit the signal; when `done`
// arrives, delete the worker from the thread that created it. Deleting stops the worker's thread
// and waits for it, so a job that is still running is allowed to finish first. A worker must be
// created without a parent: an object with a parent cannot change threads.
//
// A thread that cannot be had (the system's limit on threads, memory running short) leaves the
// worker in the thread that made it. The front end's signal then reaches `work` directly, so the
// job runs when the signal is emitted, in the front end's thread, and `done` reaches the front end
// before the emission returns; the worker may be deleted in the slot that answers `done`.
//
// Contract for jobs: the destructor of every class that implements doWork calls stop() first.
// Members of a derived class are destroyed before the base destructor runs, so a job deleted
// while it runs would otherwise go on using its inputs after they are gone.
class Worker : public QObject
{
    Q_OBJECT

public:
    explicit Worker(QObject* parent = nullptr);
    ~Worker() override;

    // The job itself; runs in the worker's thread.
    virtual void doWork() = 0;

    // The exit status that a console run of the job ends with: 0 unless the job has set
    // another, 1 when an exception left the job. Read it once `done` has arrived.
    int exitStatus() const { return status; }

public slots:
    // Runs the job and then emits `done`, whatever the job threw: no exception leaves here, and
    // one that left the job is logged at ERROR and sets the exit status to 1.
    void work();

signals:
    void done();

protected:
    // Stands for a thread start that the system refuses: the worker stays in the thread that
    // makes it, as after a failed start. For tests of the front ends' fallback.
    struct RefusedStart
    {
    };
    Worker(RefusedStart, QObject* parent);

    // Ends the thread's event loop and waits, without a time limit, for the thread to finish;
    // calls after the first do nothing.
    void stop();

    // For doWork: a job whose product is lost or not whole (its output could not be written,
    // an exception cut it short) ends the console run with a status that says so.
    void setExitStatus(int value) { status = value; }

private:
    // Moves the worker into its thread when that started.
    void settle();

    QThread thread;
    // The thread started and the worker lives in it.
    bool ownThread = false;
    bool stopped = false;
    // Written in the worker's thread before `done`, read after it has arrived.
    int status = 0;

    Q_DISABLE_COPY(Worker)
};

#endif
