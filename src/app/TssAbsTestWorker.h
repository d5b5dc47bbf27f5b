#ifndef TSSABSTESTWORKER_H
#define TSSABSTESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

#include <QString>

// The test of a TSS with its type abstraction layer, run on the worker's thread; the inputs are
// copied at construction.
class TssAbsTestWorker : public Worker
{
    Q_OBJECT

public:
    TssAbsTestWorker(const Classpath& classpath, const QString& tssGold,
                     const Classpath& frameworkClasspath, QObject* parent = nullptr);
    ~TssAbsTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
    // The option text as given; the test run splits it on ':'.
    QString tssGold;
    Classpath frameworkClasspath;
};

#endif
