#ifndef PSSTESTWORKER_H
#define PSSTESTWORKER_H

#include "Classpath.h"
#include "Worker.h"

#include <QString>

// The PSS segment test, run on the worker's thread; the inputs are copied at construction.
class PssTestWorker : public Worker
{
    Q_OBJECT

public:
    PssTestWorker(const Classpath& classpath, const QString& tssGold,
                  const Classpath& frameworkClasspath, QObject* parent = nullptr);
    ~PssTestWorker() override;

    void doWork() override;

private:
    Classpath classpath;
    // The option text as given; the test run splits it on ':'.
    QString tssGold;
    Classpath frameworkClasspath;
};

#endif
