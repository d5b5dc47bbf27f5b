#include "IosTestWorker.h"

#include "Logger.h"
#include "Tests.h"

IosTestWorker::IosTestWorker(const Classpath& classpath, const Classpath& frameworkClasspath,
                             QObject* parent)
    : Worker(parent), classpath(classpath), frameworkClasspath(frameworkClasspath)
{
}

IosTestWorker::~IosTestWorker()
{
    stop();
}

void IosTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running IOS test");
    setExitStatus(Tests::ios(classpath, frameworkClasspath));
}
