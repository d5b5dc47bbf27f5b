#include "PssTestWorker.h"

#include "Logger.h"
#include "Tests.h"

PssTestWorker::PssTestWorker(const Classpath& classpath, const QString& tssGold,
                             const Classpath& frameworkClasspath, QObject* parent)
    : Worker(parent), classpath(classpath), tssGold(tssGold), frameworkClasspath(frameworkClasspath)
{
}

PssTestWorker::~PssTestWorker()
{
    stop();
}

void PssTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running PSS test");
    setExitStatus(Tests::pss(classpath, tssGold, frameworkClasspath));
}
