#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The threads that run the loaders' work, and the one place where work meets threads.
//
// A crew starts its threads at the first hand-over of tasks and keeps them, idle between
// hand-overs, until it goes: a load, a listing or a whole test starts them once. Whoever waits
// for a task runs the tasks that no thread has taken yet meanwhile, so a wait never depends on a
// thread that may not exist: a thread that cannot be started (the system's limit on threads,
// memory running short) only leaves more of the work to the waiting thread.
//
// The threads are the standard library's rather than a QThreadPool's: a Qt 5 pool counts a
// thread that failed to start as busy for good, so that waiting for its work never ends, and an
// exception in the start-up of a Qt thread ends the program.
//
// A crew and its task runs are used by one thread, the one that hands the tasks over and waits
// for them.
class ThreadCrew
{
public:
    // Tasks handed to a crew in one piece: task(i) for i from 0 to count - 1, each run once, by
    // a thread of the crew or by the thread that waits. They are taken in the order of i, and
    // the runs handed over earlier first. A task that throws stops the run: the tasks that
    // nobody has taken by then are not run, and waiting for them throws what it threw.
    class Tasks
    {
    public:
        // Hands the tasks over; starts the crew's threads when they have not been started yet.
        // `task` is called from several threads at once.
        Tasks(ThreadCrew* crew, int count, std::function<void(int)> task);
        // Takes back the tasks that nobody has taken and waits for those being run: however the
        // owner leaves, nothing runs on after the run is gone.
        ~Tasks();

        int count() const { return total; }
        // Returns once task `i` has run, running tasks that nobody has taken yet meanwhile, and
        // throws what task `i` threw, as if it had been run here.
        void waitFor(int i);
        // waitFor of every task in order: throws what the first task that failed threw.
        void waitForAll();

    private:
        friend class ThreadCrew;

        // Takes the next task that nobody has taken and runs it with `locker` unlocked; false
        // when there is none. Called with the crew's lock held.
        bool runNext(std::unique_lock<std::mutex>& locker);

        ThreadCrew* const crew;
        const int total;
        const std::function<void(int)> task;
        // Under the crew's lock: the next task to take, the tasks being run, and for each task
        // whether it has run and what it threw.
        int next = 0;
        int running = 0;
        std::unique_ptr<bool[]> done;
        std::vector<std::exception_ptr> failures;

        Q_DISABLE_COPY(Tasks)
    };

    // A crew of at most `size` threads; none is started yet.
    explicit ThreadCrew(int size);
    // Ends the threads and waits for them; every run of tasks must be gone by then.
    virtual ~ThreadCrew();

    // The threads running; known once tasks have been handed over.
    int threadCount() const { return int(threads.size()); }

protected:
    // Starts a thread that runs `work`, or throws (std::system_error, std::bad_alloc) when the
    // system has none to give.
    virtual std::thread startThread(const std::function<void()>& work);

private:
    // Starts the threads at the first hand-over; those that cannot be started are done without.
    void startThreads();
    // What each thread runs until the crew goes.
    void work();

    const int size;
    bool started = false;
    std::vector<std::thread> threads;

    std::mutex lock;
    // Signalled when tasks arrive or the crew ends, and when a task has run.
    std::condition_variable arrived;
    std::condition_variable finished;
    // Under the lock: the runs that may hold tasks nobody has taken, oldest first.
    std::deque<Tasks*> open;
    bool ending = false;

    Q_DISABLE_COPY(ThreadCrew)
};
