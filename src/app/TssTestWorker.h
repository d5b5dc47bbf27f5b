#ifndef TSSTESTWORKER_H
#define TSSTESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

#include <QString>

// The TSS segment test, run on the worker's thread; the inputs are copied at construction.
class TssTestWorker : public Worker
{
    Q_OBJECT

public:
    TssTestWorker(const Classpath& classpath, const QString& tssGold,
                  const Classpath& frameworkClasspath, QObject* parent = nullptr);
    ~TssTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
    // The option text as given; the test run splits it on ':'.
    QString tssGold;
    Classpath frameworkClasspath;
};

#endif
