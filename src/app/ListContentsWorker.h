#ifndef LISTCONTENTSWORKER_H
#define LISTCONTENTSWORKER_H

#include "Worker.h"

class Classpath;

// Prints the classes of a classpath on standard output, one per line in ascending order of their
// class keys, on the worker's thread.
class ListContentsWorker : public Worker
{
    Q_OBJECT

public:
    // The classpath is not copied: the caller keeps it alive, unchanged, until the worker is gone.
    explicit ListContentsWorker(const Classpath& classpath, QObject* parent = nullptr);
    ~ListContentsWorker() override;

    void doWork() override;

private:
    const Classpath& classpath;
};

#endif
