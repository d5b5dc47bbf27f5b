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
    if (positioned)
        positionedKnown = false;
    // The names are in archive order, so the reader can serve them all from one session.
    const QStringList names = reader->classNames;
    const Read readInOrder = [this](const QString& name) {
        ClassData data;
        data.bytes = reader->readClass(name, &data.lines);
        return data;
    };
    if (parsesInParallel(names.size()) && reader->readsByPosition()) {
        // Every entry can be read on its own: the threads read and parse them, and leave what
        // does not read smoothly to the reader's usual way, in its turn.
        const JarFileReader* positions = reader;
        loadInOrder(
            names,
            [positions](const QString& name) {
                ClassData data;
                data.declined = !positions->readByPosition(name, &data.bytes);
                return data;
            },
            true, readInOrder);
        return;
    }
    reader->beginSequentialReads();
    if (parsesInParallel(names.size())) {
        // One session reads in archive order; the files are parsed on the other threads.
        loadInOrder(names, readInOrder, false);
    } else {
        for (const QString& name : names)
            loadClass(name);
    }
    reader->endSequentialReads();
}

QByteArray JarFileClassLoader::readClassData(const QString& name)
{
    // Reading a listed class may find it away from its position, which ends the reader's trust
    // in positions for good.
    if (positioned && listedNames.contains(name))
        positionedKnown = false;
    return reader->readClass(name);
}

JavaClassLoader::Read JarFileClassLoader::concurrentRead()
{
    if (!positionedKnown) {
        positioned = reader->readsByPosition();
        positionedKnown = true;
    }
    if (!positioned)
        return Read();
    if (!listedNamesMade) {
        listedNames = QSet<QString>(reader->classNames.cbegin(), reader->classNames.cend());
        listedNamesMade = true;
    }
    const JarFileReader* positions = reader;
    const QSet<QString>* listed = &listedNames;
    return [positions, listed](const QString& name) {
        ClassData data;
        // The listing met every entry: what it did not list, readClass does not find either,
        // and says nothing about.
        if (listed->contains(name))
            data.declined = !positions->readByPosition(name, &data.bytes);
        return data;
    };
}
