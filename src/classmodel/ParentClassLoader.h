#pragma once

#include "ClassLoader.h"
#include "JavaClassLoader.h"

#include <QHash>
#include <QList>

class ThreadCrew;

// The loader of a whole classpath: consults one child loader per source, in classpath order.
//
// The parent owns every child of both lists. Classes it defines come from the first child that
// has them and are cached and owned by the parent itself; the children's own caches are neither
// consulted nor filled, so a class obtained here is a different object from the one a child
// holds after its own loadAllClasses().
class ParentClassLoader : public ClassLoader
{
public:
    ParentClassLoader() = default;
    // Deletes every class-file view, the consulted children's and its own, in one pass, then the
    // children of `loaders`, then those of `idleLoaders`, then (as a ClassLoader) the parent's
    // other cached classes.
    ~ParentClassLoader() override;

    // Runs loadAllClasses() of every consulted child, in order; the parent's cache is not filled.
    void loadAllClasses() override;
    // Every consulted child's classes, merged: a name that several children hold occurs once per
    // child, the later child's entry first, so value() of that name gives the later child's
    // class. The parent's own cache is not part of it.
    QMap<QString, Class*> getAllClasses() const override;
    // The first non-null defineClass() result of the consulted children, in order.
    Class* defineClass(const QString& name) override;
    // Reads and parses the named classes that are not cached yet on the other cores, as far as
    // the children can be asked from several threads, while this thread goes on. The results of
    // the previous call are waited for and kept, each with the lines that finding it logs, until
    // its first lookup, which then logs them and goes on from there; what the call before that
    // kept and no lookup took is dropped, so at most two windows of names are held. On one
    // core nothing is done.
    void prefetchClasses(const QStringList& names) override;

    // The consulted children, in classpath order.
    QList<ClassLoader*> loaders;
    // Children kept only to be deleted (directory loaders that found no class file); never
    // consulted.
    QList<ClassLoader*> idleLoaders;

private:
    // One name worked out ahead: the lines that looking it up logs so far, the class found (owned
    // until it is handed out), and the child to go on with, -1 when all of them have answered.
    struct Prefetched
    {
        JavaClassLoader::LogLines lines;
        Class* cls = nullptr;
        int resumeAt = -1;
    };

    // Names being worked out on the threads.
    struct Batch;

    // defineClass of the children from `first` on.
    Class* defineFrom(const QString& name, int first);
    void dropPrefetched();
    // Waits for the running batch, if any, working out what no thread has taken, and keeps its
    // results for the lookups.
    void finishBatch();

    QHash<QString, Prefetched> prefetched;
    // Owned; null when no batch runs.
    Batch* running = nullptr;
    // Made at the first batch or parallel load; owned, and lent to the class-file children, so
    // that its threads are started once for the loader's whole life.
    ThreadCrew* crew = nullptr;
};
