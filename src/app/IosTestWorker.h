#ifndef IOSTESTWORKER_H
#define IOSTESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

// The IOS segment test, run on the worker's thread; the inputs are copied at construction.
class IosTestWorker : public Worker
{
    Q_OBJECT

public:
    IosTestWorker(const Classpath& classpath, const Classpath& frameworkClasspath,
                  QObject* parent = nullptr);
    ~IosTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
    Classpath frameworkClasspath;
};

#endif
