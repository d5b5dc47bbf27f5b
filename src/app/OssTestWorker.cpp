#include "OssTestWorker.h"

#include "Logger.h"
#include "Tests.h"

OssTestWorker::OssTestWorker(const Classpath& classpath, QObject* parent)
    : Worker(parent), classpath(classpath)
{
}

OssTestWorker::~OssTestWorker()
{
    stop();
}

void OssTestWorker::doWork()
{
    emit Logger::logger->log(Logger::L_INFO, "Running OSS test");
    setExitStatus(Tests::oss(classpath));
}
