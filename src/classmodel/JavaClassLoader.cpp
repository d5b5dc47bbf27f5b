#include "JavaClassLoader.h"

#include "JavaClass.h"
#include "JavaClassFile.h"
#include "TypeDescriptor.h"

#include <QHash>
#include <QMutex>
#include <QRunnable>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QVector>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <vector>

namespace {

void logLines(const JavaClassLoader::LogLines& lines)
{
    for (const auto& line : lines)
        emit Logger::logger->log(line.first, line.second);
}

// Classes read ahead at a time when this thread reads them: enough to keep every core busy, few
// enough that the bytes in flight stay small.
const int batchSize = 512;
// Fewer classes than this are parsed by the calling thread, one by one. The pool's threads are
// kept between loads, so handing them even a few dozen classes pays.
const int minParallelClasses = 16;

// Runs `task` on `count` runnables of `pool` and returns when all of them have ended.
void runOnPool(QThreadPool* pool, int count, const std::function<void()>& task)
{
    QSemaphore ended;
    for (int i = 0; i < count; ++i) {
        pool->start(QRunnable::create([&task, &ended] {
            task();
            ended.release();
        }));
    }
    ended.acquire(count);
}

} // namespace

JavaClassLoader::~JavaClassLoader()
{
    // Every cached class is one of ours, so the base finds nothing left to delete.
    QVector<Class*> classes;
    releaseClasses(&classes);
    deleteClasses(classes, lentPool ? lentPool : ownPool);
    delete ownPool;
}

void JavaClassLoader::releaseClasses(QVector<Class*>* classes)
{
    classes->reserve(classes->size() + cache.size());
    for (Class* cls : qAsConst(cache))
        classes->append(cls);
    cache.clear();
}

void JavaClassLoader::setThreadPool(QThreadPool* pool)
{
    lentPool = pool;
}

QThreadPool* JavaClassLoader::threadPool()
{
    if (lentPool)
        return lentPool;
    if (!ownPool)
        ownPool = new QThreadPool();
    return ownPool;
}

void JavaClassLoader::deleteClasses(QVector<Class*> classes, QThreadPool* pool)
{
    const int threads = parsingThreads();
    if (threads < 2 || classes.size() < minParallelClasses) {
        for (Class* cls : qAsConst(classes))
            delete cls;
        return;
    }
    // What one thread allocated tends to lie together, in an area of the allocator's that
    // serves that thread. Threads freeing in different areas do not queue for one another, so
    // the classes are dealt out by neighbourhood: one thread frees a whole neighbourhood, the
    // largest first so that the threads end together.
    const auto area = [](const Class* cls) { return quintptr(cls) >> 26; };
    std::sort(classes.begin(), classes.end());
    QVector<QPair<int, int>> groups; // start and end in `classes`
    for (int i = 0; i < classes.size(); ++i) {
        if (i == 0 || area(classes.at(i)) != area(classes.at(i - 1)))
            groups.append(qMakePair(i, i));
        groups.last().second = i + 1;
    }
    if (groups.size() < 2) {
        for (Class* cls : qAsConst(classes))
            delete cls;
        return;
    }
    std::sort(groups.begin(), groups.end(), [](const QPair<int, int>& a, const QPair<int, int>& b) {
        return a.second - a.first > b.second - b.first;
    });
    // A pool of the call's own when none is given, not the shared one: see threadPool().
    std::unique_ptr<QThreadPool> ownPool;
    if (!pool) {
        ownPool.reset(new QThreadPool());
        pool = ownPool.get();
    }
    pool->setMaxThreadCount(threads);
    std::atomic<int> next(0);
    Class* const* const items = classes.constData();
    const QPair<int, int>* const ranges = groups.constData();
    const int count = groups.size();
    runOnPool(pool, qMin(threads, count), [&next, items, ranges, count] {
        for (int g = next++; g < count; g = next++) {
            for (int i = ranges[g].first; i < ranges[g].second; ++i)
                delete items[i];
        }
    });
}

Class* JavaClassLoader::defineClass(const QString& name)
{
    const QByteArray bytes = readClassData(name);
    if (bytes.isEmpty())
        return nullptr;

    JavaClassFile* file = JavaClassFile::create(bytes);
    const QStringList rejection = rejectionLines(name, file);
    if (!rejection.isEmpty()) {
        for (const QString& line : rejection)
            emit Logger::logger->log(Logger::L_WARN, line);
        delete file;
        return nullptr;
    }
    return new JavaClass(file);
}

QByteArray JavaClassLoader::readClassData(const QString&)
{
    return QByteArray();
}

JavaClassLoader::Read JavaClassLoader::concurrentRead()
{
    return Read();
}

JavaClassLoader::Definition JavaClassLoader::prepareDefinition(const QString& name,
                                                               const Read& read)
{
    Definition definition;
    ClassData data = read(name);
    if (data.declined) {
        definition.declined = true;
        return definition;
    }
    definition.lines = data.lines;
    if (data.bytes.isEmpty())
        return definition;
    std::unique_ptr<JavaClassFile> file(JavaClassFile::create(data.bytes));
    data.bytes = QByteArray();
    const QStringList rejection = rejectionLines(name, file.get());
    if (rejection.isEmpty()) {
        definition.file = file.release();
        return definition;
    }
    file.reset();
    for (const QString& line : rejection)
        definition.lines.append(qMakePair(Logger::L_WARN, line));
    return definition;
}

QStringList JavaClassLoader::rejectionLines(const QString& name, const JavaClassFile* file)
{
    QStringList lines;
    if (!file->checkLog.hasError)
        return lines;
    // Warnings are only worth reporting together with the error that rejects the file.
    const QString className = TypeDescriptor::fromClassDescriptorName(name).toString();
    for (const QString& message : file->checkLog.messages)
        lines.append(QString("%1: %2").arg(className, message));
    return lines;
}

int JavaClassLoader::parsingThreads()
{
    // The shared pool's limit is the process's say in how many threads pooled work may use, so
    // a program can keep the loaders to one thread.
    return qMax(1,
                qMin(QThread::idealThreadCount(), QThreadPool::globalInstance()->maxThreadCount()));
}

bool JavaClassLoader::parsesInParallel(int count)
{
    // A few classes parse faster than threads can be handed them.
    return parsingThreads() > 1 && count >= minParallelClasses;
}

// The requests of an ordered load, handed to a pool's threads in batches. The threads take the
// requests one by one, batch after batch, without waiting for anybody; the loading thread waits
// for each request in turn and, while the one it waits for is not taken yet, takes requests
// itself.
class JavaClassLoader::OrderedLoad::Pipeline
{
public:
    struct Request
    {
        QString name;
        // Whether this request reads; a name met before is defined or replayed instead.
        bool reads = false;
        ClassData data;
        JavaClassFile* file = nullptr;
        // The view over an accepted file, made on the parsing thread too.
        Class* cls = nullptr;
        // What the parse threw (memory running out), to be thrown again in the loading thread.
        std::exception_ptr failure;
        // Set once the threads are done with the request; they touch nothing of it afterwards.
        std::atomic<bool> finished{false};
    };

    struct Batch
    {
        explicit Batch(int count) : requests(new Request[size_t(count)]), count(count) {}

        std::unique_ptr<Request[]> requests;
        const int count;
        // The next request to take; taking counts on past the end.
        std::atomic<int> next{0};
        // The batch after this one; set and read under the lock.
        Batch* following = nullptr;
    };

    // `read` is run on the threads when `readInParallel`; the caller keeps it alive.
    Pipeline(QThreadPool* pool, int threads, const Read& read, bool readInParallel)
        : pool(pool), threads(threads), read(read), readInParallel(readInParallel)
    {
        pool->setMaxThreadCount(threads);
    }

    // A new batch of `count` requests, to be filled and then handed over with add().
    Batch* create(int count)
    {
        batches.emplace_back(new Batch(count));
        return batches.back().get();
    }

    // Hands the batch to the threads, after the batches handed over before.
    void add(Batch* batch)
    {
        QMutexLocker locker(&lock);
        if (last)
            last->following = batch;
        last = batch;
        // Runnables that ran out of work have ended; as many new ones start here.
        for (; active < threads; ++active)
            pool->start(QRunnable::create([this, batch] { work(batch); }));
    }

    // Returns when the threads are done with `request`.
    void waitFor(Request& request)
    {
        while (!request.finished.load(std::memory_order_acquire)) {
            if (helpOnce())
                continue;
            QMutexLocker locker(&lock);
            awaited.store(&request);
            while (!request.finished.load())
                changed.wait(&lock);
            awaited.store(nullptr);
        }
    }

    // Stops the threads from taking further requests when `cancel`, and returns when every
    // runnable has ended. Called before the pipeline goes.
    void stop(bool cancel)
    {
        if (cancel)
            cancelled.store(true);
        QMutexLocker locker(&lock);
        while (active > 0)
            changed.wait(&lock);
    }

    // Every batch made, in order.
    std::vector<std::unique_ptr<Batch>> batches;

private:
    void work(Batch* batch)
    {
        for (;;) {
            if (!cancelled.load(std::memory_order_relaxed)) {
                const int i = batch->next++;
                if (i < batch->count) {
                    run(batch->requests[size_t(i)]);
                    continue;
                }
            }
            QMutexLocker locker(&lock);
            if (!batch->following || cancelled.load()) {
                if (--active == 0)
                    changed.wakeAll();
                return;
            }
            batch = batch->following;
        }
    }

    // Takes one request that nobody has taken yet and works it out in this thread; false when
    // there is none.
    bool helpOnce()
    {
        for (; firstOpen < batches.size(); ++firstOpen) {
            Batch& batch = *batches[firstOpen];
            if (batch.next.load(std::memory_order_relaxed) >= batch.count)
                continue;
            const int i = batch.next++;
            if (i < batch.count) {
                run(batch.requests[size_t(i)]);
                return true;
            }
        }
        return false;
    }

    void run(Request& request)
    {
        if (request.reads) {
            try {
                if (readInParallel)
                    request.data = read(request.name);
                if (!request.data.bytes.isEmpty())
                    request.file = JavaClassFile::create(request.data.bytes);
                if (request.file && !request.file->checkLog.hasError) {
                    request.cls = new JavaClass(request.file);
                    request.file = nullptr;
                }
            } catch (...) {
                request.failure = std::current_exception();
            }
            request.data.bytes = QByteArray();
        }
        // Both sequentially consistent: either the waiting thread sees the request finished, or
        // this thread sees it waiting and wakes it, under the lock it waits with.
        request.finished.store(true);
        if (awaited.load() == &request) {
            QMutexLocker locker(&lock);
            changed.wakeAll();
        }
    }

    QThreadPool* const pool;
    const int threads;
    const Read& read;
    const bool readInParallel;

    QMutex lock;
    QWaitCondition changed;
    // Under the lock: the runnables that have not ended, and the batch added last.
    int active = 0;
    Batch* last = nullptr;
    // The loading thread's: the first batch whose requests may not all be taken yet.
    size_t firstOpen = 0;
    // The request that the loading thread waits for.
    std::atomic<Request*> awaited{nullptr};
    std::atomic<bool> cancelled{false};
};

JavaClassLoader::OrderedLoad::OrderedLoad(JavaClassLoader* loader, const Read& read,
                                          bool readInParallel, const Read& orderedRead)
    : loader(loader), read(read), readInParallel(readInParallel), orderedRead(orderedRead),
      pipeline(new Pipeline(loader->threadPool(), parsingThreads(), this->read, readInParallel))
{
}

JavaClassLoader::OrderedLoad::~OrderedLoad()
{
    if (finished)
        return;
    // Left early by an exception: the threads stop, and what was parsed but not defined goes.
    pipeline->stop(true);
    for (const auto& batch : pipeline->batches) {
        for (int i = 0; i < batch->count; ++i) {
            delete batch->requests[size_t(i)].file;
            delete batch->requests[size_t(i)].cls;
        }
    }
}

void JavaClassLoader::OrderedLoad::add(const QStringList& names)
{
    int from = 0;
    while (from < names.size()) {
        // With this thread reading, the threads parse one batch while it reads the next; a batch
        // is defined once the one after it is on its way, so that few bytes wait.
        if (!readInParallel) {
            while (pipeline->batches.size() - defined >= 2)
                defineBatch();
        }
        const int to = readInParallel ? names.size() : qMin(names.size(), from + batchSize);
        Pipeline::Batch* batch = pipeline->create(to - from);
        for (int i = from; i < to; ++i) {
            Pipeline::Request& request = batch->requests[size_t(i - from)];
            request.name = names.at(i);
            request.reads = !loader->cache.contains(request.name) && !seen.contains(request.name);
            seen.insert(request.name);
            if (request.reads && !readInParallel)
                request.data = read(request.name);
        }
        pipeline->add(batch);
        from = to;
    }
}

void JavaClassLoader::OrderedLoad::finish()
{
    while (defined < pipeline->batches.size())
        defineBatch();
    pipeline->stop(false);
    finished = true;
}

void JavaClassLoader::OrderedLoad::defineBatch()
{
    QHash<QString, Class*>& cache = loader->cache;
    Pipeline::Batch& batch = *pipeline->batches[defined];
    for (int i = 0; i < batch.count; ++i) {
        Pipeline::Request& request = batch.requests[size_t(i)];
        pipeline->waitFor(request);
        if (request.failure)
            std::rethrow_exception(request.failure);
        if (cache.contains(request.name))
            continue;
        if (!request.reads) {
            logLines(replay.value(request.name));
            continue;
        }
        if (request.data.declined) {
            request.data = orderedRead(request.name);
            if (!request.data.bytes.isEmpty())
                request.file = JavaClassFile::create(request.data.bytes);
            request.data.bytes = QByteArray();
        }
        LogLines lines = request.data.lines;
        if (request.cls) {
            logLines(lines);
            cache.insert(request.name, request.cls);
            request.cls = nullptr;
            continue;
        }
        if (request.file) {
            const QStringList rejection = rejectionLines(request.name, request.file);
            if (rejection.isEmpty()) {
                logLines(lines);
                cache.insert(request.name, new JavaClass(request.file));
                request.file = nullptr;
                continue;
            }
            for (const QString& line : rejection)
                lines.append(qMakePair(Logger::L_WARN, line));
            delete request.file;
            request.file = nullptr;
        }
        logLines(lines);
        replay.insert(request.name, lines);
    }
    ++defined;
}

void JavaClassLoader::loadInOrder(const QStringList& names, const Read& read, bool readInParallel,
                                  const Read& orderedRead)
{
    OrderedLoad load(this, read, readInParallel, orderedRead);
    load.add(names);
    load.finish();
}
