#ifndef TSSABSIFACETESTWORKER_H
#define TSSABSIFACETESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

// The test of a TSS abstraction interface, run on the worker's thread; the inputs are copied at
// construction.
class TssAbsIfaceTestWorker : public Worker
{
    Q_OBJECT

public:
    TssAbsIfaceTestWorker(const Classpath& classpath, const Classpath& frameworkClasspath,
                          QObject* parent = nullptr);
    ~TssAbsIfaceTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
    Classpath frameworkClasspath;
};

#endif
