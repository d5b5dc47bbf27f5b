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

    // A gold file that is not written (see Pretest::createGold) ends the console run with
    // status 1, and so does any other std::exception, which is logged at ERROR with its own text.
    void doWork() override;

private:
    Classpath classpath;
    QString goldFile;
};

#endif
