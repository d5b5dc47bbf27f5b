#include "ListContentsWorker.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"

#include <QMap>

#include <cstdio>
#include <memory>

ListContentsWorker::ListContentsWorker(const Classpath& classpath, QObject* parent)
    : Worker(parent), classpath(classpath)
{
}

ListContentsWorker::~ListContentsWorker()
{
    stop();
}

void ListContentsWorker::doWork()
{
    // The loader goes, with every class it made, however the listing ends.
    std::unique_ptr<ClassLoader> loader(ClassLoader::create(classpath));
    loader->loadAllClasses();
    const QMap<QString, Class*> classes = loader->getAllClasses();
    // The main thread writes console log lines to the same standard output meanwhile. The C
    // stream takes each call whole under its lock, so lines gathered whole and written in one
    // call can never have a log line land inside one of them. The batches stay small so that
    // the listing reaches the console as it goes.
    const int batchBytes = 16 * 1024;
    QByteArray batch;
    batch.reserve(batchBytes + 1024);
    const auto write = [&batch] {
        std::fwrite(batch.constData(), 1, size_t(batch.size()), stdout);
        std::fflush(stdout);
        batch.resize(0); // keeps the reserved room
    };
    for (auto it = classes.constBegin(); it != classes.constEnd(); ++it) {
        batch += it.value()->getName().toString().toLocal8Bit();
        batch += '\n';
        if (batch.size() >= batchBytes)
            write();
    }
    if (!batch.isEmpty())
        write();
}
