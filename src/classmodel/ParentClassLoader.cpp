#include "ParentClassLoader.h"

#include "JavaClass.h"
#include "JavaClassFile.h"
#include "Logger.h"
#include "ProtoClassLoader.h"
#include "ThreadCrew.h"

#include <QMultiMap>
#include <QSet>
#include <QVector>

#include <memory>

namespace {

// The most names worked out in one batch: the parsed files wait for their lookups in memory.
const int maxPrefetched = 1024;

} // namespace

struct ParentClassLoader::Batch
{
    struct Job
    {
        QString name;
        // The first child asked on the threads.
        int from = 0;
        Prefetched result;
        JavaClassFile* file = nullptr;
        // Set when the job has been worked out; a job that failed (memory running out) is left
        // to the lookup, which does it all in its own thread.
        bool done = false;
    };

    // Each child's concurrent read, taken when the batch starts; empty for a child that cannot
    // be asked on the threads.
    QVector<JavaClassLoader::Read> reads;
    QVector<Job> jobs;
    // Names that a gold-file loader answered before the threads started.
    QVector<QPair<QString, Class*>> found;
    // Set once the jobs are filled in: the crew's, until each is worked out.
    std::unique_ptr<ThreadCrew::Tasks> tasks;

    void run(Job& job) const;
    // Takes back the jobs that nobody has taken, waits for those being worked out, and frees
    // what was not handed on.
    ~Batch();
};

ParentClassLoader::Batch::~Batch()
{
    tasks.reset();
    for (const Job& job : qAsConst(jobs)) {
        delete job.file;
        delete job.result.cls;
    }
    for (const auto& entry : qAsConst(found))
        delete entry.second;
}

void ParentClassLoader::Batch::run(Job& job) const
{
    try {
        job.result.resumeAt = -1;
        for (int child = job.from; child < reads.size(); ++child) {
            if (!reads.at(child)) {
                job.result.resumeAt = child;
                break;
            }
            const JavaClassLoader::Definition definition =
                JavaClassLoader::prepareDefinition(job.name, reads.at(child));
            if (definition.declined) {
                job.result.resumeAt = child;
                break;
            }
            job.file = definition.file;
            job.result.lines.append(definition.lines);
            if (job.file) {
                // The view too is made here, next to its file.
                job.result.cls = new JavaClass(job.file);
                job.file = nullptr;
                break;
            }
        }
        job.done = true;
    } catch (...) {
    }
}

ParentClassLoader::~ParentClassLoader()
{
    // The threads read through the children: they finish first, and what they have not taken
    // is not worked out any more.
    delete running;
    running = nullptr;
    dropPrefetched();
    // Every class-file view, the children's and the parent's own, goes in one pass on several
    // cores, which shares the work out better than a pass per child; nothing of a view needs its
    // loader. The base deletes the rest (gold-file views).
    QVector<Class*> classFileViews;
    for (ClassLoader* loader : qAsConst(loaders)) {
        if (auto* javaLoader = dynamic_cast<JavaClassLoader*>(loader))
            javaLoader->releaseClasses(&classFileViews);
    }
    for (auto it = cache.begin(); it != cache.end();) {
        if (dynamic_cast<JavaClass*>(it.value())) {
            classFileViews.append(it.value());
            it = cache.erase(it);
        } else {
            ++it;
        }
    }
    JavaClassLoader::deleteClasses(classFileViews, crew);
    for (ClassLoader* loader : qAsConst(loaders))
        delete loader;
    for (ClassLoader* loader : qAsConst(idleLoaders))
        delete loader;
    delete crew;
}

void ParentClassLoader::loadAllClasses()
{
    // The children are not read from two sides at once.
    finishBatch();
    // One crew serves every child, so that its threads are started once for the whole
    // classpath.
    const int threads = JavaClassLoader::parsingThreads();
    if (threads > 1) {
        if (!crew)
            crew = new ThreadCrew(threads);
        for (ClassLoader* loader : qAsConst(loaders)) {
            if (auto* javaLoader = dynamic_cast<JavaClassLoader*>(loader))
                javaLoader->setThreadCrew(crew);
        }
    }
    for (ClassLoader* loader : qAsConst(loaders))
        loader->loadAllClasses();
}

QMap<QString, Class*> ParentClassLoader::getAllClasses() const
{
    // A multi-map insert puts the new entry in front of the entries of an equal key. Walking
    // each child's map backwards and the children forwards therefore leaves the later child's
    // entry first among equal keys, which is what lookups by name then return.
    QMultiMap<QString, Class*> merged;
    for (const ClassLoader* loader : qAsConst(loaders)) {
        const QMap<QString, Class*> classes = loader->getAllClasses();
        auto it = classes.constEnd();
        while (it != classes.constBegin()) {
            --it;
            merged.insert(it.key(), it.value());
        }
    }
    return merged;
}

Class* ParentClassLoader::defineClass(const QString& name)
{
    const auto found = prefetched.find(name);
    if (found == prefetched.end())
        return defineFrom(name, 0);
    // Taken once: a later lookup (of a class not found) asks the children again, as it would
    // have without the prefetch.
    const Prefetched ahead = found.value();
    prefetched.erase(found);
    std::unique_ptr<Class> cls(ahead.cls);
    for (const auto& line : ahead.lines)
        emit Logger::logger->log(line.first, line.second);
    if (cls)
        return cls.release();
    return ahead.resumeAt < 0 ? nullptr : defineFrom(name, ahead.resumeAt);
}

Class* ParentClassLoader::defineFrom(const QString& name, int first)
{
    for (int i = first; i < loaders.size(); ++i) {
        if (Class* cls = loaders.at(i)->defineClass(name))
            return cls;
    }
    return nullptr;
}

void ParentClassLoader::dropPrefetched()
{
    for (const Prefetched& ahead : qAsConst(prefetched))
        delete ahead.cls;
    prefetched.clear();
}

void ParentClassLoader::finishBatch()
{
    if (!running)
        return;
    const std::unique_ptr<Batch> batch(running);
    running = nullptr;
    // A job fails only into `done`: nothing is thrown here.
    batch->tasks->waitForAll();
    const auto keep = [this](const QString& name, Class** cls, const Prefetched& ahead) {
        // A name that a lookup has defined meanwhile is never looked for again.
        if (cache.contains(name) || prefetched.contains(name))
            return;
        Prefetched kept = ahead;
        kept.cls = *cls;
        prefetched.insert(name, kept);
        *cls = nullptr;
    };
    for (auto& entry : batch->found)
        keep(entry.first, &entry.second, Prefetched());
    for (Batch::Job& job : batch->jobs) {
        if (!job.done)
            continue;
        keep(job.name, &job.result.cls, job.result);
    }
}

void ParentClassLoader::prefetchClasses(const QStringList& names)
{
    // The window before the one that finishes now has been walked: what it left was not asked
    // for.
    dropPrefetched();
    finishBatch();
    const int threads = JavaClassLoader::parsingThreads();
    if (threads < 2)
        return;

    std::unique_ptr<Batch> batch(new Batch);
    // What each child can answer on the threads: a class-file loader through its concurrent
    // read; nothing else.
    batch->reads.reserve(loaders.size());
    for (ClassLoader* loader : qAsConst(loaders)) {
        auto* javaLoader = dynamic_cast<JavaClassLoader*>(loader);
        batch->reads.append(javaLoader ? javaLoader->concurrentRead() : JavaClassLoader::Read());
    }

    QSet<QString> seen;
    for (const QString& name : names) {
        if (batch->jobs.size() + batch->found.size() >= maxPrefetched)
            break;
        const int seenBefore = seen.size();
        seen.insert(name);
        if (seen.size() == seenBefore || cache.contains(name) || prefetched.contains(name))
            continue;
        // Gold-file loaders lead the classpath; they log nothing and answer from memory, so they
        // are asked here and now. The first class-file loader after them goes to the threads.
        int child = 0;
        while (child < loaders.size() && !batch->reads.at(child) &&
               dynamic_cast<ProtoClassLoader*>(loaders.at(child))) {
            std::unique_ptr<Class> cls(loaders.at(child)->defineClass(name));
            if (cls) {
                batch->found.append(qMakePair(name, cls.get()));
                cls.release();
                break;
            }
            ++child;
        }
        if (child < loaders.size() && batch->reads.at(child)) {
            Batch::Job job;
            job.name = name;
            job.from = child;
            batch->jobs.append(job);
        }
    }

    if (!crew)
        crew = new ThreadCrew(threads);
    // Taken here, in this thread: the threads must not detach the vector.
    const Batch* const work = batch.get();
    Batch::Job* const jobs = batch->jobs.data();
    batch->tasks.reset(new ThreadCrew::Tasks(crew, batch->jobs.size(),
                                             [work, jobs](int i) { work->run(jobs[i]); }));
    running = batch.release();
}
