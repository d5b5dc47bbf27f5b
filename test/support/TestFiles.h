#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// The bytes of a file; an empty array, and a test failure, when it cannot be read.
QByteArray readBytes(const QString& path);
// The whole text of a file, or a null string when it cannot be read.
QString readText(const QString& path);
// Writes `bytes` to `path`, making the directories on the way.
void writeFile(const QString& path, const QByteArray& bytes);
// Copies the directory tree `from` into `to` (created as needed).
void copyTree(const QString& from, const QString& to);
// Overwrites the major version of a class file in place.
void setMajorVersion(const QString& classFile, quint16 version);

struct ArchiveEntry
{
    QString path;
    QByteArray data;
};

enum class ArchiveFormat { ZipStored, ZipDeflated, Tar, TarGzip };

// Writes an archive with exactly these entries, duplicates and empty ones included.
void writeArchive(const QString& path, const QList<ArchiveEntry>& entries, ArchiveFormat format);

// Lowers the soft limit of open files while it lives.
class FileLimit
{
public:
    explicit FileLimit(unsigned long limit);
    ~FileLimit();

private:
    unsigned long saved;
};

// The number of file descriptors the process holds.
int openFileCount();
