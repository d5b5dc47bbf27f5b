#include "TssAbsIfaceTestWorker.h"

#include "Logger.h"
#include "Tests.h"

TssAbsIfaceTestWorker::TssAbsIfaceTestWorker(const Classpath& classpath,
                                             const Classpath& frameworkClasspath, QObject* parent)
    : Worker(parent), classpath(classpath), frameworkClasspath(frameworkClasspath)
{
}

TssAbsIfaceTestWorker::~TssAbsIfaceTestWorker()
{
    stop();
}

void TssAbsIfaceTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running TSS Abstraction Interface test");
    setExitStatus(Tests::tssabsiface(classpath, frameworkClasspath));
}
