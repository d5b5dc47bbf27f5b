#ifndef OSSTESTWORKER_H
#define OSSTESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

// The OSS segment test, run on the worker's thread; the inputs are copied at construction.
class OssTestWorker : public Worker
{
    Q_OBJECT

public:
    OssTestWorker(const Classpath& classpath, QObject* parent = nullptr);
    ~OssTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
};

#endif
