#include "JavaClassLoader.h"

#include "JavaClass.h"
#include "JavaClassFile.h"
#include "TypeDescriptor.h"

#include <QHash>
#include <QRunnable>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

namespace {

void logLines(const JavaClassLoader::LogLines& lines)
{
    for (const auto& line : lines)
        emit Logger::logger->log(line.first, line.second);
}

// Classes handed to the threads at a time: enough to keep every core busy, few enough that the
// bytes in flight stay small.
const int batchSize = 512;
// Fewer classes than this are parsed by the calling thread, one by one.
const int minParallelClasses = 64;

} // namespace

JavaClassLoader::~JavaClassLoader()
{
    // Every cached class is one of ours, so the base finds nothing left to delete.
    QVector<Class*> classes;
    classes.reserve(cache.size());
    for (Class* cls : qAsConst(cache))
        classes.append(cls);
    cache.clear();
    deleteClasses(classes);
}

void JavaClassLoader::deleteClasses(QVector<Class*> classes)
{
    const int threads = parsingThreads();
    if (threads < 2 || classes.size() < minParallelClasses) {
        for (Class* cls : qAsConst(classes))
            delete cls;
        return;
    }
    // What one thread allocated tends to lie together, in an area of the allocator's that
    // serves that thread. Threads freeing in different areas do not queue for one another, so
    // the classes are dealt out by neighbourhood: one thread frees a whole neighbourhood.
    const auto area = [](const Class* cls) { return quintptr(cls) >> 26; };
    std::sort(classes.begin(), classes.end(),
              [&area](const Class* a, const Class* b) { return area(a) < area(b); });
    QVector<int> groupStarts;
    for (int i = 0; i < classes.size(); ++i) {
        if (i == 0 || area(classes.at(i)) != area(classes.at(i - 1)))
            groupStarts.append(i);
    }
    groupStarts.append(classes.size());
    const int groups = groupStarts.size() - 1;
    if (groups < 2) {
        for (Class* cls : qAsConst(classes))
            delete cls;
        return;
    }
    // A pool of its own, for the same reason as loadInOrder's.
    QThreadPool pool;
    pool.setMaxThreadCount(qMin(threads, groups));
    std::atomic<int> next(0);
    Class* const* const items = classes.constData();
    const int* const starts = groupStarts.constData();
    for (int t = 0; t < qMin(threads, groups); ++t) {
        pool.start(QRunnable::create([&next, items, starts, groups] {
            for (int g = next++; g < groups; g = next++) {
                for (int i = starts[g]; i < starts[g + 1]; ++i)
                    delete items[i];
            }
        }));
    }
    pool.waitForDone();
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

void JavaClassLoader::loadInOrder(const QStringList& names, const Read& read, bool readInParallel,
                                  const Read& orderedRead)
{
    struct Request
    {
        QString name;
        // Whether this request reads; a name met before is defined or replayed instead.
        bool reads = false;
        ClassData data;
        JavaClassFile* file = nullptr;
        // The view over an accepted file, made on the parsing thread too.
        Class* cls = nullptr;
        // What the parse threw (memory running out), to be thrown again in this thread.
        std::exception_ptr failure;
    };

    // A pool of its own, so that waiting for it cannot wait for (or on) anybody else's work,
    // even when this runs on a thread of the shared pool.
    QThreadPool pool;
    const int threads = parsingThreads();
    pool.setMaxThreadCount(threads);
    // What a request that defined nothing logged, by name, for the requests that repeat it.
    QHash<QString, LogLines> replay;
    QSet<QString> seen;

    // Reads (unless the threads do) the requests of one batch.
    const auto prepare = [&](int from) {
        QVector<Request> batch;
        const int to = qMin(names.size(), from + batchSize);
        batch.reserve(to - from);
        for (int i = from; i < to; ++i) {
            Request request;
            request.name = names.at(i);
            request.reads = !cache.contains(request.name) && !seen.contains(request.name);
            seen.insert(request.name);
            if (request.reads && !readInParallel)
                request.data = read(request.name);
            batch.append(request);
        }
        return batch;
    };
    // Parses the batch on the pool's threads, each taking the next request until none is left.
    std::atomic<int> next(0);
    const auto startParsing = [&](QVector<Request>* batch) {
        next = 0;
        // Taken here, in this thread: the threads must not detach the vector.
        Request* const requests = batch->data();
        const int count = batch->size();
        for (int t = 0; t < threads; ++t) {
            pool.start(QRunnable::create([&, requests, count] {
                for (int i = next++; i < count; i = next++) {
                    Request& request = requests[i];
                    if (!request.reads)
                        continue;
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
            }));
        }
    };
    // Defines the batch's classes in request order, logging what each request logs.
    const auto define = [&](QVector<Request>* batch) {
        for (Request& request : *batch) {
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
    };

    // While the threads parse one batch, this thread reads the next.
    QVector<Request> current;
    QVector<Request> following;
    try {
        current = prepare(0);
        for (int from = 0; from < names.size(); from += batchSize) {
            startParsing(&current);
            following =
                from + batchSize < names.size() ? prepare(from + batchSize) : QVector<Request>();
            pool.waitForDone();
            define(&current);
            current = following;
            following.clear();
        }
    } catch (...) {
        // Whatever was thrown leaves through this thread, after the threads are done with the
        // batches and the files parsed but not defined are gone.
        pool.waitForDone();
        for (const Request& request : qAsConst(current)) {
            delete request.file;
            delete request.cls;
        }
        for (const Request& request : qAsConst(following)) {
            delete request.file;
            delete request.cls;
        }
        throw;
    }
}
