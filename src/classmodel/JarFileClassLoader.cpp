#include "JarFileClassLoader.h"

#include "JarFileReader.h"

JarFileClassLoader::JarFileClassLoader(const QString& path, qint64 maxKeptBytes)
    : reader(new JarFileReader(path, maxKeptBytes))
{
}

JarFileClassLoader::~JarFileClassLoader()
{
    delete reader;
}

void JarFileClassLoader::loadAllClasses()
{
    const QStringList names = reader->classNames;
    if (!parsesInParallel(names.size())) {
        for (const QString& name : names)
            loadClass(name);
        return;
    }
    // Through the central directory the threads read the entries too; a streamed archive is
    // read by this thread, in archive order, which the reader serves from one walk.
    JarFileReader* const source = reader;
    loadInOrder(
        names,
        [source](const QString& name) {
            ClassData data;
            data.bytes = source->readClass(name, &data.lines);
            return data;
        },
        reader->readsConcurrently());
}

QByteArray JarFileClassLoader::readClassData(const QString& name)
{
    return reader->readClass(name);
}

JavaClassLoader::Read JarFileClassLoader::concurrentRead()
{
    if (!reader->readsConcurrently())
        return Read();
    JarFileReader* const source = reader;
    return [source](const QString& name) {
        ClassData data;
        data.bytes = source->readClass(name, &data.lines);
        return data;
    };
}
