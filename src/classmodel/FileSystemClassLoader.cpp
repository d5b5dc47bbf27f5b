#include "FileSystemClassLoader.h"

#include "JarFileClassLoader.h"
#include "Logger.h"
#include "TypeDescriptor.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <memory>
#include <vector>

namespace {

const QDir::Filters walkFilter = QDir::Dirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot;

} // namespace

FileSystemClassLoader::FileSystemClassLoader(const QDir& directory) : directory(directory)
{
    createJarFileReaders();
}

FileSystemClassLoader::~FileSystemClassLoader() = default;

void FileSystemClassLoader::loadAllClasses()
{
    if (!parsesInParallel(classFileCount)) {
        walk(&FileSystemClassLoader::loadAllClasses);
        return;
    }
    // The walk names the classes first; the threads then read and parse the files, and the
    // classes are defined in walk order.
    walk(&FileSystemClassLoader::collectClassName);
    QStringList names;
    names.swap(walkedNames);
    const QString path = directory.path();
    loadInOrder(
        names, [path](const QString& name) { return readClassFile(path, name); }, true);
}

void FileSystemClassLoader::collectClassName(const QString& relativePath, const QFileInfo& file)
{
    if (file.completeSuffix() == QLatin1String("class"))
        walkedNames.append(TypeDescriptor::fromClassFileName(relativePath).descriptor);
}

void FileSystemClassLoader::createJarFileReaders()
{
    walk(&FileSystemClassLoader::createJarFileReaders);
}

void FileSystemClassLoader::walk(FileAction atFile)
{
    // An explicit stack instead of recursion: the depth of a tree is not ours to choose.
    struct Level
    {
        QString relativePath; // empty for the top level
        // Lists the entries in the order the file system returns them; the information it
        // gives comes with the listing, so a plain file costs no query of its own.
        std::unique_ptr<QDirIterator> entries;
    };

    QSet<QString> visited;
    const QString top = QFileInfo(directory.path()).canonicalFilePath();
    if (!top.isEmpty())
        visited.insert(top);

    std::vector<Level> stack;
    stack.push_back({QString(), std::make_unique<QDirIterator>(directory.path(), walkFilter)});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (!level.entries->hasNext()) {
            stack.pop_back();
            continue;
        }
        level.entries->next();
        const QFileInfo info = level.entries->fileInfo();
        const QString name = info.fileName();
        const QString relativePath =
            stack.size() == 1 ? name : level.relativePath + QLatin1Char('/') + name;
        if (info.isDir()) {
            const QString canonical = info.canonicalFilePath();
            if (canonical.isEmpty() || visited.contains(canonical))
                continue;
            visited.insert(canonical);
            // `level` is not used past this point: pushing may move it.
            stack.push_back(
                {relativePath, std::make_unique<QDirIterator>(info.filePath(), walkFilter)});
        } else {
            (this->*atFile)(relativePath, info);
        }
    }
}

void FileSystemClassLoader::createJarFileReaders(const QString&, const QFileInfo& file)
{
    const QString suffix = file.suffix();
    if (suffix == QLatin1String("class"))
        ++classFileCount;
    else if (suffix == QLatin1String("jar"))
        jarLoaders.append(new JarFileClassLoader(file.filePath()));
}

void FileSystemClassLoader::loadAllClasses(const QString& relativePath, const QFileInfo& file)
{
    if (file.completeSuffix() == QLatin1String("class"))
        loadClass(TypeDescriptor::fromClassFileName(relativePath).descriptor);
}

QByteArray FileSystemClassLoader::readClassData(const QString& name)
{
    const ClassData data = readClassFile(directory.path(), name);
    for (const auto& line : data.lines)
        emit Logger::logger->log(line.first, line.second);
    return data.bytes;
}

JavaClassLoader::Read FileSystemClassLoader::concurrentRead()
{
    const QString path = directory.path();
    return [path](const QString& name) { return readClassFile(path, name); };
}

JavaClassLoader::ClassData FileSystemClassLoader::readClassFile(const QString& directoryPath,
                                                                const QString& name)
{
    ClassData result;
    const auto debug = [&result](const QString& text) {
        result.lines.append(qMakePair(Logger::L_DEBUG, text));
    };
    const TypeDescriptor type(name);
    if (type.kind != 'L') {
        debug(QString("Could not read class %1 because descriptor name is not valid").arg(name));
        return result;
    }
    // Every '.' of the dotted name becomes a '/', so no path component of the result can be
    // "..": the path stays inside the directory.
    const QFileInfo info(directoryPath + QLatin1Char('/') +
                         QString(type.className).replace(QLatin1Char('.'), QLatin1Char('/')) +
                         QLatin1String(".class"));
    if (!info.exists()) {
        debug(QString("Could not read class %1 because the class file %2 does not exist")
                  .arg(name, info.absoluteFilePath()));
        return result;
    }
    if (!info.isFile()) {
        debug(QString("Could not read class %1 because the file system object referenced is not "
                      "a file")
                  .arg(name));
        return result;
    }
    if (!info.isReadable()) {
        debug(QString("Could not read class %1 because the file is not readable").arg(name));
        return result;
    }
    QFile file(info.filePath());
    // Read in one call straight into the result; a buffer of the device's own would only copy.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        debug(QString("Could not read class %1 because the file could not be opened").arg(name));
        return result;
    }
    const qint64 size = info.size();
    if (size > maxClassFileSize) {
        // One pass over the placeholders, so a '%' in the name is not taken for one.
        debug(QString("Could not read class %1 because the file is larger than %2 bytes")
                  .arg(name, QString::number(maxClassFileSize)));
        return result;
    }
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    const qint64 got = size > 0 ? file.read(bytes.data(), size) : 0;
    if (got != size) {
        // The file shrank since its size was taken, or reading failed: half a buffer is no
        // class file.
        debug(QString("Could not read class %1 because only %2 of %3 bytes could be read")
                  .arg(name, QString::number(qMax<qint64>(got, 0)), QString::number(size)));
        return result;
    }
    result.bytes = bytes;
    return result;
}
