#pragma once

#include "ClassLoader.h"
#include "Logger.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

class JavaClassFile;
class ThreadCrew;

// The base of the loaders that read class files: a subclass supplies the bytes of a class file
// (readClassData), this class parses them, rejects files with structural errors and makes the
// views.
class JavaClassLoader : public ClassLoader
{
public:
    // The largest class file that is read, from a directory or an archive. Real class files
    // stay far below it; the limit keeps a hostile size from sizing an allocation.
    static const qint64 maxClassFileSize = 64 * 1024 * 1024;

    // Lines that a read would have logged, held back so that they can be logged in request
    // order.
    using LogLines = QList<QPair<Logger::Level, QString>>;

    // The bytes of one class file as a source read them, and what reading them logs.
    struct ClassData
    {
        QByteArray bytes;
        LogLines lines;
        // Set by a read on a parsing thread that leaves the request to the ordered read.
        bool declined = false;
    };

    JavaClassLoader() = default;
    // Deletes the cached classes, then the crew of its own, if it made one.
    ~JavaClassLoader() override;

    // Lends the loader a crew for its parsing threads and for deleting its classes; the lender
    // keeps it until the loader is gone and uses it from the loader's thread only. Without one,
    // the loader makes a crew at its first parallel load and keeps it as long as it lives, so
    // that its threads are started once rather than at every load.
    void setThreadCrew(ThreadCrew* crew);

    // A new JavaClass over the parsed bytes of `name`, or null when the source has no bytes for
    // it or the file has errors; each message of a rejected file is logged at WARN.
    Class* defineClass(const QString& name) override;

    // The bytes of the class file of `name`; empty when the source does not have it. Called only
    // by defineClass. This version has nothing.
    virtual QByteArray readClassData(const QString& name);

    // Gives the bytes of a name and the lines that reading it logs, or declines the request.
    using Read = std::function<ClassData(const QString&)>;
    // A read that several threads may run at once, giving what readClassData would give and log;
    // it declines what only readClassData can answer. Empty when the source cannot be read so
    // (this version's answer). Asked for in the loader's own thread; it stays valid while the
    // loader lives, also while the loader serves lookups in its own thread.
    virtual Read concurrentRead();

    // What defineClass would do for `name`, worked out through `read` (a concurrentRead)
    // without logging: the lines it would log and, for an accepted file, the parsed file, which
    // the caller then owns. Safe on any thread.
    struct Definition
    {
        LogLines lines;
        JavaClassFile* file = nullptr;
        // The read declined: nothing was worked out.
        bool declined = false;
    };
    static Definition prepareDefinition(const QString& name, const Read& read);

    // The number of threads that parse for loadInOrder; 1 leaves the work to one-by-one loads.
    static int parsingThreads();

    // Appends every cached class to `classes` and empties the cache: the caller deletes them
    // now (with deleteClasses), the loader no longer owns them.
    void releaseClasses(QVector<Class*>* classes);

    // Deletes `classes`, class-file views that share nothing with one another, on the threads
    // of `crew` (of a crew made for the call when null); all are gone when it returns. Throws
    // nothing, so that owners may call it from their destructors.
    static void deleteClasses(QVector<Class*> classes, ThreadCrew* crew = nullptr);

protected:
    // Whether loading `count` classes is worth handing to the parsing threads.
    static bool parsesInParallel(int count);

    // Does what loadClass does for each of `names` in turn (the same classes defined, the same
    // lines logged in the same order) but parses the files on parsingThreads() threads. `read`
    // gives the bytes of a name and the lines that reading it logs; it is called from this
    // thread in request order, or, when `readInParallel`, from the parsing threads (it must
    // then touch nothing shared). A request that such a read declines is read by `orderedRead`
    // in this thread, in its turn. A name met again is not read again: it is either defined by
    // then or its lines are logged again, as a second request would log them.
    void loadInOrder(const QStringList& names, const Read& read, bool readInParallel,
                     const Read& orderedRead = Read());

    // loadInOrder for names that come in pieces: the threads read and parse the names handed
    // over while this thread goes on finding more. Used by one thread; the loader outlives it.
    class OrderedLoad
    {
    public:
        OrderedLoad(JavaClassLoader* loader, const Read& read, bool readInParallel,
                    const Read& orderedRead = Read());
        // When finish() was not reached (an exception), takes back the requests that no thread
        // has taken, waits for those being worked out, and frees what was parsed but not
        // defined.
        ~OrderedLoad();

        // Requests `names` after the names handed over before. When this thread reads, it reads
        // them now, and defines the earlier requests as the threads get through them.
        void add(const QStringList& names);
        // Defines the classes of every request not defined yet; nothing may be added afterwards.
        void finish();

    private:
        struct Request;
        struct Batch;

        // Reads (when the threads read) and parses what `request` names; run on any thread.
        void workOut(Request& request);
        // Defines the classes of the oldest batch not defined yet, in request order.
        void defineBatch();

        JavaClassLoader* const loader;
        const Read read;
        const bool readInParallel;
        const Read orderedRead;
        ThreadCrew* const crew;
        // Every batch handed over, in order.
        std::vector<std::unique_ptr<Batch>> batches;
        // The requests handed over so far, and the first of them, in request order, whose
        // working out threw; the load stops there, so nothing after it is worked out any more.
        int requested = 0;
        std::atomic<int> firstFailure{INT_MAX};
        // The batches defined so far.
        size_t defined = 0;
        // What a request that defined nothing logged, by name, for the requests that repeat it.
        QHash<QString, LogLines> replay;
        QSet<QString> seen;

        Q_DISABLE_COPY(OrderedLoad)
    };

private:
    // The lent crew, else the loader's own, made now if need be.
    ThreadCrew* threadCrew();

    // Not owned.
    ThreadCrew* lentCrew = nullptr;
    // Owned; made at the first parallel load without a lent crew.
    ThreadCrew* ownCrew = nullptr;

    // The WARN lines that reject the parsed file of `name`; empty when it is accepted.
    static QStringList rejectionLines(const QString& name, const JavaClassFile* file);
};
