#include "TssTestWorker.h"

#include "Logger.h"
#include "Tests.h"

TssTestWorker::TssTestWorker(const Classpath& classpath, const QString& tssGold,
                             const Classpath& frameworkClasspath, QObject* parent)
    : Worker(parent), classpath(classpath), tssGold(tssGold), frameworkClasspath(frameworkClasspath)
{
}

TssTestWorker::~TssTestWorker()
{
    stop();
}

void TssTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running TSS test");
    setExitStatus(Tests::tss(classpath, tssGold, frameworkClasspath));
}
