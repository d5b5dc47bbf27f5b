#include "TssAbsTestWorker.h"

#include "Logger.h"
#include "Tests.h"

TssAbsTestWorker::TssAbsTestWorker(const Classpath& classpath, const QString& tssGold,
                                   const Classpath& frameworkClasspath, QObject* parent)
    : Worker(parent), classpath(classpath), tssGold(tssGold), frameworkClasspath(frameworkClasspath)
{
}

TssAbsTestWorker::~TssAbsTestWorker()
{
    stop();
}

void TssAbsTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running TSS with Type Abstraction test");
    setExitStatus(Tests::tssabs(classpath, tssGold, frameworkClasspath));
}
