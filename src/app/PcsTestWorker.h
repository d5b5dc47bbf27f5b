#ifndef PCSTESTWORKER_H
#define PCSTESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

#include <QString>

// The PCS segment test, run on the worker's thread; the inputs are copied at construction.
class PcsTestWorker : public Worker
{
    Q_OBJECT

public:
    PcsTestWorker(const Classpath& classpath, const QString& tssGold,
                  const Classpath& frameworkClasspath, QObject* parent = nullptr);
    ~PcsTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
    // The option text as given; the test run splits it on ':'.
    QString tssGold;
    Classpath frameworkClasspath;
};

#endif
