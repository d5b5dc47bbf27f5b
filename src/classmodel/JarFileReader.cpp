#include "JarFileReader.h"

#include "JavaClassLoader.h"
#include "Logger.h"
#include "TypeDescriptor.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <limits>
#include <memory>
#include <new>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Entries are read in chunks of this size, so memory grows with the bytes that actually
// arrive, never with what an entry claims.
const qint64 readChunk = 64 * 1024;
const qint64 maxClassFileSize = JavaClassLoader::maxClassFileSize;

// Whether the library's last failure was for want of memory. The ZIP decompression's set-up
// fails only for that, but the library reports it as a failure of its own.
bool outOfMemory(archive* a)
{
    if (!a)
        return false;
    if (archive_errno(a) == ENOMEM)
        return true;
    static const char zipSetUp[] = "Can't initialize ZIP decompression";
    const char* text = archive_error_string(a);
    return text && qstrncmp(text, zipSetUp, uint(sizeof(zipSetUp) - 1)) == 0;
}

// Skips the rest of the current entry; a skip that failed for want of memory throws, as a read
// would.
void skipData(archive* a)
{
    if (archive_read_data_skip(a) != ARCHIVE_OK && outOfMemory(a))
        throw std::bad_alloc();
}

// A new reader of the library; it has none when memory runs out.
archive* newReader()
{
    archive* a = archive_read_new();
    if (!a)
        throw std::bad_alloc();
    return a;
}

// Entry names are UTF-8 in a JAR, and mostly in a tar archive too. The library hands them out
// converted to the character set of the thread's locale, which under the C locale cannot hold
// them. While one of these lives, this thread's locale has a UTF-8 character type; nothing else
// changes, and nothing but the library runs meanwhile.
class Utf8Names
{
public:
    Utf8Names()
        : utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))),
          previous(utf8 ? uselocale(utf8) : locale_t(nullptr))
    {
    }
    ~Utf8Names()
    {
        if (utf8) {
            uselocale(previous);
            freelocale(utf8);
        }
    }
    Q_DISABLE_COPY(Utf8Names)

private:
    const locale_t utf8;
    const locale_t previous;
};

// The next header of a streamed archive: ARCHIVE_OK with the entry's name as UTF-8; ARCHIVE_WARN
// for an entry whose name the library could not read (it says why), which is passed over; any
// other status ends the walk.
int nextHeader(archive* a, archive_entry** entry, QString* name)
{
    const Utf8Names names;
    const int status = archive_read_next_header(a, entry);
    // An entry passed over, or a walk ended, for want of memory would lose classes unsaid.
    if (status != ARCHIVE_OK && outOfMemory(a))
        throw std::bad_alloc();
    if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
        return status;
    // A name the library cannot convert it may still hold as stored.
    const char* path = archive_entry_pathname_utf8(*entry);
    if (!path)
        path = archive_entry_pathname(*entry);
    if (!path && status == ARCHIVE_WARN)
        return ARCHIVE_WARN;
    *name = path ? QString::fromUtf8(path) : QString();
    return ARCHIVE_OK;
}

// Little-endian fields of a ZIP record; each caller has checked that the record is long enough.
quint16 le16(const uchar* p)
{
    return quint16(p[0] | p[1] << 8);
}

quint32 le32(const uchar* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint64 le64(const uchar* p)
{
    return quint64(le32(p)) | quint64(le32(p + 4)) << 32;
}

// Exactly `length` bytes of the file from `offset`, or nothing. No file position moves, so
// several threads may read one file.
QByteArray bytesAt(int fd, qint64 offset, qint64 length)
{
    QByteArray bytes(int(length), Qt::Uninitialized);
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(length - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return QByteArray();
        done += got;
    }
    return bytes;
}

// A name that is not UTF-8, with every byte beyond ASCII written as \xNN.
QString escaped(const QByteArray& bytes)
{
    QString text;
    for (const char c : bytes) {
        if (uchar(c) >= 0x20 && uchar(c) < 0x7F)
            text += QLatin1Char(c);
        else
            text += QString::asprintf("\\x%02X", uint(uchar(c)));
    }
    return text;
}

// The largest central directory that is read: far beyond a million entries.
const qint64 maxCentralDirectorySize = 256 * 1024 * 1024;

// The library's decompression filters, each with the bytes that a stream of its kind starts
// with (empty when it has no fixed signature). Some filters are done by running an outside
// program found on PATH; those are never enabled, since an archive's bytes must not be able to
// start a program.
struct Filter
{
    const char* name;
    int (*enable)(archive*);
    QByteArray signature;
};

const Filter filters[] = {
    {"bzip2", archive_read_support_filter_bzip2, QByteArrayLiteral("BZh")},
    {"compress", archive_read_support_filter_compress, QByteArrayLiteral("\x1f\x9d")},
    {"grzip", archive_read_support_filter_grzip, QByteArrayLiteral("GRZipII\x00\x02\x04\x3a\x29")},
    {"gzip", archive_read_support_filter_gzip, QByteArrayLiteral("\x1f\x8b")},
    {"lrzip", archive_read_support_filter_lrzip, QByteArrayLiteral("LRZI")},
    {"lz4", archive_read_support_filter_lz4, QByteArrayLiteral("\x04\x22\x4d\x18")},
    {"lzip", archive_read_support_filter_lzip, QByteArrayLiteral("LZIP")},
    {"lzma", archive_read_support_filter_lzma, QByteArray()},
    {"lzop", archive_read_support_filter_lzop, QByteArrayLiteral("\x89LZO\x00\x0d\x0a\x1a\x0a")},
    {"rpm", archive_read_support_filter_rpm, QByteArrayLiteral("\xed\xab\xee\xdb")},
    {"uu", archive_read_support_filter_uu, QByteArray()},
    {"xz", archive_read_support_filter_xz,
     QByteArrayLiteral("\xfd"
                       "7zXZ\x00")},
    {"zstd", archive_read_support_filter_zstd, QByteArrayLiteral("\x28\xb5\x2f\xfd")},
};
const int filterCount = int(sizeof(filters) / sizeof(filters[0]));

// One bit per entry of `filters`: set when the library does that filter itself. The library
// says so when the filter is enabled: ARCHIVE_WARN means it would run an outside program.
quint32 findInLibraryFilters()
{
    quint32 found = 0;
    archive* probe = newReader();
    for (int i = 0; i < filterCount; ++i) {
        if (filters[i].enable(probe) == ARCHIVE_OK)
            found |= 1u << i;
    }
    archive_read_free(probe);
    return found;
}

// One entry of a ZIP archive as its central directory describes it, handed to the library as
// a local header made from the directory record, followed by the entry's data read from the
// file. The library thus inflates and checks exactly what the directory describes, whatever the
// local header in the file says.
struct DirectoryEntryStream
{
    int fd;
    QByteArray header;
    bool headerGiven = false;
    // Where the rest of the entry's data starts in the file, and how much is left.
    qint64 at;
    quint64 left;
    QByteArray block;

    static ssize_t read(archive* a, void* clientData, const void** buffer)
    {
        auto* stream = static_cast<DirectoryEntryStream*>(clientData);
        if (!stream->headerGiven) {
            stream->headerGiven = true;
            *buffer = stream->header.constData();
            return stream->header.size();
        }
        if (stream->left == 0)
            return 0;
        const size_t want = size_t(qMin<quint64>(stream->left, quint64(stream->block.size())));
        ssize_t got;
        do
            got = ::pread(stream->fd, stream->block.data(), want, stream->at);
        while (got < 0 && errno == EINTR);
        if (got < 0) {
            archive_set_error(a, 1, "could not read jar file");
            return -1;
        }
        stream->at += got;
        stream->left -= quint64(got);
        *buffer = stream->block.constData();
        return got;
    }
};

} // namespace

QString JarFileReader::libraryError(archive* a)
{
    if (outOfMemory(a))
        throw std::bad_alloc();
    const char* text = a ? archive_error_string(a) : nullptr;
    QString reason = text ? QString::fromUtf8(text) : QString();
    // Some of the library's messages end in a line break, which would leave a blank line.
    while (reason.endsWith(QLatin1Char('\n')) || reason.endsWith(QLatin1Char('\r')))
        reason.chop(1);
    return reason;
}

JarFileReader::readerdata_t::readerdata_t(const QString& path)
    : path(path), file(path), stream(&file)
{
}

JarFileReader::JarFileReader(const QString& path, qint64 maxKeptBytes)
    : rdRead(new readerdata_t(path)), rdList(new readerdata_t(path)), maxKeptBytes(maxKeptBytes),
      path(path), inLibraryFilters(0)
{
    try {
        inLibraryFilters = findInLibraryFilters();
        // The sessions open their file only while they run, so an idle reader holds no handle.
        populateClassNames();
    } catch (...) {
        // Memory ran out; no destructor runs for a reader that was never made.
        endSession(rdRead);
        delete rdRead;
        endSession(rdList);
        delete rdList;
        throw;
    }
}

JarFileReader::~JarFileReader()
{
    endSession(rdRead);
    delete rdRead;
    endSession(rdList);
    delete rdList;
}

void JarFileReader::populateClassNames()
{
    openFile(rdList);
    central = rdList->file.isOpen() && listCentralDirectory(rdList);
    endSession(rdList);
    if (central)
        listed = true;
    else
        listStream();
}

bool JarFileReader::readCentralDirectory(int fd, qint64 fileSize, QVector<Entry>* records)
{
    // The end record (22 bytes) may be followed by a comment of up to 65535 bytes.
    const qint64 tailLength = qMin<qint64>(fileSize, 22 + 65535);
    const qint64 tailAt = fileSize - tailLength;
    const QByteArray tail = bytesAt(fd, tailAt, tailLength);
    const auto signatureAt = [fd](qint64 at, const char* signature) {
        return bytesAt(fd, at, 4) == QByteArray(signature, 4);
    };
    // The comment may hold the bytes of an end record, and bytes may follow the archive. The
    // Java runtime takes the last end record whose comment reaches exactly to the end of the
    // file, or else whose directory starts with a directory record and whose archive starts with
    // a local header where it says; so does the reader. Each step looks further back.
    const uchar* record = nullptr;
    qint64 recordAt = 0;
    for (int from = tail.size() - 22; from >= 0 && !record; --from) {
        from = tail.lastIndexOf(QByteArray("PK\x05\x06", 4), from);
        if (from < 0)
            break;
        const auto* candidate = reinterpret_cast<const uchar*>(tail.constData()) + from;
        const qint64 candidateAt = tailAt + from;
        const quint64 size = le32(candidate + 12);
        const quint64 offset = le32(candidate + 16);
        if (from + 22 + le16(candidate + 20) == tail.size() ||
            (size <= quint64(candidateAt) && offset <= quint64(candidateAt) - size &&
             signatureAt(candidateAt - qint64(size), "PK\x01\x02") &&
             signatureAt(candidateAt - qint64(size) - qint64(offset), "PK\x03\x04"))) {
            record = candidate;
            recordAt = candidateAt;
        }
    }
    if (!record)
        return false;
    quint64 count = le16(record + 10);
    quint64 directorySize = le32(record + 12);
    quint64 directoryOffset = le32(record + 16);
    if (count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF) {
        // ZIP64: a 20-byte locator right before the end record points at the 56-byte ZIP64 end
        // record, which holds the real count, size and offset. Without them the end record's
        // own values stand: an archive of 65535 entries needs no ZIP64 records.
        const QByteArray locator = bytesAt(fd, recordAt - 20, 20);
        const quint64 at = locator.startsWith(QByteArray("PK\x06\x07", 4))
                               ? le64(reinterpret_cast<const uchar*>(locator.constData()) + 8)
                               : quint64(fileSize);
        const QByteArray end64 =
            at < quint64(fileSize) ? bytesAt(fd, qint64(at), 56) : QByteArray();
        if (end64.startsWith(QByteArray("PK\x06\x06", 4))) {
            const auto* r = reinterpret_cast<const uchar*>(end64.constData());
            count = le64(r + 32);
            directorySize = le64(r + 40);
            directoryOffset = le64(r + 48);
            recordAt = qint64(at);
        }
    }
    // The directory ends where the end record starts. Bytes in front of the archive (a launcher
    // script) shift every offset that the archive states by the same amount.
    if (directorySize > quint64(recordAt) || directorySize > quint64(maxCentralDirectorySize) ||
        directoryOffset > quint64(recordAt) - directorySize)
        return false;
    const qint64 base = recordAt - qint64(directorySize) - qint64(directoryOffset);
    const QByteArray directory =
        bytesAt(fd, recordAt - qint64(directorySize), qint64(directorySize));
    if (directory.size() != int(directorySize))
        return false;
    const auto* data = reinterpret_cast<const uchar*>(directory.constData());
    const int size = directory.size();
    int pos = 0;
    // The count is a hint only: older writers let it wrap past 65535 entries, and the Java
    // runtime reads records until the directory's size is used up.
    records->reserve(int(qMin<quint64>(count, directorySize / 46)));
    // Each record: a fixed part of 46 bytes, then its name, extra fields and comment.
    while (pos < size) {
        if (size - pos < 46 || le32(data + pos) != 0x02014b50)
            return false;
        const uchar* r = data + pos;
        const int nameLength = le16(r + 28);
        const int extraLength = le16(r + 30);
        const int recordLength = 46 + nameLength + extraLength + le16(r + 32);
        if (recordLength > size - pos)
            return false;
        pos += recordLength;
        Entry entry;
        entry.rawName = QByteArray(reinterpret_cast<const char*>(r + 46), nameLength);
        entry.flags = le16(r + 8);
        entry.method = le16(r + 10);
        entry.crc = le32(r + 16);
        entry.compressedSize = le32(r + 20);
        entry.size = le32(r + 24);
        quint64 offset = le32(r + 42);
        // The ZIP64 extra field (id 1) holds, in this order, each of the uncompressed size,
        // the compressed size and the offset whose 32-bit field is all ones.
        quint64* const wide[] = {&entry.size, &entry.compressedSize, &offset};
        const uchar* field = r + 46 + nameLength;
        const uchar* const fieldsEnd = field + extraLength;
        while (fieldsEnd - field >= 4) {
            const int length = le16(field + 2);
            if (length > fieldsEnd - field - 4)
                break;
            if (le16(field) == 1) {
                const uchar* value = field + 4;
                for (quint64* target : wide) {
                    if (*target != 0xFFFFFFFF)
                        continue;
                    if (value + 8 > field + 4 + length)
                        break;
                    *target = le64(value);
                    value += 8;
                }
                break;
            }
            field += 4 + length;
        }
        entry.offset = offset > quint64(fileSize) ? fileSize : base + qint64(offset);
        records->append(entry);
    }
    return true;
}

bool JarFileReader::listCentralDirectory(readerdata_t* rd)
{
    QVector<Entry> records;
    if (!readCentralDirectory(rd->file.handle(), rd->file.size(), &records))
        return false;
    // The Java runtime finds a name through the directory's last record of it: a name stored
    // more than once is read as that record describes it, and said to be stored so.
    struct Copies
    {
        int count = 0;
        bool reported = false;
        Entry last;
    };
    QHash<QByteArray, Copies> copiesByName;
    copiesByName.reserve(records.size());
    for (const Entry& record : qAsConst(records)) {
        Copies& copies = copiesByName[record.rawName];
        ++copies.count;
        copies.last = record;
    }
    // In the order of the entries in the file, as a walk through the archive meets them.
    std::stable_sort(records.begin(), records.end(),
                     [](const Entry& a, const Entry& b) { return a.offset < b.offset; });
    for (Entry& record : records) {
        // The Java runtime reads every name as UTF-8, whatever the locale. Bytes that are not
        // UTF-8 decode to replacement characters, which encode to other bytes.
        record.path = QString::fromUtf8(record.rawName);
        if (record.path.toUtf8() != record.rawName) {
            say(nullptr, Logger::L_WARN,
                QString("Problem reading archive %1 - the name of entry %2 is not UTF-8")
                    .arg(path, escaped(record.rawName)));
            continue;
        }
        if (!record.path.endsWith(QLatin1String(".class")))
            continue;
        const QString descriptor = TypeDescriptor::fromClassFileName(record.path).descriptor;
        classNames.append(descriptor);
        Copies& copies = copiesByName[record.rawName];
        if (copies.count > 1 && !copies.reported) {
            copies.reported = true;
            say(nullptr, Logger::L_WARN,
                QString("Problem reading archive %1 - %2 is stored more than once; the copy that "
                        "the central directory lists last is read")
                    .arg(path, record.path));
        }
        if (!firstEntries.contains(descriptor)) {
            Entry read = copies.last;
            read.path = record.path;
            firstEntries.insert(descriptor, read);
        }
    }
    return true;
}

void JarFileReader::listStream()
{
    listed = beginSession(rdList, nullptr);
    if (listed) {
        archive_entry* entry = nullptr;
        QString entryName;
        int status;
        while ((status = nextHeader(rdList->arch, &entry, &entryName)) == ARCHIVE_OK ||
               status == ARCHIVE_WARN) {
            if (status == ARCHIVE_WARN) {
                // The entry is lost, but not the rest of the archive.
                say(nullptr, Logger::L_WARN,
                    QString("Problem reading archive %1 - %2")
                        .arg(path, libraryError(rdList->arch)));
            } else if (entryName.endsWith(QLatin1String(".class"))) {
                const QString descriptor = TypeDescriptor::fromClassFileName(entryName).descriptor;
                classNames.append(descriptor);
                if (!firstEntries.contains(descriptor))
                    firstEntries[descriptor].path = entryName;
            }
            skipData(rdList->arch);
        }
        // The Java runtime loads nothing from a ZIP archive without its directory; the walk
        // still reads what the local headers give, and the user learns the difference.
        if ((archive_format(rdList->arch) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP)
            say(nullptr, Logger::L_WARN,
                QString("Problem reading archive %1 - its central directory is missing or "
                        "unreadable; its entries were read one by one")
                    .arg(path));
        // What was listed before a damaged or cut part stays; the user learns that it is not all.
        if (status != ARCHIVE_EOF)
            reportCutShort(rdList, nullptr);
    }
    endSession(rdList);
}

void JarFileReader::say(LogLines* lines, Logger::Level level, const QString& text)
{
    if (lines)
        lines->append(qMakePair(level, text));
    else
        emit Logger::logger->log(level, text);
}

QByteArray JarFileReader::readClass(const QString& name)
{
    LogLines lines;
    const QByteArray bytes = readClass(name, &lines);
    for (const auto& line : qAsConst(lines))
        say(nullptr, line.first, line.second);
    return bytes;
}

QByteArray JarFileReader::readClass(const QString& name, LogLines* lines)
{
    // The listing saw every entry: a class it did not meet is not there, and looking for it
    // again would cost a walk through every entry. An archive that could not be opened is
    // tried (and its failure logged) anew on every request.
    const auto first = firstEntries.constFind(name);
    if (listed && first == firstEntries.constEnd())
        return QByteArray();
    if (central)
        return readFromDirectory(first.value(), lines);
    return readFromStream(name, lines);
}

bool JarFileReader::readsConcurrently() const
{
    return central;
}

QByteArray JarFileReader::readFromDirectory(const Entry& entry, LogLines* lines) const
{
    QByteArray result;
    readerdata_t session(path);
    openFile(&session);
    if (!session.file.isOpen()) {
        say(lines, Logger::L_ERROR,
            QString("beginSession() archive_read_open failed %1")
                .arg(QString::fromUtf8(session.openFailure)));
        return result;
    }
    const int fd = session.file.handle();

    // The local header only says where the data starts; what the data is, the directory says.
    // It is read with the name that it should hold.
    const QByteArray local = bytesAt(fd, entry.offset, 30 + entry.rawName.size());
    const auto* l = reinterpret_cast<const uchar*>(local.constData());
    if (local.isEmpty() || le32(l) != 0x04034b50) {
        say(lines, Logger::L_WARN,
            QString("Problem reading archive %1 - the local header of %2 is missing")
                .arg(path, entry.path));
        return result;
    }
    const int localNameLength = le16(l + 26);
    // A field that the local header leaves to a data descriptor, or to a ZIP64 extra field, is
    // zero or all ones; only fields that it does state are compared.
    const auto differs = [](quint32 local, quint64 central) {
        return local != 0 && local != 0xFFFFFFFF && local != central;
    };
    if (local.mid(30) != entry.rawName || localNameLength != entry.rawName.size() ||
        le16(l + 8) != entry.method ||
        (!(le16(l + 6) & 8) &&
         (differs(le32(l + 14), entry.crc) || differs(le32(l + 18), entry.compressedSize) ||
          differs(le32(l + 22), entry.size)))) {
        say(lines, Logger::L_WARN,
            QString("Problem reading archive %1 - the local header of %2 disagrees with the "
                    "central directory")
                .arg(path, entry.path));
    }

    // The local header that the library reads: the directory's description of the entry, its
    // sizes and checksum in front (no data descriptor), under a name of no interest.
    DirectoryEntryStream stream;
    stream.fd = fd;
    stream.at = entry.offset + 30 + localNameLength + le16(l + 28);
    stream.left = entry.compressedSize;
    stream.block =
        QByteArray(int(qBound<quint64>(1, entry.compressedSize, readChunk)), Qt::Uninitialized);
    const bool wide = entry.compressedSize >= 0xFFFFFFFF || entry.size >= 0xFFFFFFFF;
    QByteArray& header = stream.header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(0x04034b50) << quint16(wide ? 45 : 20) << quint16(entry.flags & ~8)
        << entry.method << quint32(0) << entry.crc
        << quint32(wide ? 0xFFFFFFFF : entry.compressedSize)
        << quint32(wide ? 0xFFFFFFFF : entry.size) << quint16(1) << quint16(wide ? 20 : 0);
    out.writeRawData("e", 1);
    if (wide)
        out << quint16(1) << quint16(16) << entry.size << entry.compressedSize;

    archive* arch = newReader();
    // Freed however the read ends, memory running out included.
    const std::unique_ptr<archive, int (*)(archive*)> owner(arch, archive_read_free);
    archive_entry* libraryEntry = nullptr;
    const TypeDescriptor type = TypeDescriptor::fromClassFileName(entry.path);
    if (archive_read_support_format_zip_streamable(arch) != ARCHIVE_OK ||
        archive_read_open(arch, &stream, nullptr, &DirectoryEntryStream::read, nullptr) !=
            ARCHIVE_OK ||
        archive_read_next_header(arch, &libraryEntry) != ARCHIVE_OK) {
        const QString reason = libraryError(arch);
        say(lines, Logger::L_WARN,
            QString("Problem reading %1 in archive %2 - %3")
                .arg(type.toString(), path,
                     reason.isEmpty() ? QStringLiteral("read failed") : reason));
    } else {
        readEntry(arch, libraryEntry, type, path, &result, lines);
    }
    return result;
}

QByteArray JarFileReader::readFromStream(const QString& name, LogLines* lines)
{
    const auto keptEntry = kept.find(name);
    if (keptEntry != kept.end()) {
        // Handed out once: the caller caches what it defines, and a repeated request (for a
        // class that was rejected) is rare enough to be served by a walk.
        const QByteArray bytes = keptEntry.value();
        kept.erase(keptEntry);
        keptBytes -= bytes.size();
        handedOut.insert(name);
        return bytes;
    }
    handedOut.insert(name);
    return walkTo(name, true, lines);
}

QByteArray JarFileReader::walkTo(const QString& name, bool keep, LogLines* lines)
{
    QByteArray result;
    if (!beginSession(rdRead, lines)) {
        // The failure is this request's; the next request tries again, and logs again.
        endSession(rdRead);
        return result;
    }
    bool answered = false;
    QSet<QString> seen;
    archive_entry* entry = nullptr;
    QString entryName;
    int status;
    while ((status = nextHeader(rdRead->arch, &entry, &entryName)) == ARCHIVE_OK ||
           status == ARCHIVE_WARN) {
        if (status == ARCHIVE_WARN || !entryName.endsWith(QLatin1String(".class"))) {
            skipData(rdRead->arch);
            continue;
        }
        // Class entries not read are passed over by the next header read.
        const TypeDescriptor type = TypeDescriptor::fromClassFileName(entryName);
        // Only the first entry of a name is ever what a read returns.
        if (seen.contains(type.descriptor))
            continue;
        seen.insert(type.descriptor);
        if (type.descriptor == name) {
            answered = true;
            if (readEntry(rdRead->arch, entry, type, path, &result, lines, rdRead) ==
                    EntryRead::Broken ||
                !keep || keptBytes >= maxKeptBytes)
                break;
        } else if (keep && keptBytes < maxKeptBytes && !kept.contains(type.descriptor) &&
                   !handedOut.contains(type.descriptor)) {
            // Entries that would log something when read (empty, too large, unreadable) are
            // not kept: their requests walk and log as they would have anyway.
            QByteArray bytes;
            const EntryRead outcome = readEntry(rdRead->arch, entry, type, path, &bytes, nullptr);
            if (outcome == EntryRead::Done) {
                keptBytes += bytes.size();
                kept.insert(type.descriptor, bytes);
            } else if (outcome == EntryRead::Broken) {
                // The session may be unusable; an answer still missing comes from a walk that
                // reads nothing but what it is asked for.
                endSession(rdRead);
                return answered ? result : walkTo(name, false, lines);
            }
        } else if (answered) {
            break;
        }
    }
    if (!answered && status != ARCHIVE_OK && status != ARCHIVE_EOF)
        reportCutShort(rdRead, lines);
    endSession(rdRead);
    return result;
}

JarFileReader::EntryRead JarFileReader::readEntry(archive* arch, archive_entry* entry,
                                                  const TypeDescriptor& type,
                                                  const QString& archivePath, QByteArray* out,
                                                  LogLines* lines, const readerdata_t* stream)
{
    out->clear();
    const auto problem = [&](const QString& text) {
        if (lines)
            lines->append(qMakePair(Logger::L_WARN, QString("Problem reading %1 in archive %2 - %3")
                                                        .arg(type.toString(), archivePath, text)));
    };
    // The library's own reason, such as a failed CRC check. When the read used up the file, the
    // archive was cut inside the entry, and the line names the archive, as a listing cut short
    // does.
    const auto readFailed = [&] {
        QString reason = libraryError(arch);
        if (reason.isEmpty())
            reason = QStringLiteral("read failed");
        if (stream && stream->file.atEnd()) {
            if (lines)
                lines->append(qMakePair(
                    Logger::L_WARN,
                    QString("Problem reading archive %1 - %2").arg(stream->path, reason)));
        } else {
            problem(reason);
        }
        return EntryRead::Broken;
    };
    // Without a known size (a streamed entry with a data descriptor) the entry is read to its
    // end; a size the library does know is a claim that the data must meet.
    const bool sizeKnown = archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0;
    const qint64 size = sizeKnown ? archive_entry_size(entry) : -1;

    if (size == 0) {
        problem(QStringLiteral("read 0 bytes"));
        return EntryRead::Refused;
    }
    if (size > maxClassFileSize) {
        problem(QString("its size of %1 bytes exceeds the limit of %2 bytes")
                    .arg(size)
                    .arg(maxClassFileSize));
        return EntryRead::Refused;
    }

    QByteArray data;
    qint64 total = 0;
    for (;;) {
        // An entry of unknown size may hold up to the limit; one byte more proves it larger.
        const qint64 want = qMin(readChunk, (size >= 0 ? size : maxClassFileSize + 1) - total);
        if (want == 0)
            break;
        data.resize(static_cast<int>(total + want));
        const la_ssize_t got =
            archive_read_data(arch, data.data() + total, static_cast<size_t>(want));
        if (got < 0)
            return readFailed();
        if (got == 0)
            break;
        total += got;
        if (total > maxClassFileSize) {
            problem(QString("it exceeds the limit of %1 bytes").arg(maxClassFileSize));
            return EntryRead::Refused;
        }
    }

    if (total == 0) {
        problem(QStringLiteral("read 0 bytes"));
        return EntryRead::Refused;
    }
    if (size >= 0 && total < size) {
        problem(QString("read %1 of %2 bytes").arg(total).arg(size));
        return EntryRead::Broken;
    }
    if (size >= 0) {
        // The library checks an entry's CRC only when a read reaches the entry's end, so the
        // entry is read on past its claimed size until the library says it is over.
        char rest[256];
        qint64 extra = 0;
        for (;;) {
            const la_ssize_t got = archive_read_data(arch, rest, sizeof(rest));
            if (got < 0)
                return readFailed();
            if (got == 0)
                break;
            // An entry that holds more than it claims is as untrustworthy as one that holds
            // less; stop counting once that is clear.
            extra += got;
            if (extra > readChunk)
                break;
        }
        if (extra > 0) {
            problem(QString("read %1 of %2 bytes").arg(total + extra).arg(size));
            return EntryRead::Broken;
        }
    }
    data.resize(static_cast<int>(total));
    *out = data;
    return EntryRead::Done;
}

bool JarFileReader::beginSession(readerdata_t* rd, LogLines* lines)
{
    endSession(rd);
    openFile(rd);
    rd->stream.resetStatus();
    if (needsOutsideProgram(rd, lines))
        return false;
    rd->arch = newReader();

    const auto check = [rd, lines](int status, const QString& what, const QString& prefix) {
        if (status != ARCHIVE_OK)
            say(lines, Logger::L_ERROR,
                QString("beginSession() %1 failed %2").arg(what, prefix + libraryError(rd->arch)));
        return status == ARCHIVE_OK;
    };
    for (int i = 0; i < filterCount; ++i) {
        if (inLibraryFilters & (1u << i))
            check(filters[i].enable(rd->arch),
                  QLatin1String("archive_read_support_filter_") + QLatin1String(filters[i].name),
                  QString());
    }
    check(archive_read_support_format_all(rd->arch), "archive_read_support_format_all", QString());
    check(archive_read_set_seek_callback(rd->arch, &JarFileReader::seek),
          "archive_read_set_seek_callback", QString());
    check(archive_read_set_skip_callback(rd->arch, &JarFileReader::skip),
          "archive_read_set_skip_callback", QString());
    // A file that could not be opened is named by its reason already; any other failure (a
    // file that is no archive) is named here.
    return check(archive_read_open(rd->arch, rd, &JarFileReader::open, &JarFileReader::read,
                                   &JarFileReader::close),
                 "archive_read_open",
                 rd->file.isOpen() ? rd->path + QLatin1String(": ") : QString());
}

void JarFileReader::reportCutShort(readerdata_t* rd, LogLines* lines) const
{
    const QString reason = libraryError(rd->arch);
    say(lines, Logger::L_WARN,
        QString("Problem reading archive %1 - %2")
            .arg(rd->path, reason.isEmpty() ? QStringLiteral("it ended early") : reason));
}

bool JarFileReader::needsOutsideProgram(readerdata_t* rd, LogLines* lines) const
{
    if (!rd->file.isOpen())
        return false;
    // Read without moving the file, which the library is about to read from its start.
    char head[16];
    const ssize_t count = ::pread(rd->file.handle(), head, sizeof(head), 0);
    if (count <= 0)
        return false;
    const QByteArray start(head, int(count));
    for (int i = 0; i < filterCount; ++i) {
        const Filter& filter = filters[i];
        if (!(inLibraryFilters & (1u << i)) && !filter.signature.isEmpty() &&
            start.startsWith(filter.signature)) {
            say(lines, Logger::L_WARN,
                QString("Not reading %1: its %2 compression needs an outside program")
                    .arg(rd->path, QLatin1String(filter.name)));
            rd->file.close();
            return true;
        }
    }
    return false;
}

void JarFileReader::openFile(readerdata_t* rd)
{
    rd->openFailure.clear();
    const QString& name = rd->path;
    // A FIFO named like an archive would block an open for reading until some writer comes, and
    // a device could deliver data for ever: the open does not wait, and only a regular file is
    // read.
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // errno is read before anything else can change it.
        const QString reason = qt_error_string(errno);
        rd->openFailure = (name + QLatin1String(": ") + reason).toUtf8();
        return;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        rd->openFailure = (name + QLatin1String(": not a regular file")).toUtf8();
        return;
    }
    // The file takes the descriptor over and closes it with the session.
    if (!rd->file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                       QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        rd->openFailure = (name + QLatin1String(": ") + rd->file.errorString()).toUtf8();
    }
}

void JarFileReader::endSession(readerdata_t* rd)
{
    if (rd->arch) {
        archive_read_free(rd->arch);
        rd->arch = nullptr;
    }
    rd->file.close();
}

int JarFileReader::open(archive* a, void* clientData)
{
    const auto* rd = static_cast<readerdata_t*>(clientData);
    if (rd->file.isOpen())
        return ARCHIVE_OK;
    // The library's error text is what the failed open is logged with, so it names the file.
    archive_set_error(a, EIO, "%s", rd->openFailure.constData());
    return ARCHIVE_FATAL;
}

ssize_t JarFileReader::read(archive* a, void* clientData, const void** block)
{
    auto* rd = static_cast<readerdata_t*>(clientData);
    if (rd->stream.atEnd())
        return 0;
    *block = rd->buffer;
    const int count = rd->stream.readRawData(rd->buffer, sizeof(rd->buffer));
    if (count < 0) {
        archive_set_error(a, 1, "could not read jar file");
        return -1;
    }
    return count;
}

int64_t JarFileReader::seek(archive*, void* clientData, int64_t offset, int whence)
{
    auto* rd = static_cast<readerdata_t*>(clientData);
    int64_t base;
    switch (whence) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = rd->file.pos();
        break;
    case SEEK_END:
        base = rd->file.size();
        break;
    default:
        return ARCHIVE_FATAL;
    }
    // The offset comes from the archive's own tables; check the sum before forming it.
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
        return ARCHIVE_FATAL;
    const int64_t position = base + offset;
    return rd->file.seek(position) ? position : ARCHIVE_FATAL;
}

int64_t JarFileReader::skip(archive*, void* clientData, int64_t request)
{
    auto* rd = static_cast<readerdata_t*>(clientData);
    // Report only what was really skipped: the library reads through whatever a skip leaves
    // out, and so notices a truncated archive instead of believing a skip past its end.
    const int64_t position = rd->file.pos();
    const int64_t left = qMax<int64_t>(0, rd->file.size() - position);
    const int64_t amount = qBound<int64_t>(0, request, left);
    if (amount == 0 || !rd->file.seek(position + amount))
        return 0;
    return amount;
}

int JarFileReader::close(archive*, void*)
{
    // The file belongs to the session and is closed by endSession.
    return ARCHIVE_OK;
}
