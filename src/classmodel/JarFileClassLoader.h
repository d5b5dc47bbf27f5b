#pragma once

#include "JarFileReader.h"
#include "JavaClassLoader.h"

// The class loader of one JAR archive. The archive is listed when the loader is made; classes
// are read from it on demand and cached by the base.
class JarFileClassLoader : public JavaClassLoader
{
public:
    // maxKeptBytes bounds what the reader keeps of an archive that it reads as a stream.
    explicit JarFileClassLoader(const QString& path,
                                qint64 maxKeptBytes = JarFileReader::defaultMaxKeptBytes);
    // Deletes the reader, then (as a ClassLoader) the cached classes.
    ~JarFileClassLoader() override;

    // Defines every class entry of the archive in archive order, logging as one request after
    // the other would; the entries are parsed (and, in a ZIP archive, read) on all cores.
    void loadAllClasses() override;
    QByteArray readClassData(const QString& name) override;
    // For a ZIP archive read through its central directory: reads a class as readClassData
    // does. Otherwise none.
    Read concurrentRead() override;

    // Owned.
    JarFileReader* reader;
};
