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
    // stream takes each call whole under its lock, so a class line written with its line end in
    // one call can never have a log line land inside it.
    for (auto it = classes.constBegin(); it != classes.constEnd(); ++it) {
        QByteArray line = it.value()->getName().toString().toLocal8Bit();
        line.append('\n');
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }
}
