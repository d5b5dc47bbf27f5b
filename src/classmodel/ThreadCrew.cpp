#include "ThreadCrew.h"

#include <algorithm>
#include <utility>

ThreadCrew::ThreadCrew(int size) : size(qMax(0, size)) {}

ThreadCrew::~ThreadCrew()
{
    {
        const std::lock_guard<std::mutex> locker(lock);
        ending = true;
    }
    arrived.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

std::thread ThreadCrew::startThread(const std::function<void()>& work)
{
    return std::thread(work);
}

void ThreadCrew::startThreads()
{
    if (started)
        return;
    started = true;
    try {
        // Room for all first: a started thread must never be dropped for want of it.
        threads.reserve(size_t(size));
        for (int t = 0; t < size; ++t)
            threads.push_back(startThread([this] { work(); }));
    } catch (const std::exception&) {
        // The threads started so far, and whoever waits, do the work.
    }
}

void ThreadCrew::work()
{
    std::unique_lock<std::mutex> locker(lock);
    while (!ending) {
        if (open.empty()) {
            arrived.wait(locker);
            continue;
        }
        // A run whose tasks have all been taken is done with here; its owner waits for the
        // tasks still being run.
        if (!open.front()->runNext(locker))
            open.pop_front();
    }
}

ThreadCrew::Tasks::Tasks(ThreadCrew* crew, int count, std::function<void(int)> task)
    : crew(crew), total(qMax(0, count)), task(std::move(task)), done(new bool[size_t(total)]()),
      failures(size_t(total))
{
    crew->startThreads();
    {
        const std::lock_guard<std::mutex> locker(crew->lock);
        crew->open.push_back(this);
    }
    crew->arrived.notify_all();
}

ThreadCrew::Tasks::~Tasks()
{
    std::unique_lock<std::mutex> locker(crew->lock);
    next = total;
    crew->open.erase(std::remove(crew->open.begin(), crew->open.end(), this), crew->open.end());
    while (running > 0)
        crew->finished.wait(locker);
}

bool ThreadCrew::Tasks::runNext(std::unique_lock<std::mutex>& locker)
{
    if (next >= total)
        return false;
    const int i = next++;
    ++running;
    locker.unlock();
    std::exception_ptr failure;
    try {
        task(i);
    } catch (...) {
        failure = std::current_exception();
    }
    locker.lock();
    failures[size_t(i)] = failure;
    done[size_t(i)] = true;
    --running;
    if (failure) {
        // The run stops at its first failure: what nobody has taken is not run, and waiting for
        // it throws the same. The usual failure is memory running out, where further tasks
        // would only fail too, each holding on to an exception of its own.
        for (; next < total; ++next) {
            failures[size_t(next)] = failure;
            done[size_t(next)] = true;
        }
    }
    crew->finished.notify_all();
    return true;
}

void ThreadCrew::Tasks::waitFor(int i)
{
    std::unique_lock<std::mutex> locker(crew->lock);
    while (!done[size_t(i)]) {
        // Nobody has taken it, or a thread runs it: either way, work rather than wait idle.
        if (!runNext(locker))
            crew->finished.wait(locker);
    }
    if (failures[size_t(i)])
        std::rethrow_exception(failures[size_t(i)]);
}

void ThreadCrew::Tasks::waitForAll()
{
    for (int i = 0; i < total; ++i)
        waitFor(i);
}
