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
        Pretest::createGold(classpath, goldFile);
    } catch (const std::exception& e) {
        emit Logger::logger->log(Logger::L_ERROR, QString::fromLocal8Bit(e.what()));
    }
}
