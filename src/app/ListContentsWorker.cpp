#include "ListContentsWorker.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"

#include <QMap>

#include <iostream>
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
    for (auto it = classes.constBegin(); it != classes.constEnd(); ++it) {
        const QByteArray line = it.value()->getName().toString().toLocal8Bit();
        std::cout.write(line.constData(), line.size());
        std::cout << '\n' << std::flush;
    }
}
