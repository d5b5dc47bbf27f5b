#include "BuildJavaGoldWorker.h"

#include "Logger.h"
#include "Pretest.h"

#include <exception>

BuildJavaGoldWorker::BuildJavaGoldWorker(const Classpath& classpath, const QString& goldFile,
                                         QObject* parent)
    : Worker(parent), classpath(classpath), goldFile(goldFile)
{
}

BuildJavaGoldWorker::~BuildJavaGoldWorker()
{
    stop();
}

void BuildJavaGoldWorker::doWork()
{
    try {
        if (!Pretest::createGold(classpath, goldFile))
            setExitStatus(1);
    } catch (const std::exception& e) {
        setExitStatus(1);
        emit Logger::logger->log(Logger::L_ERROR, QString::fromLocal8Bit(e.what()));
    }
}
