#include "JavaClassLoader.h"

#include "JavaClass.h"
#include "JavaClassFile.h"
#include "ThreadCrew.h"
#include "TypeDescriptor.h"

#include <QHash>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QVector>

#include <algorithm>
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
// Fewer classes than this are parsed by the calling thread, one by one. The crew's threads are
// kept between loads, so handing them even a few dozen classes pays.
const int minParallelClasses = 16;

} // namespace

JavaClassLoader::~JavaClassLoader()
{
    // Every cached class is one of ours, so the base finds nothing left to delete.
    QVector<Class*> classes;
    releaseClasses(&classes);
    deleteClasses(classes, lentCrew ? lentCrew : ownCrew);
    delete ownCrew;
}

void JavaClassLoader::releaseClasses(QVector<Class*>* classes)
{
    classes->reserve(classes->size() + cache.size());
    for (Class* cls : qAsConst(cache))
        classes->append(cls);
    cache.clear();
}

void JavaClassLoader::setThreadCrew(ThreadCrew* crew)
{
    lentCrew = crew;
}

ThreadCrew* JavaClassLoader::threadCrew()
{
    if (lentCrew)
        return lentCrew;
    if (!ownCrew)
        ownCrew = new ThreadCrew(parsingThreads());
    return ownCrew;
}

void JavaClassLoader::deleteClasses(QVector<Class*> classes, ThreadCrew* crew)
{
    const auto deleteAll = [&classes] {
        for (Class* cls : qAsConst(classes))
            delete cls;
    };
    const int threads = parsingThreads();
    if (threads < 2 || classes.size() < minParallelClasses)
        return deleteAll();
    // free() locks the allocator's arena that the memory came from, and with glibc's malloc a
    // thread allocates from an arena of its own, whose memory lies in heaps of 64 MiB
    // (2^26 bytes) aligned to their size. A class's address shifted by 26 therefore names the
    // heap, and so the arena, it came from: one thread frees a whole heap's classes without
    // queueing for the others, the largest heaps first so that the threads end together. Under
    // another allocator the groups are merely arbitrary, and the deletion as correct.
    const int heapBits = 26;
    const auto heap = [](const Class* cls) { return quintptr(cls) >> heapBits; };
    std::unique_ptr<ThreadCrew> callCrew;
    std::unique_ptr<ThreadCrew::Tasks> tasks;
    try {
        std::sort(classes.begin(), classes.end());
        QVector<QPair<int, int>> groups; // start and end in `classes`
        for (int i = 0; i < classes.size(); ++i) {
            if (i == 0 || heap(classes.at(i)) != heap(classes.at(i - 1)))
                groups.append(qMakePair(i, i));
            groups.last().second = i + 1;
        }
        if (groups.size() < 2)
            return deleteAll();
        std::sort(groups.begin(), groups.end(),
                  [](const QPair<int, int>& a, const QPair<int, int>& b) {
                      return a.second - a.first > b.second - b.first;
                  });
        if (!crew) {
            callCrew.reset(new ThreadCrew(threads));
            crew = callCrew.get();
        }
        Class* const* const items = classes.constData();
        tasks.reset(new ThreadCrew::Tasks(crew, groups.size(), [items, groups](int g) {
            for (int i = groups.at(g).first; i < groups.at(g).second; ++i)
                delete items[i];
        }));
    } catch (const std::exception&) {
        // Memory ran short before any class went: they all go here.
        return deleteAll();
    }
    tasks->waitForAll();
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

// One name that an ordered load requests.
struct JavaClassLoader::OrderedLoad::Request
{
    QString name;
    // Its place among the load's requests.
    int order = 0;
    // Whether this request reads; a name met before is defined or replayed instead.
    bool reads = false;
    ClassData data;
    JavaClassFile* file = nullptr;
    // The view over an accepted file, made on the parsing thread too.
    Class* cls = nullptr;
};

// Requests handed to the crew together; the crew's threads take them one by one, batch after
// batch, and the loading thread, waiting for each request in turn, takes those nobody has taken.
struct JavaClassLoader::OrderedLoad::Batch
{
    explicit Batch(int count) : requests(new Request[size_t(count)]), count(count) {}
    // Frees what was worked out but not defined, once the threads are done with the requests.
    ~Batch()
    {
        tasks.reset();
        for (int i = 0; i < count; ++i) {
            delete requests[size_t(i)].file;
            delete requests[size_t(i)].cls;
        }
    }

    std::unique_ptr<Request[]> requests;
    const int count;
    // Set once the requests are filled in: they are then the threads' until each is done.
    std::unique_ptr<ThreadCrew::Tasks> tasks;
};

JavaClassLoader::OrderedLoad::OrderedLoad(JavaClassLoader* loader, const Read& read,
                                          bool readInParallel, const Read& orderedRead)
    : loader(loader), read(read), readInParallel(readInParallel), orderedRead(orderedRead),
      crew(loader->threadCrew())
{
}

JavaClassLoader::OrderedLoad::~OrderedLoad()
{
    // First, while what the requests' work uses is still there: each batch waits for the
    // requests that the threads are working out.
    batches.clear();
}

void JavaClassLoader::OrderedLoad::workOut(Request& request)
{
    if (!request.reads || request.order > firstFailure.load())
        return;
    try {
        if (readInParallel)
            request.data = read(request.name);
        if (!request.data.bytes.isEmpty())
            request.file = JavaClassFile::create(request.data.bytes);
        request.data.bytes = QByteArray();
        if (request.file && !request.file->checkLog.hasError) {
            request.cls = new JavaClass(request.file);
            request.file = nullptr;
        }
    } catch (...) {
        // Memory running out, as a rule: the requests after this one would only fail too.
        int first = firstFailure.load();
        while (request.order < first && !firstFailure.compare_exchange_weak(first, request.order)) {
        }
        throw;
    }
}

void JavaClassLoader::OrderedLoad::add(const QStringList& names)
{
    int from = 0;
    while (from < names.size()) {
        // With this thread reading, the threads parse one batch while it reads the next; a batch
        // is defined once the one after it is on its way, so that few bytes wait.
        if (!readInParallel) {
            while (batches.size() - defined >= 2)
                defineBatch();
        }
        const int to = readInParallel ? names.size() : qMin(names.size(), from + batchSize);
        batches.emplace_back(new Batch(to - from));
        Batch* const batch = batches.back().get();
        for (int i = from; i < to; ++i) {
            Request& request = batch->requests[size_t(i - from)];
            request.name = names.at(i);
            request.order = requested++;
            request.reads = !loader->cache.contains(request.name) && !seen.contains(request.name);
            seen.insert(request.name);
            if (request.reads && !readInParallel)
                request.data = read(request.name);
        }
        Request* const requests = batch->requests.get();
        batch->tasks.reset(new ThreadCrew::Tasks(
            crew, batch->count, [this, requests](int i) { workOut(requests[i]); }));
        from = to;
    }
}

void JavaClassLoader::OrderedLoad::finish()
{
    while (defined < batches.size())
        defineBatch();
}

void JavaClassLoader::OrderedLoad::defineBatch()
{
    QHash<QString, Class*>& cache = loader->cache;
    Batch& batch = *batches[defined];
    for (int i = 0; i < batch.count; ++i) {
        Request& request = batch.requests[size_t(i)];
        // Throws what working the request out threw, memory running out, as if it had been
        // thrown here.
        batch.tasks->waitFor(i);
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
