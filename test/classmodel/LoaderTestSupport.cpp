#include "LoaderTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <sys/resource.h>

void PrintTo(const LogLine& line, std::ostream* os)
{
    *os << "level " << int(line.level) << ' ';
    PrintTo(line.text, os);
}

LogCapture::LogCapture()
{
    if (!Logger::logger) {
        static QTemporaryDir logDir;
        Logger::init(logDir.path());
    }
    connection = QObject::connect(Logger::logger, &Logger::log,
                                  [this](Logger::Level level, const QString& text) {
                                      lines.append({level, text});
                                  });
}

LogCapture::~LogCapture()
{
    QObject::disconnect(connection);
}

QStringList LogCapture::texts(Logger::Level level) const
{
    QStringList result;
    for (const LogLine& line : lines) {
        if (line.level == level)
            result.append(line.text);
    }
    return result;
}

QString fixture(const QString& relativePath)
{
    return QStringLiteral(VELM_LOADER_FIXTURES "/") + relativePath;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QByteArray fixtureClass(const QString& relativePath)
{
    return readFile(fixture(QStringLiteral("classes/") + relativePath));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void copyFixtureClasses(const QString& target, const QStringList& excluded)
{
    const QDir classes(fixture(QStringLiteral("classes")));
    QDirIterator it(classes.path(), {QStringLiteral("*.class")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = classes.relativeFilePath(it.next());
        bool skip = false;
        for (const QString& prefix : excluded)
            skip = skip || relative.startsWith(prefix);
        if (!skip)
            writeFile(target + QLatin1Char('/') + relative, readFile(it.filePath()));
    }
}

void writeArchive(const QString& path, const QList<ArchiveEntry>& entries, ArchiveFormat format)
{
    archive* a = archive_write_new();
    if (format == ArchiveFormat::Tar || format == ArchiveFormat::TarGzip) {
        ASSERT_EQ(archive_write_set_format_gnutar(a), ARCHIVE_OK);
        if (format == ArchiveFormat::TarGzip) {
            ASSERT_EQ(archive_write_add_filter_gzip(a), ARCHIVE_OK);
        }
    } else {
        ASSERT_EQ(archive_write_set_format_zip(a), ARCHIVE_OK);
        const char* method = format == ArchiveFormat::ZipStored ? "store" : "deflate";
        ASSERT_EQ(archive_write_set_format_option(a, "zip", "compression", method), ARCHIVE_OK);
    }
    ASSERT_EQ(archive_write_open_filename(a, QFile::encodeName(path).constData()), ARCHIVE_OK);
    for (const ArchiveEntry& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.toUtf8().constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, e.data.size());
        EXPECT_EQ(archive_write_header(a, entry), ARCHIVE_OK) << archive_error_string(a);
        if (!e.data.isEmpty()) {
            EXPECT_EQ(archive_write_data(a, e.data.constData(), size_t(e.data.size())),
                      e.data.size());
        }
        archive_entry_free(entry);
    }
    EXPECT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
}

FileLimit::FileLimit(unsigned long limit)
{
    rlimit current;
    EXPECT_EQ(getrlimit(RLIMIT_NOFILE, &current), 0);
    saved = current.rlim_cur;
    current.rlim_cur = qMin<rlim_t>(current.rlim_cur, limit);
    EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &current), 0);
}

FileLimit::~FileLimit()
{
    rlimit current;
    getrlimit(RLIMIT_NOFILE, &current);
    current.rlim_cur = saved;
    setrlimit(RLIMIT_NOFILE, &current);
}

int openFileCount()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
        .size();
}
