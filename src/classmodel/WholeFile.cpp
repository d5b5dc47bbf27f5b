#include "WholeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace {

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* next = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

} // namespace

WholeFile::Outcome WholeFile::write(const QString& path, const std::function<bool(int fd)>& writeTo)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return NotOpened;
        return writeTo(device.handle()) ? Written : NotWritten;
    }

    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return NotOpened;
    // The temporary file goes if it is not renamed.
    if (!writeTo(file.handle()))
        return NotWritten;
    return file.commit() ? Written : NotWritten;
}

WholeFile::Outcome WholeFile::write(const QString& path, const QByteArray& bytes)
{
    return write(path, [&bytes](int fd) { return writeAll(fd, bytes); });
}
