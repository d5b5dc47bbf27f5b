#pragma once

#include "JarFileReader.h"
#include "JavaClassLoader.h"

#include <QSet>

// The class loader of one JAR archive. The archive is listed when the loader is made; classes
// are read from it on demand and cached by the base.
class JarFileClassLoader : public JavaClassLoader
{
public:
    // maxKeptBytes bounds what the reader keeps of an archive it cannot read entry by entry.
    explicit JarFileClassLoader(const QString& path,
                                qint64 maxKeptBytes = JarFileReader::defaultMaxKeptBytes);
    // Deletes the reader, then (as a ClassLoader) the cached classes.
    ~JarFileClassLoader() override;

    // Defines every class entry of the archive in archive order, logging as one request after
    // the other would; the entries are parsed (and, in a ZIP archive, read) on all cores.
    void loadAllClasses() override;
    QByteArray readClassData(const QString& name) override;
    // While every class of the archive can be read from its own position: reads a listed class
    // there and declines it when that does not go smoothly; a class not listed is not there.
    // Otherwise none.
    Read concurrentRead() override;

    // Owned.
    JarFileReader* reader;

private:
    // The reader's class names as a set, made at the first concurrentRead.
    QSet<QString> listedNames;
    bool listedNamesMade = false;
    // What the reader last said about reading by position, and whether that still holds: asking
    // costs a look at every entry, and only a read of a listed class can change a yes (a no
    // stays a no).
    bool positioned = false;
    bool positionedKnown = false;
};
