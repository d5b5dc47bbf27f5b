#include "JarFileReader.h"
#include "Class.h"
#include "JarFileClassLoader.h"
#include "JavaClassLoader.h"
#include "LoaderTestSupport.h"
#include "ParentClassLoader.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <clocale>
#include <string>

namespace {

const QString errorOpenLine = QStringLiteral("beginSession() archive_read_open failed %1");

class JarFileReaderTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    LogCapture log;

    QString path(const QString& name) const { return dir.filePath(name); }

    // A deflated archive `name` of la/Base.class that claims `extra` bytes more than the entry
    // inflates to, wherever the archive states its size: the local header (offset 22), the
    // data descriptor (12) and the central directory (24).
    void writeArchiveClaimingMore(const QString& name, const QByteArray& base, int extra)
    {
        writeArchive(path(name), {{"la/Base.class", base}}, ArchiveFormat::ZipDeflated);
        QByteArray zip = readFile(path(name));
        const auto claim = [&](int at) {
            const quint32 size = quint32(base.size() + extra);
            for (int i = 0; i < 4; ++i)
                zip[at + i] = char(size >> (8 * i));
        };
        claim(22);
        const int descriptor = zip.indexOf(QByteArray("PK\x07\x08", 4));
        if (descriptor > 0)
            claim(descriptor + 12);
        claim(zip.indexOf(QByteArray("PK\x01\x02", 4)) + 24);
        writeFile(path(name), zip);
    }
};

// The offset of a ZIP archive's central directory, from its end-of-central-directory record.
qint64 centralDirectoryOffset(const QByteArray& zip)
{
    const int eocd = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (eocd < 0 || eocd + 20 > zip.size())
        return -1;
    const auto byte = [&](int i) { return quint32(quint8(zip.at(eocd + 16 + i))); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Appends the low `size` bytes of `value`, little-endian.
void put(QByteArray* out, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        out->append(char(value >> (8 * i)));
}

quint32 crc32Of(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// A ZIP archive written record by record, its entries stored: the local headers with their
// data, then the central directory in the same order, then its end record.
struct HandMadeZip
{
    QByteArray locals;
    QByteArray directory;
    int count = 0;

    void add(const QByteArray& name, const QByteArray& data)
    {
        const int offset = locals.size();
        put(&locals, 0x04034b50, 4);
        put(&directory, 0x02014b50, 4);
        put(&directory, 20, 2);
        for (QByteArray* out : {&locals, &directory}) {
            // Version 2.0, no flags, stored, no date; CRC, sizes; name, no extra field.
            put(out, 20, 2);
            put(out, 0, 8);
            put(out, crc32Of(data), 4);
            put(out, quint64(data.size()), 4);
            put(out, quint64(data.size()), 4);
            put(out, quint64(name.size()), 2);
            put(out, 0, 2);
        }
        // No comment, disk 0, no attributes, then where the local header is.
        put(&directory, 0, 6);
        put(&directory, 0, 4);
        put(&directory, quint64(offset), 4);
        directory += name;
        locals += name + data;
        ++count;
    }

    // The whole archive; its end record states `stated` entries (by default the count, cut to
    // 16 bits as a writer without ZIP64 records does) and carries `comment`.
    QByteArray bytes(int stated = -1, const QByteArray& comment = QByteArray()) const
    {
        QByteArray end;
        put(&end, 0x06054b50, 4);
        put(&end, 0, 4);
        put(&end, quint64(stated < 0 ? count : stated), 2);
        put(&end, quint64(stated < 0 ? count : stated), 2);
        put(&end, quint64(directory.size()), 4);
        put(&end, quint64(locals.size()), 4);
        put(&end, quint64(comment.size()), 2);
        return locals + directory + end + comment;
    }
};

} // namespace

TEST_F(JarFileReaderTest, ListsClassEntriesInArchiveOrderAndReadsTheirBytes)
{
    const QByteArray a = fixtureClass("la/Base.class");
    const QByteArray b = fixtureClass("lb/Other.class");
    writeArchive(path("p.jar"),
                 {{"p/A.class", a},
                  {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n"},
                  {"p/B.class", b},
                  {"p/Foo.CLASS", a},
                  {"module-info.class", b}},
                 ArchiveFormat::ZipDeflated);

    JarFileReader reader(path("p.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lp/A;", "Lp/B;", "Lmodule-info;"}));
    EXPECT_EQ(reader.readClass("Lp/B;"), b);
    EXPECT_EQ(reader.readClass("Lp/A;"), a);
    EXPECT_EQ(reader.readClass("Lmodule-info;"), b);
    EXPECT_TRUE(reader.readClass("Lp/Foo;").isEmpty());
    EXPECT_TRUE(reader.readClass("Lp/Missing;").isEmpty());
    EXPECT_TRUE(reader.readClass("p/A").isEmpty());
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, ReadsArchivesMadeByTheJarTool)
{
    JarFileReader reader(fixture("archives/all.jar"));
    QStringList sorted = reader.classNames;
    sorted.sort();
    EXPECT_EQ(sorted, QStringList({"LTop;", "Lla/Base;", "Lla/Hidden;", "Lla/Outer$Inner;",
                                   "Lla/Outer;", "Lla/Peer;", "Llb/Orphan;", "Llb/Other;",
                                   "Llb/Sub;", "Llb/SubSub;", "Llc/Gone;"}));
    EXPECT_EQ(reader.readClass("Lla/Outer$Inner;"), fixtureClass("la/Outer$Inner.class"));
    EXPECT_EQ(reader.readClass("LTop;"), fixtureClass("Top.class"));
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, KeepsAPrefixDirectoryInsideTheDescriptor)
{
    JarFileReader reader(fixture("archives/prefixed.jar"));
    EXPECT_TRUE(reader.classNames.contains("LWEB-INF/classes/la/Base;"));
    EXPECT_FALSE(reader.classNames.contains("Lla/Base;"));
    EXPECT_EQ(reader.readClass("LWEB-INF/classes/la/Base;"), fixtureClass("la/Base.class"));
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
}

TEST_F(JarFileReaderTest, ReadsATarArchiveNamedJar)
{
    JarFileReader reader(fixture("archives/tar.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lla/Base;"}));
    EXPECT_EQ(reader.readClass("Lla/Base;"), fixtureClass("la/Base.class"));
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, DuplicateEntriesAreListedTwiceAndOneOfThemIsReadEveryTime)
{
    const QByteArray first = fixtureClass("la/Base.class");
    const QByteArray second = fixtureClass("la/Peer.class");
    // A ZIP archive gives the copy that its directory lists last; a walk gives the first.
    for (const ArchiveFormat format : {ArchiveFormat::ZipStored, ArchiveFormat::Tar}) {
        writeArchive(path("dup.jar"), {{"p/A.class", first}, {"p/A.class", second}}, format);
        JarFileReader reader(path("dup.jar"));
        const QByteArray read = format == ArchiveFormat::Tar ? first : second;
        EXPECT_EQ(reader.classNames, QStringList({"Lp/A;", "Lp/A;"}));
        EXPECT_EQ(reader.readClass("Lp/A;"), read);
        EXPECT_EQ(reader.readClass("Lp/A;"), read);
        EXPECT_EQ(reader.readClass("Lp/A;"), read);
    }
}

TEST_F(JarFileReaderTest, MissingArchiveLogsItsOpenFailureOnEveryRead)
{
    const QString missing = path("missing.jar");
    JarFileReader reader(missing);
    EXPECT_TRUE(reader.classNames.isEmpty());
    ASSERT_EQ(log.lines.size(), 1);
    const LogLine failure = log.lines.first();
    EXPECT_EQ(failure.level, Logger::L_ERROR);
    // The line names the archive and the system's reason.
    EXPECT_EQ(failure.text, errorOpenLine.arg(missing + ": No such file or directory"));

    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    EXPECT_EQ(log.lines, QList<LogLine>({failure, failure, failure}));

    // The same holds while loading every class: one line per request.
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    EXPECT_TRUE(reader.readClass("Lla/Peer;").isEmpty());
    EXPECT_EQ(log.lines.size(), 5);
}

TEST_F(JarFileReaderTest, GarbageIsNotAnArchive)
{
    writeFile(path("garbage.jar"), QByteArray(3000, 'x'));
    JarFileReader reader(path("garbage.jar"));
    EXPECT_TRUE(reader.classNames.isEmpty());
    // The line names the file, as for a file that is missing.
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_ERROR,
                                          errorOpenLine.arg(path("garbage.jar") +
                                                            ": Unrecognized archive format")}}));
}

TEST_F(JarFileReaderTest, CorruptArchiveKeepsWhatWasListedBeforeTheDamage)
{
    writeArchive(path("corrupt.jar"),
                 {{"p/A.class", fixtureClass("la/Base.class")},
                  {"p/B.class", fixtureClass("la/Peer.class")},
                  {"p/C.class", fixtureClass("lb/Other.class")}},
                 ArchiveFormat::ZipStored);
    QByteArray bytes = readFile(path("corrupt.jar"));
    // Damage the local header of the second entry.
    const int second = bytes.indexOf(QByteArray("PK\x03\x04", 4), 4);
    ASSERT_GT(second, 0);
    bytes.replace(second, 4, "XXXX");
    writeFile(path("corrupt.jar"), bytes);

    // The central directory lists every entry; only the damaged one cannot be read.
    JarFileReader reader(path("corrupt.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lp/A;", "Lp/B;", "Lp/C;"}));
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_EQ(reader.readClass("Lp/A;"), fixtureClass("la/Base.class"));
    EXPECT_TRUE(reader.readClass("Lp/B;").isEmpty());
    EXPECT_EQ(reader.readClass("Lp/C;"), fixtureClass("lb/Other.class"));
    EXPECT_EQ(log.lines,
              QList<LogLine>({{Logger::L_WARN, "Problem reading archive " + path("corrupt.jar") +
                                                   " - the local header of p/B.class "
                                                   "is missing"}}));
    log.lines.clear();

    // A JAR cut short, its directory gone, is walked: it keeps the classes before the cut, and
    // the listing says that it is not the whole archive, naming it and the library's reason.
    const QByteArray jar = readFile(fixture("archives/all.jar"));
    writeFile(path("cut.jar"), jar.left(jar.size() / 5));
    JarFileReader cut(path("cut.jar"));
    EXPECT_GT(cut.classNames.size(), 0);
    EXPECT_LT(cut.classNames.size(), 11);
    ASSERT_EQ(log.lines.size(), 2);
    EXPECT_EQ(log.lines.last(),
              LogLine({Logger::L_WARN, "Problem reading archive " + path("cut.jar") +
                                           " - Truncated ZIP file header"}));
}

TEST_F(JarFileReaderTest, ZeroSizeEntryWarnsOnEveryRead)
{
    writeArchive(path("empty.jar"), {{"p/Empty.class", QByteArray()}}, ArchiveFormat::ZipStored);
    JarFileReader reader(path("empty.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lp/Empty;"}));
    EXPECT_TRUE(reader.readClass("Lp/Empty;").isEmpty());
    EXPECT_TRUE(reader.readClass("Lp/Empty;").isEmpty());
    const LogLine warning{
        Logger::L_WARN,
        QString("Problem reading p.Empty in archive %1 - read 0 bytes").arg(path("empty.jar"))};
    EXPECT_EQ(log.lines, QList<LogLine>({warning, warning}));
}

TEST_F(JarFileReaderTest, StreamedEntriesOfUnknownSizeAreReadToTheirEnd)
{
    // Without its central directory a JAR is read as a stream, and the jar tool's deflated
    // entries carry their sizes only in a data descriptor after the data.
    const QByteArray jar = readFile(fixture("archives/all.jar"));
    const qint64 directory = centralDirectoryOffset(jar);
    ASSERT_GT(directory, 0);
    writeFile(path("streamed.jar"), jar.left(int(directory)));

    JarFileReader reader(path("streamed.jar"));
    EXPECT_EQ(reader.classNames.size(), 11);
    // Every entry is there, but the archive's closing directory is not.
    EXPECT_EQ(log.lines,
              QList<LogLine>({{Logger::L_WARN, "Problem reading archive " + path("streamed.jar") +
                                                   " - its central directory is missing or "
                                                   "unreadable; its entries were read one by one"},
                              {Logger::L_WARN, "Problem reading archive " + path("streamed.jar") +
                                                   " - it ended early"}}));
    log.lines.clear();
    for (const char* name : {"la/Base", "lb/SubSub", "la/Outer$Inner", "Top"}) {
        const QString relative = QString::fromLatin1(name);
        EXPECT_EQ(reader.readClass("L" + relative + ";"), fixtureClass(relative + ".class"))
            << name;
    }
    EXPECT_TRUE(log.lines.isEmpty()) << log.lines.first().text.toStdString();
}

TEST_F(JarFileReaderTest, EntryLongerThanItsDataYieldsNothing)
{
    const QByteArray base = fixtureClass("la/Base.class");
    writeArchiveClaimingMore("lie.jar", base, 10);

    JarFileReader reader(path("lie.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lla/Base;"}));
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_EQ(log.lines.first().level, Logger::L_WARN);
    EXPECT_TRUE(log.lines.first().text.startsWith("Problem reading la.Base in archive " +
                                                  path("lie.jar") + " - "))
        << log.lines.first().text.toStdString();
}

TEST_F(JarFileReaderTest, EntryProblemsNameClassAndArchiveWithoutTheLibrarysLineBreak)
{
    const QByteArray base = fixtureClass("la/Base.class");
    // One byte more than the entry inflates to.
    writeArchiveClaimingMore("wrong.jar", base, 1);

    JarFileReader reader(path("wrong.jar"));
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    // The library's message ends in a line break, which would leave a blank line in the log.
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_WARN,
                                          QString("Problem reading la.Base in archive %1 - ZIP "
                                                  "uncompressed data is wrong size (read %2, "
                                                  "expected %3)")
                                              .arg(path("wrong.jar"))
                                              .arg(base.size())
                                              .arg(base.size() + 1)}}));
}

// A failure that the library raises for want of memory, set through its own error interface as
// its failing allocations set it, stands in for memory running out inside the library.
TEST_F(JarFileReaderTest, MemoryRunningOutInTheLibraryThrowsLikeAFailedAllocation)
{
    const auto reasonFor = [](int number, const char* text) {
        archive* a = archive_read_new();
        archive_set_error(a, number, "%s", text);
        QString reason;
        try {
            reason = JarFileReader::libraryError(a);
        } catch (const std::bad_alloc&) {
            reason = QStringLiteral("std::bad_alloc");
        }
        archive_read_free(a);
        return reason;
    };
    EXPECT_EQ(reasonFor(ENOMEM, "Can't allocate memory for Pathname"), "std::bad_alloc");
    EXPECT_EQ(reasonFor(ENOMEM, "Out of memory"), "std::bad_alloc");
    // The ZIP decompression's set-up fails only for want of memory, under the library's number
    // for a failure of its own (-1).
    EXPECT_EQ(reasonFor(-1, "Can't initialize ZIP decompression."), "std::bad_alloc");
    EXPECT_EQ(reasonFor(-1, "Passphrase required for this entry"),
              "Passphrase required for this entry");
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, EntryShorterThanItsClaimYieldsNothing)
{
    const QByteArray base = fixtureClass("la/Base.class");
    writeArchive(path("short.jar"), {{"la/Base.class", base}}, ArchiveFormat::Tar);
    // A tar header is 512 bytes; cut the entry's data in half.
    const QByteArray tar = readFile(path("short.jar"));
    writeFile(path("short.jar"), tar.left(512 + base.size() / 2));

    JarFileReader reader(path("short.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lla/Base;"}));
    log.lines.clear();
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    ASSERT_EQ(log.lines.size(), 1);
    EXPECT_EQ(log.lines.first().level, Logger::L_WARN);
    // The archive ends inside the entry: the line names the archive, as for a cut ZIP archive.
    EXPECT_EQ(log.lines.first().text,
              "Problem reading archive " + path("short.jar") + " - Truncated tar archive");
}

TEST_F(JarFileReaderTest, OneSequentialPassGivesTheSameAnswersAndLinesAsSingleReads)
{
    // Rejected, empty and duplicate entries, in an order that makes the pass fall back.
    const QByteArray good = fixtureClass("la/Base.class");
    const QByteArray bad = good.left(good.size() / 2);
    const QList<ArchiveEntry> entries = {{"p/A.class", good},
                                         {"p/Bad.class", bad},
                                         {"README", "text"},
                                         {"p/Empty.class", {}},
                                         {"p/Bad.class", good},
                                         {"p/A.class", bad},
                                         {"q/C.class", fixtureClass("la/Peer.class")}};
    writeArchive(path("mixed.jar"), entries, ArchiveFormat::ZipDeflated);

    JarFileClassLoader single(path("mixed.jar"));
    for (const QString& name : single.reader->classNames)
        single.loadClass(name);
    const QList<LogLine> singleLines = log.lines;
    log.lines.clear();

    JarFileClassLoader pass(path("mixed.jar"));
    pass.loadAllClasses();
    EXPECT_EQ(log.lines, singleLines);
    EXPECT_EQ(pass.getAllClasses().keys(), single.getAllClasses().keys());
    // The copy of each name that the directory lists last is read.
    EXPECT_EQ(pass.getAllClasses().keys(), QStringList({"Lp/Bad;", "Lq/C;"}));
    // Both names stored twice are said to be at the listing; the rejected entry is reported
    // once per request: its own and its duplicate's.
    EXPECT_EQ(singleLines.size(), 5);
    EXPECT_TRUE(singleLines.at(1).text.contains(" - p/Bad.class is stored more than once"))
        << singleLines.at(1).text.toStdString();
    EXPECT_EQ(
        singleLines.at(3),
        LogLine({Logger::L_WARN, QString("Problem reading p.Empty in archive %1 - read 0 bytes")
                                     .arg(path("mixed.jar"))}));
    EXPECT_EQ(singleLines.at(2), singleLines.at(4));
    EXPECT_TRUE(singleLines.at(2).text.startsWith("p.A: ")) << singleLines.at(2).text.toStdString();
}

TEST_F(JarFileReaderTest, ThousandsOfArchivesLoadWithinTheDefaultFileLimit)
{
    // The default soft limit of a login session; every archive must be closed between reads.
    const FileLimit limit(1024);

    const QByteArray jar = readFile(fixture("archives/one.jar"));
    const int count = 3000;
    const int filesBefore = openFileCount();
    {
        ParentClassLoader parent;
        for (int i = 0; i < count; ++i) {
            const QString name = path(QString("lib%1.jar").arg(i));
            writeFile(name, jar);
            parent.loaders.append(new JarFileClassLoader(name));
        }
        EXPECT_EQ(openFileCount(), filesBefore);
        parent.loadAllClasses();
        EXPECT_EQ(parent.getAllClasses().size(), count);
        EXPECT_NE(parent.loadClass("Lla/Peer;"), nullptr);
        EXPECT_EQ(openFileCount(), filesBefore);
    }
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, HugeSizeClaimIsRefusedBeforeAnyAllocation)
{
    writeArchive(path("huge.jar"), {{"la/Base.class", fixtureClass("la/Base.class")}},
                 ArchiveFormat::Tar);
    QByteArray tar = readFile(path("huge.jar"));
    // The header's size field (offset 124, octal) claims 1 GiB; its checksum (offset 148) is
    // recomputed over the header with the checksum field read as blanks.
    tar.replace(124, 12, QByteArray("10000000000") + '\0');
    tar.replace(148, 8, QByteArray(8, ' '));
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i)
        sum += quint8(tar.at(i));
    tar.replace(148, 8, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0' + ' ');
    writeFile(path("huge.jar"), tar);

    JarFileReader reader(path("huge.jar"));
    ASSERT_EQ(reader.classNames, QStringList({"Lla/Base;"}));
    log.lines.clear();
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_WARN,
                                          "Problem reading la.Base in archive " + path("huge.jar") +
                                              " - its size of 1073741824 bytes exceeds the limit "
                                              "of 67108864 bytes"}}));
}

TEST_F(JarFileReaderTest, ReadsInAnyOrderGiveTheFirstEntryOfEachName)
{
    const QByteArray a = fixtureClass("la/Base.class");
    const QByteArray b = fixtureClass("la/Peer.class");
    const QByteArray c = fixtureClass("lb/Other.class");
    writeArchive(path("any.jar"),
                 {{"p/A.class", a},
                  {"p/B.class", b},
                  {"p/Empty.class", {}},
                  {"p/A.class", b},
                  {"q/C.class", c}},
                 ArchiveFormat::Tar);
    JarFileReader reader(path("any.jar"));
    // The first read passes every entry; the empty one is reported only when it is asked for.
    EXPECT_EQ(reader.readClass("Lq/C;"), c);
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_TRUE(reader.readClass("Lp/Empty;").isEmpty());
    EXPECT_EQ(reader.readClass("Lp/A;"), a);
    EXPECT_EQ(reader.readClass("Lp/A;"), a);
    EXPECT_EQ(reader.readClass("Lp/B;"), b);
    EXPECT_EQ(reader.readClass("Lq/C;"), c);
    EXPECT_TRUE(reader.readClass("Lp/Empty;").isEmpty());
    const LogLine empty{
        Logger::L_WARN,
        QString("Problem reading p.Empty in archive %1 - read 0 bytes").arg(path("any.jar"))};
    EXPECT_EQ(log.lines, QList<LogLine>({empty, empty}));
}

TEST_F(JarFileReaderTest, EntryFailingItsChecksumYieldsNothing)
{
    const QByteArray base = fixtureClass("la/Base.class");
    writeArchive(path("crc.jar"), {{"la/Base.class", base}, {"la/Peer.class", base}},
                 ArchiveFormat::ZipStored);
    QByteArray zip = readFile(path("crc.jar"));
    // One changed byte inside the first entry's stored data: java/lang/Object becomes
    // java/Lang/Object, still a well-formed class file.
    const int at = zip.indexOf("java/lang/Object");
    ASSERT_GT(at, 0);
    ASSERT_LT(at, zip.indexOf("la/Peer.class"));
    zip[at + 5] = 'L';
    writeFile(path("crc.jar"), zip);

    const auto checkLines = [&] {
        ASSERT_EQ(log.lines.size(), 1);
        EXPECT_EQ(log.lines.first().level, Logger::L_WARN);
        EXPECT_TRUE(log.lines.first().text.startsWith("Problem reading la.Base in archive " +
                                                      path("crc.jar") + " - ZIP bad CRC"))
            << log.lines.first().text.toStdString();
        log.lines.clear();
    };
    JarFileReader reader(path("crc.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lla/Base;", "Lla/Peer;"}));
    EXPECT_TRUE(reader.readClass("Lla/Base;").isEmpty());
    checkLines();
    EXPECT_EQ(reader.readClass("Lla/Peer;"), base);
    EXPECT_TRUE(log.lines.isEmpty());

    // The same in one pass over the archive.
    JarFileClassLoader loader(path("crc.jar"));
    loader.loadAllClasses();
    checkLines();
    EXPECT_EQ(loader.getAllClasses().keys(), QStringList({"Lla/Peer;"}));
}

TEST_F(JarFileReaderTest, CompressionThatNeedsAnOutsideProgramIsRefused)
{
    // A program of each such name on PATH, which would leave a mark if the reader ran it.
    const QString bin = path("bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    for (const char* program : {"lrzip", "grzip", "lzop"}) {
        const QString script = bin + "/" + program;
        writeFile(script, "#!/bin/sh\ntouch '" + path("ran-").toUtf8() + program + "'\ncat\n");
        QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ":" + savedPath);

    const QByteArray padding(200, '\0');
    const QList<QPair<QString, QByteArray>> cases = {
        {"lrzip", QByteArray("LRZI\x00\x06", 6) + padding},
        {"grzip", QByteArray("GRZipII\x00\x02\x04\x3a\x29", 12) + padding},
        {"lzop",
         QByteArray("\x89LZO\x00\r\n\x1a\n\x10\x30\x20\x80\x09\x40\x01\x05", 17) + padding}};
    for (const auto& c : cases) {
        const QString name = path(c.first + ".jar");
        writeFile(name, c.second);
        JarFileReader reader(name);
        EXPECT_TRUE(reader.readClass("Lp/A;").isEmpty());
        const LogLine refusal{Logger::L_WARN, "Not reading " + name + ": its " + c.first +
                                                  " compression needs an outside program"};
        EXPECT_EQ(log.lines, QList<LogLine>({refusal, refusal}));
        log.lines.clear();
    }
    qputenv("PATH", savedPath);
    EXPECT_EQ(QDir(dir.path()).entryList({"ran-*"}), QStringList());

    // What the library decompresses itself is still read.
    const QByteArray base = fixtureClass("la/Base.class");
    writeArchive(path("gz.jar"), {{"la/Base.class", base}}, ArchiveFormat::TarGzip);
    JarFileReader reader(path("gz.jar"));
    EXPECT_EQ(reader.readClass("Lla/Base;"), base);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, ReadsPastTheKeptLimitGiveTheAnswersAndLinesOfAFullRead)
{
    // More small classes than the readers below may keep, with an empty entry, one that the
    // parse rejects and a duplicate among them.
    const QByteArray classes[] = {fixtureClass("la/Base.class"), fixtureClass("la/Peer.class"),
                                  fixtureClass("lb/Other.class")};
    QList<ArchiveEntry> entries;
    for (int i = 0; i < 40; ++i)
        entries.append({QString("p/C%1.class").arg(i), classes[i % 3]});
    entries.insert(5, {"p/Empty.class", {}});
    entries.insert(9, {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\n"});
    entries.insert(20, {"p/Bad.class", classes[0].left(100)});
    entries.append({"p/C7.class", classes[0]});
    const qint64 limit = 2048;

    for (const ArchiveFormat format :
         {ArchiveFormat::ZipDeflated, ArchiveFormat::ZipStored, ArchiveFormat::Tar}) {
        SCOPED_TRACE(int(format));
        const QString name = path(QString("many%1.jar").arg(int(format)));
        writeArchive(name, entries, format);
        // The copy of p/C7 that is read: the first in a walk, the directory's last in a ZIP.
        const bool isZip = format != ArchiveFormat::Tar;
        const auto classOf = [&](int i) { return isZip && i == 7 ? classes[0] : classes[i % 3]; };
        QList<LogLine> listingLines;
        if (isZip)
            listingLines.append({Logger::L_WARN, "Problem reading archive " + name +
                                                     " - p/C7.class is stored more than once; "
                                                     "the copy that the central directory lists "
                                                     "last is read"});

        JarFileClassLoader full(name);
        full.loadAllClasses();
        const QList<LogLine> fullLines = log.lines;
        EXPECT_EQ(fullLines.size(), 2 + listingLines.size());
        log.lines.clear();
        JarFileClassLoader single(name, limit);
        for (const QString& className : single.reader->classNames)
            single.loadClass(className);
        EXPECT_EQ(log.lines, fullLines);
        EXPECT_EQ(single.getAllClasses().keys(), full.getAllClasses().keys());
        log.lines.clear();

        // Any order gives the same entry of each name.
        JarFileReader reader(name, limit);
        QStringList names = reader.classNames;
        std::reverse(names.begin(), names.end());
        for (const QString& className : names) {
            const int i = className.mid(4).chopped(1).toInt();
            const QByteArray expected = className == "Lp/Empty;" ? QByteArray()
                                        : className == "Lp/Bad;" ? classes[0].left(100)
                                                                 : classOf(i);
            EXPECT_EQ(reader.readClass(className), expected) << className.toStdString();
        }
        const LogLine empty{
            Logger::L_WARN,
            QString("Problem reading p.Empty in archive %1 - read 0 bytes").arg(name)};
        EXPECT_EQ(log.lines, listingLines + QList<LogLine>({empty}));
        log.lines.clear();

        if (format == ArchiveFormat::Tar)
            continue;
        // A ZIP entry is read from its own position, not by a walk from the archive's start:
        // once the first local header is damaged, the others still read.
        QByteArray zip = readFile(name);
        zip.replace(0, 4, "XXXX");
        writeFile(name, zip);
        for (int i = 1; i < 40; ++i)
            EXPECT_EQ(reader.readClass(QString("Lp/C%1;").arg(i)), classOf(i)) << i;
        EXPECT_TRUE(log.lines.isEmpty());
    }
}

TEST_F(JarFileReaderTest, ClassesAreTheOnesTheCentralDirectoryNames)
{
    // The Java runtime finds a class through the central directory and reads it from where the
    // directory says, whatever the local header there is called. So must the access test.
    const QByteArray jar = readFile(fixture("archives/twins.jar"));
    const qint64 directory = centralDirectoryOffset(jar);
    // Each name occurs first in its local header, last in its directory record.
    const int peerLocal = jar.indexOf("la/Peer.class");
    const int peerRecord = jar.lastIndexOf("la/Peer.class") - 46;
    const int twinLocal = jar.indexOf("la/Peer.bak") - 30;
    ASSERT_GT(peerLocal, 0);
    ASSERT_LT(peerLocal, directory);
    ASSERT_GT(peerRecord, directory);
    ASSERT_GT(twinLocal, 0);
    const QString disagreement = QStringLiteral("Problem reading archive %1 - the local header of "
                                                "la/Peer.class disagrees with the central "
                                                "directory");

    // The local header alone renamed.
    QByteArray renamed = jar;
    renamed[peerLocal + 12] = 'z';
    // The directory record pointing at the local header of a twin with another name.
    QByteArray pointed = jar;
    for (int i = 0; i < 4; ++i)
        pointed[peerRecord + 42 + i] = char(twinLocal >> (8 * i));

    for (const auto& patched :
         {qMakePair(QString("renamed.jar"), renamed), qMakePair(QString("pointed.jar"), pointed)}) {
        SCOPED_TRACE(patched.first.toStdString());
        const QString name = path(patched.first);
        writeFile(name, patched.second);
        JarFileClassLoader loader(name);
        EXPECT_EQ(loader.reader->classNames, QStringList({"Lla/Base;", "Lla/Peer;"}));
        loader.loadAllClasses();
        EXPECT_EQ(loader.getAllClasses().keys(), QStringList({"Lla/Base;", "Lla/Peer;"}));
        EXPECT_EQ(loader.reader->readClass("Lla/Peer;"), fixtureClass("la/Peer.class"));
        const LogLine warning{Logger::L_WARN, disagreement.arg(name)};
        EXPECT_EQ(log.lines, QList<LogLine>({warning, warning}));
        log.lines.clear();
    }
}

TEST_F(JarFileReaderTest, NamesBeyondAsciiAreReadAsUtf8UnderTheCLocale)
{
    const QByteArray jar = readFile(fixture("archives/names.jar"));
    QByteArray mangled = jar;
    // One byte of the name in the directory record made into a byte that UTF-8 does not use.
    const QByteArray umlaut = QString::fromUtf8("Größe").toUtf8();
    const int record = mangled.lastIndexOf(umlaut);
    ASSERT_GT(record, centralDirectoryOffset(jar));
    mangled[record + 2] = '\xF8';
    writeFile(path("mangled.jar"), mangled);
    const qint64 directory = centralDirectoryOffset(jar);
    ASSERT_GT(directory, 0);
    writeFile(path("streamed.jar"), jar.left(int(directory)));

    const std::string savedLocale = setlocale(LC_ALL, nullptr);
    setlocale(LC_ALL, "C");
    JarFileClassLoader loader(fixture("archives/names.jar"));
    loader.loadAllClasses();
    JarFileReader mangledReader(path("mangled.jar"));
    const QList<LogLine> mangledLines = log.lines;
    log.lines.clear();
    JarFileReader streamedReader(path("streamed.jar"));
    setlocale(LC_ALL, savedLocale.c_str());

    EXPECT_EQ(loader.getAllClasses().keys(),
              QStringList({QString::fromUtf8("Lp/Größe;"), QStringLiteral("Lp/Zeta;")}));
    // A name that cannot be read costs its own entry, nothing more.
    EXPECT_EQ(mangledReader.classNames, QStringList({"Lp/Zeta;"}));
    EXPECT_EQ(mangledLines,
              QList<LogLine>({{Logger::L_WARN, "Problem reading archive " + path("mangled.jar") +
                                                   " - the name of entry p/Gr\\xF8\\xB6\\xC3\\x9Fe."
                                                   "class is not UTF-8"}}));
    // The same when the archive is walked.
    EXPECT_EQ(streamedReader.classNames,
              QStringList({QString::fromUtf8("Lp/Größe;"), QStringLiteral("Lp/Zeta;")}));
}

TEST_F(JarFileReaderTest, EntriesUpToTheSizeLimitAreRead)
{
    // Zeros deflate to almost nothing, so the archive stays small.
    const qint64 limit = JavaClassLoader::maxClassFileSize;
    writeArchive(path("limit.jar"),
                 {{"p/Exact.class", QByteArray(int(limit), '\0')},
                  {"p/Over.class", QByteArray(int(limit + 1), '\0')}},
                 ArchiveFormat::ZipDeflated);
    const QByteArray zip = readFile(path("limit.jar"));
    ASSERT_LT(zip.size(), 1024 * 1024);

    JarFileReader reader(path("limit.jar"));
    EXPECT_EQ(reader.readClass("Lp/Exact;").size(), limit);
    EXPECT_TRUE(reader.readClass("Lp/Over;").isEmpty());
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_WARN,
                                          "Problem reading p.Over in archive " + path("limit.jar") +
                                              " - its size of 67108865 bytes exceeds the limit of "
                                              "67108864 bytes"}}));
    log.lines.clear();

    // Written as a stream and walked without its directory, an entry tells its size only after
    // its data: the walk learns it by reading.
    archive* writer = archive_write_new();
    ASSERT_EQ(archive_write_set_format_zip(writer), ARCHIVE_OK);
    ASSERT_EQ(archive_write_set_format_option(writer, "zip", "compression", "deflate"), ARCHIVE_OK);
    ASSERT_EQ(archive_write_open_filename(writer, QFile::encodeName(path("streamed.jar"))),
              ARCHIVE_OK);
    for (const qint64 size : {limit, limit + 1}) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, size == limit ? "p/Exact.class" : "p/Over.class");
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK);
        EXPECT_EQ(archive_write_data(writer, QByteArray(int(size), '\0').constData(), size_t(size)),
                  size);
        archive_entry_free(entry);
    }
    EXPECT_EQ(archive_write_close(writer), ARCHIVE_OK);
    archive_write_free(writer);
    const QByteArray stream = readFile(path("streamed.jar"));
    const qint64 directory = centralDirectoryOffset(stream);
    ASSERT_GT(directory, 0);
    writeFile(path("streamed.jar"), stream.left(int(directory)));

    JarFileReader streamed(path("streamed.jar"));
    log.lines.clear();
    EXPECT_EQ(streamed.readClass("Lp/Exact;").size(), limit);
    EXPECT_TRUE(streamed.readClass("Lp/Over;").isEmpty());
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_WARN, "Problem reading p.Over in archive " +
                                                              path("streamed.jar") +
                                                              " - it exceeds the limit of 67108864 "
                                                              "bytes"}}));
}

TEST_F(JarFileReaderTest, DirectoryIsReadToItsStatedSizeWhateverCountItsEndRecordStates)
{
    const QByteArray a = fixtureClass("la/Base.class");
    const QByteArray b = fixtureClass("la/Peer.class");
    HandMadeZip three;
    three.add("p/B.class", b);
    three.add("p/C.class", b);
    three.add("p/A.class", a);
    writeFile(path("three.jar"), three.bytes(2));
    JarFileReader reader(path("three.jar"));
    EXPECT_EQ(reader.classNames, QStringList({"Lp/B;", "Lp/C;", "Lp/A;"}));
    EXPECT_EQ(reader.readClass("Lp/A;"), a);

    // 70,001 entries without ZIP64 records: the count wraps to 4,465.
    HandMadeZip many;
    for (int i = 0; i < 70000; ++i)
        many.add("q/C" + QByteArray::number(i) + ".class", "x");
    many.add("p/A.class", a);
    writeFile(path("many.jar"), many.bytes());
    JarFileReader manyReader(path("many.jar"));
    EXPECT_TRUE(manyReader.readsConcurrently());
    EXPECT_EQ(manyReader.classNames.size(), 70001);
    EXPECT_EQ(manyReader.classNames.last(), "Lp/A;");
    EXPECT_EQ(manyReader.readClass("Lp/A;"), a);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(JarFileReaderTest, NameStoredTwiceIsReadFromTheDirectorysLastRecordWithAWarning)
{
    const QByteArray clean = fixtureClass("la/Base.class");
    const QByteArray other = fixtureClass("la/Peer.class");
    for (const bool cleanFirst : {true, false}) {
        HandMadeZip zip;
        zip.add("p/A.class", cleanFirst ? clean : other);
        zip.add("p/B.class", other);
        zip.add("p/A.class", cleanFirst ? other : clean);
        const QString name = path(cleanFirst ? "clean-first.jar" : "clean-last.jar");
        writeFile(name, zip.bytes());
        JarFileClassLoader loader(name);
        EXPECT_EQ(loader.reader->classNames, QStringList({"Lp/A;", "Lp/B;", "Lp/A;"}));
        EXPECT_EQ(log.lines,
                  QList<LogLine>({{Logger::L_WARN, "Problem reading archive " + name +
                                                       " - p/A.class is stored more than once; the "
                                                       "copy that the central directory lists last "
                                                       "is read"}}));
        log.lines.clear();
        loader.loadAllClasses();
        EXPECT_EQ(loader.reader->readClass("Lp/A;"), cleanFirst ? other : clean);
        const Class* cls = loader.getAllClasses().value("Lp/A;");
        ASSERT_NE(cls, nullptr);
        EXPECT_EQ(cls->getName().toString(), cleanFirst ? "la.Peer" : "la.Base");
        EXPECT_TRUE(log.lines.isEmpty());
    }
}

TEST_F(JarFileReaderTest, EndRecordBytesInTheCommentOrAfterTheArchiveHideNothing)
{
    const QByteArray a = fixtureClass("la/Base.class");
    const QByteArray b = fixtureClass("la/Peer.class");
    HandMadeZip zip;
    zip.add("p/A.class", a);
    zip.add("p/B.class", b);
    // The end record of an empty archive, without the comment that would reach the file's end.
    const QByteArray endRecord = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0');
    writeFile(path("comment.jar"), zip.bytes(-1, "made by hand " + endRecord + " done"));
    writeFile(path("appended.jar"), zip.bytes() + "appended " + endRecord + " done");
    for (const QString& name : {path("comment.jar"), path("appended.jar")}) {
        JarFileReader reader(name);
        EXPECT_TRUE(reader.readsConcurrently());
        EXPECT_EQ(reader.classNames, QStringList({"Lp/A;", "Lp/B;"}));
        EXPECT_EQ(reader.readClass("Lp/B;"), b);
    }
    EXPECT_TRUE(log.lines.isEmpty());

    // Nothing but end-record signatures: each is looked at once, and none is taken.
    writeFile(path("signatures.jar"), QByteArray("PK\x05\x06", 4).repeated(30000));
    JarFileReader signatures(path("signatures.jar"));
    EXPECT_FALSE(signatures.readsConcurrently());
    EXPECT_TRUE(signatures.classNames.isEmpty());
}

TEST_F(JarFileReaderTest, ZipWithoutItsDirectoryIsReadEntryByEntryWithOneWarning)
{
    const QByteArray a = fixtureClass("la/Base.class");
    const QByteArray b = fixtureClass("la/Peer.class");
    HandMadeZip zip;
    zip.add("p/A.class", a);
    zip.add("p/B.class", b);
    // Cut inside the directory, as a broken download is.
    writeFile(path("cut.jar"), zip.bytes().left(zip.locals.size() + 50));
    JarFileClassLoader loader(path("cut.jar"));
    EXPECT_EQ(loader.reader->classNames, QStringList({"Lp/A;", "Lp/B;"}));
    loader.loadAllClasses();
    EXPECT_EQ(loader.getAllClasses().keys(), QStringList({"Lp/A;", "Lp/B;"}));
    EXPECT_EQ(loader.reader->readClass("Lp/A;"), a);
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_WARN,
                                          "Problem reading archive " + path("cut.jar") +
                                              " - its central directory is missing or "
                                              "unreadable; its entries were read one by one"}}));
}

TEST_F(JarFileReaderTest, LocalHeaderMethodOrChecksumUnlikeTheDirectorysIsWarnedAndPassedOver)
{
    const QByteArray a = fixtureClass("la/Base.class");
    HandMadeZip zip;
    zip.add("p/A.class", a);
    // The local header's method (offset 8) made deflated, or its CRC (offset 14) changed.
    QByteArray method = zip.bytes();
    method[8] = 8;
    QByteArray crc = zip.bytes();
    crc[14] = char(crc.at(14) ^ 1);
    for (const auto& patched :
         {qMakePair(QString("method.jar"), method), qMakePair(QString("crc.jar"), crc)}) {
        const QString name = path(patched.first);
        writeFile(name, patched.second);
        JarFileReader reader(name);
        EXPECT_EQ(reader.readClass("Lp/A;"), a) << patched.first.toStdString();
        EXPECT_EQ(log.lines,
                  QList<LogLine>({{Logger::L_WARN, "Problem reading archive " + name +
                                                       " - the local header of p/A.class disagrees "
                                                       "with the central directory"}}));
        log.lines.clear();
    }
}
