#pragma once

#include "Logger.h"
#include "QStringPrinter.h"

#include <QByteArray>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>

#include <ostream>

// One captured log line: its level and text.
struct LogLine
{
    Logger::Level level;
    QString text;

    bool operator==(const LogLine& other) const
    {
        return level == other.level && text == other.text;
    }
};

void PrintTo(const LogLine& line, std::ostream* os);

// Records every line logged while it lives. Makes sure the process-wide logger exists (its
// log.txt goes to a temporary directory).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QList<LogLine> lines;

    // The texts of the lines at one level, in order.
    QStringList texts(Logger::Level level) const;

private:
    QMetaObject::Connection connection;
};

// A path inside the build's loader fixtures (compiled classes under "classes/", archives packed
// by the jar tool under "archives/").
QString fixture(const QString& relativePath);
// The bytes of a compiled fixture class, such as "la/Base.class".
QByteArray fixtureClass(const QString& relativePath);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// Copies the compiled fixture classes into `target`, leaving out files whose relative path
// starts with one of `excluded`.
void copyFixtureClasses(const QString& target, const QStringList& excluded = {});

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
