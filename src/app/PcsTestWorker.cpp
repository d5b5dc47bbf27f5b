#include "PcsTestWorker.h"

#include "Logger.h"
#include "Tests.h"

PcsTestWorker::PcsTestWorker(const Classpath& classpath, const QString& tssGold,
                             const Classpath& frameworkClasspath, QObject* parent)
    : Worker(parent), classpath(classpath), tssGold(tssGold), frameworkClasspath(frameworkClasspath)
{
}

PcsTestWorker::~PcsTestWorker()
{
    stop();
}

void PcsTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running PCS test");
    setExitStatus(Tests::pcs(classpath, tssGold, frameworkClasspath));
}
