#ifndef BUILDJAVAGOLDWORKER_H
#define BUILDJAVAGOLDWORKER_H

#include "Classpath.h"
#include "Worker.h"

#include <QString>

// Builds a gold file from every class of a classpath, on the worker's thread.
class BuildJavaGoldWorker : public Worker
{
    Q_OBJECT

public:
    BuildJavaGoldWorker(const Classpath& classpath, const QString& goldFile,
                        QObject* parent = nullptr);
    ~BuildJavaGoldWorker() override;

    // A gold file that cannot be written is logged once more at ERROR with the failure's own
    // text, and the job ends normally.
    void doWork() override;

private:
    Classpath classpath;
    QString goldFile;
};

#endif
