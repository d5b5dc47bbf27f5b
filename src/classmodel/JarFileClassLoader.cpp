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
    // The names are in archive order, so the reader can serve them all from one session.
    const QStringList names = reader->classNames;
    reader->beginSequentialReads();
    for (const QString& name : names)
        loadClass(name);
    reader->endSequentialReads();
}

QByteArray JarFileClassLoader::readClassData(const QString& name)
{
    return reader->readClass(name);
}
