#include "FileSystemClassLoader.h"

#include "JarFileClassLoader.h"
#include "Logger.h"
#include "TypeDescriptor.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <qplatformdefs.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

const QDir::Filters walkFilter = QDir::Dirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot;

// Reads up to `size` bytes into `data`, as many calls as it takes; the bytes read, or -1 when
// the first call fails.
qint64 readFully(int fd, char* data, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const ssize_t got = QT_READ(fd, data + total, size_t(size - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return total > 0 ? total : -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

// The entries of the directory at `path` that the walk takes, in name order ignoring case, as a
// QDir sorts by default: by the names turned to lower case, compared code unit by code unit.
// Names that differ only in case follow each other in code-unit order. The information on each
// entry comes with the listing, so a plain file costs no query of its own. With `unlisted` set,
// a directory that cannot be listed is said at WARN: its classes would otherwise be lost unsaid.
QFileInfoList listInOrder(const QString& path, bool unlisted)
{
    struct Entry
    {
        QString key;
        QFileInfo info;
    };
    std::vector<Entry> entries;
    QDirIterator it(path, walkFilter);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries.push_back({info.fileName().toLower(), info});
    }
    if (entries.empty() && unlisted) {
        // The iterator ends at once both for an empty directory and for one it cannot open.
        QT_DIR* const listing = QT_OPENDIR(QFile::encodeName(path).constData());
        if (listing) {
            QT_CLOSEDIR(listing);
        } else {
            const QString reason = qt_error_string(errno);
            emit Logger::logger->log(
                Logger::L_WARN,
                QString("Could not read directory %1 because it cannot be listed: %2")
                    .arg(path, reason));
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int byKey = a.key.compare(b.key);
        return byKey != 0 ? byKey < 0 : a.info.fileName() < b.info.fileName();
    });
    QFileInfoList list;
    list.reserve(int(entries.size()));
    for (const Entry& entry : entries)
        list.append(entry.info);
    return list;
}

} // namespace

FileSystemClassLoader::FileSystemClassLoader(const QDir& directory) : directory(directory)
{
    createJarFileReaders();
}

FileSystemClassLoader::~FileSystemClassLoader() = default;

void FileSystemClassLoader::loadAllClasses()
{
    if (!parsesInParallel(classFileCount)) {
        walk([this](const QString& relativePath, const QFileInfo& file) {
            loadAllClasses(relativePath, file);
        });
        return;
    }
    // The threads read and parse the files that the walk has named while it goes on; the
    // classes are defined in walk order once it is done.
    const QString path = directory.path();
    OrderedLoad load(
        this, [path](const QString& name) { return readClassFile(path, name); }, true);
    // The names met and not handed over yet, in walk order.
    QStringList names;
    walk([&load, &names](const QString& relativePath, const QFileInfo& file) {
        if (file.completeSuffix() != QLatin1String("class"))
            return;
        names.append(TypeDescriptor::fromClassFileName(relativePath).descriptor);
        // Small pieces, so that the threads start early; not so small that handing them over
        // costs more than it saves.
        if (names.size() >= 64) {
            load.add(names);
            names.clear();
        }
    });
    load.add(names);
    load.finish();
}

void FileSystemClassLoader::createJarFileReaders()
{
    // Only this walk, which every loader makes once, says which directories cannot be listed.
    walk([this](const QString& relativePath,
                const QFileInfo& file) { createJarFileReaders(relativePath, file); },
         true);
}

void FileSystemClassLoader::walk(const FileAction& atFile, bool sayUnlisted) const
{
    // An explicit stack instead of recursion: the depth of a tree is not ours to choose.
    struct Level
    {
        QString relativePath; // empty for the top level
        // The directory's canonical path; empty when it could not be had.
        QString canonicalPath;
        QFileInfoList entries;
        int next;
    };

    QSet<QString> visited;
    const QString top = QFileInfo(directory.path()).canonicalFilePath();
    if (!top.isEmpty())
        visited.insert(top);

    std::vector<Level> stack;
    stack.push_back({QString(), top, listInOrder(directory.path(), sayUnlisted), 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next >= level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const QFileInfo info = level.entries.at(level.next++);
        const QString name = info.fileName();
        const QString relativePath =
            stack.size() == 1 ? name : level.relativePath + QLatin1Char('/') + name;
        if (info.isDir()) {
            // A directory that is no link lies, by that name, in the canonical path of the one
            // listing it; only links need the file system resolve them. Links are what can
            // form a cycle, so the visited set still sees every directory by its one true path.
            QString canonical;
            if (!info.isSymLink() && !level.canonicalPath.isEmpty()) {
                canonical = level.canonicalPath;
                if (!canonical.endsWith(QLatin1Char('/')))
                    canonical += QLatin1Char('/');
                canonical += name;
            } else {
                canonical = info.canonicalFilePath();
            }
            if (canonical.isEmpty() || visited.contains(canonical))
                continue;
            visited.insert(canonical);
            // `level` is not used past this point: pushing may move it.
            stack.push_back(
                {relativePath, canonical, listInOrder(info.filePath(), sayUnlisted), 0});
        } else {
            atFile(relativePath, info);
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
    const QString path = directoryPath + QLatin1Char('/') +
                         QString(type.className).replace(QLatin1Char('.'), QLatin1Char('/')) +
                         QLatin1String(".class");
    // Reads the open file of `size` bytes into the result, or says why not, and closes it.
    const auto readOpenFile = [&](int fd, qint64 size) {
        if (size > maxClassFileSize) {
            QT_CLOSE(fd);
            // One pass over the placeholders, so a '%' in the name is not taken for one.
            debug(QString("Could not read class %1 because the file is larger than %2 bytes")
                      .arg(name, QString::number(maxClassFileSize)));
            return result;
        }
        // Read straight into the result, in as few calls as the system allows.
        QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
        const qint64 got = readFully(fd, bytes.data(), size);
        QT_CLOSE(fd);
        if (got != size) {
            // The file shrank since its size was taken, or reading failed: half a buffer is no
            // class file.
            debug(QString("Could not read class %1 because only %2 of %3 bytes could be read")
                      .arg(name, QString::number(qMax<qint64>(got, 0)), QString::number(size)));
            return result;
        }
        result.bytes = bytes;
        return result;
    };
    // The usual case, a regular file that opens, costs a status query, an open, the reads and a
    // close. Nothing but a regular file is opened (a device might answer an open), and whatever
    // fails here goes the long way below, whose queries name what is wrong.
    const QByteArray nativePath = QFile::encodeName(path);
    QT_STATBUF status;
    if (QT_STAT(nativePath.constData(), &status) == 0 && S_ISREG(status.st_mode)) {
        const int fd = QT_OPEN(nativePath.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            return readOpenFile(fd, status.st_size);
    }
    const QFileInfo info(path);
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
    // A class file that is there but cannot be read is a class lost: that is said at WARN,
    // naming the file and the system's reason.
    const int fd = QT_OPEN(nativePath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const QString reason = qt_error_string(errno);
        result.lines.append(qMakePair(
            Logger::L_WARN, QString("Could not read class file %1 because it cannot be opened: %2")
                                .arg(path, reason)));
        return result;
    }
    return readOpenFile(fd, info.size());
}
