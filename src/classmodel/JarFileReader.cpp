#include "JarFileReader.h"

#include "JavaClassLoader.h"
#include "Logger.h"
#include "TypeDescriptor.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Entries are read in chunks of this size, so memory grows with the bytes that actually
// arrive, never with what an entry claims.
const qint64 readChunk = 64 * 1024;
const qint64 maxClassFileSize = JavaClassLoader::maxClassFileSize;

QString errorText(archive* a)
{
    const char* text = a ? archive_error_string(a) : nullptr;
    return text ? QString::fromUtf8(text) : QString();
}

QString entryPath(archive_entry* entry)
{
    // The UTF-8 form is what a JAR stores; asking for it spares the library a conversion
    // through wide characters for every header.
    const char* path = archive_entry_pathname_utf8(entry);
    if (!path)
        path = archive_entry_pathname(entry);
    return path ? QString::fromUtf8(path) : QString();
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

// Exactly `length` bytes of the file from `offset`, or nothing.
QByteArray bytesAt(QFile& file, qint64 offset, qint64 length)
{
    if (offset < 0 || length <= 0 || length > file.size() - offset || !file.seek(offset))
        return QByteArray();
    QByteArray bytes = file.read(length);
    return bytes.size() == length ? bytes : QByteArray();
}

// The largest central directory that is read for positions: far beyond a million entries.
const qint64 maxCentralDirectorySize = 256 * 1024 * 1024;

// Where the local header of each ".class" entry of a ZIP archive starts, by entry name, from the
// archive's central directory; of several records of one name, the first in the file. Anything
// that does not add up gives fewer positions or none: a position is only a hint, and a read
// from it checks that it finds the entry it expects.
QHash<QString, qint64> localHeaderOffsets(QFile& file)
{
    QHash<QString, qint64> offsets;
    const qint64 fileSize = file.size();
    // The end record (22 bytes) may be followed by a comment of up to 65535 bytes.
    const qint64 tailLength = qMin<qint64>(fileSize, 22 + 65535);
    const QByteArray tail = bytesAt(file, fileSize - tailLength, tailLength);
    const int end = tail.lastIndexOf(QByteArray("PK", 4));
    if (end < 0 || tail.size() - end < 22)
        return offsets;
    const auto* record = reinterpret_cast<const uchar*>(tail.constData()) + end;
    qint64 recordAt = fileSize - tailLength + end;
    quint64 directorySize = le32(record + 12);
    quint64 directoryOffset = le32(record + 16);
    if (le16(record + 10) == 0xFFFF || directorySize == 0xFFFFFFFF ||
        directoryOffset == 0xFFFFFFFF) {
        // ZIP64: a 20-byte locator right before the end record points at the 56-byte ZIP64 end
        // record, which holds the real size and offset.
        const QByteArray locator = bytesAt(file, recordAt - 20, 20);
        if (locator.isEmpty() || !locator.startsWith(QByteArray("PK", 4)))
            return offsets;
        const quint64 at = le64(reinterpret_cast<const uchar*>(locator.constData()) + 8);
        if (at > quint64(fileSize))
            return offsets;
        const QByteArray end64 = bytesAt(file, qint64(at), 56);
        if (end64.isEmpty() || !end64.startsWith(QByteArray("PK", 4)))
            return offsets;
        const auto* r = reinterpret_cast<const uchar*>(end64.constData());
        directorySize = le64(r + 40);
        directoryOffset = le64(r + 48);
        recordAt = qint64(at);
    }
    // The directory ends where the end record starts. Bytes in front of the archive (a launcher
    // script) shift every offset that the archive states by the same amount.
    if (directorySize > quint64(recordAt) || directorySize > quint64(maxCentralDirectorySize) ||
        directoryOffset > quint64(recordAt) - directorySize)
        return offsets;
    const qint64 base = recordAt - qint64(directorySize) - qint64(directoryOffset);
    const QByteArray directory =
        bytesAt(file, recordAt - qint64(directorySize), qint64(directorySize));
    const auto* data = reinterpret_cast<const uchar*>(directory.constData());
    const int size = directory.size();
    int pos = 0;
    // Each record: a fixed part of 46 bytes, then its name, extra fields and comment.
    while (size - pos >= 46 && le32(data + pos) == 0x02014b50) {
        const uchar* r = data + pos;
        const int nameLength = le16(r + 28);
        const int extraLength = le16(r + 30);
        const int recordLength = 46 + nameLength + extraLength + le16(r + 32);
        if (recordLength > size - pos)
            break;
        pos += recordLength;
        quint64 offset = le32(r + 42);
        if (offset == 0xFFFFFFFF) {
            // The ZIP64 extra field (id 1) holds, in this order, each of the uncompressed size,
            // the compressed size and the offset whose 32-bit field is all ones.
            const int skipped =
                (le32(r + 24) == 0xFFFFFFFF ? 8 : 0) + (le32(r + 20) == 0xFFFFFFFF ? 8 : 0);
            const uchar* field = r + 46 + nameLength;
            const uchar* fieldsEnd = field + extraLength;
            bool found = false;
            while (fieldsEnd - field >= 4 && !found) {
                const int length = le16(field + 2);
                if (length > fieldsEnd - field - 4)
                    break;
                if (le16(field) == 1 && length >= skipped + 8) {
                    offset = le64(field + 4 + skipped);
                    found = true;
                }
                field += 4 + length;
            }
            if (!found)
                continue;
        }
        if (offset > quint64(fileSize))
            continue;
        const QString name = QString::fromUtf8(reinterpret_cast<const char*>(r + 46), nameLength);
        if (!name.endsWith(QLatin1String(".class")))
            continue;
        const qint64 at = base + qint64(offset);
        const auto known = offsets.find(name);
        if (known == offsets.end())
            offsets.insert(name, at);
        else if (at < known.value())
            known.value() = at;
    }
    return offsets;
}

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
    archive* probe = archive_read_new();
    for (int i = 0; i < filterCount; ++i) {
        if (filters[i].enable(probe) == ARCHIVE_OK)
            found |= 1u << i;
    }
    archive_read_free(probe);
    return found;
}

} // namespace

JarFileReader::readerdata_t::readerdata_t(const QString& path)
    : path(path), file(path), stream(&file)
{
}

JarFileReader::JarFileReader(const QString& path, qint64 maxKeptBytes)
    : rdRead(new readerdata_t(path)), rdList(new readerdata_t(path)), maxKeptBytes(maxKeptBytes),
      path(path), inLibraryFilters(findInLibraryFilters())
{
    // The sessions open their file only while they run, so an idle reader holds no handle.
    populateClassNames();
}

JarFileReader::~JarFileReader()
{
    endSequentialReads();
    endSession(rdRead);
    delete rdRead;
    endSession(rdList);
    delete rdList;
}

void JarFileReader::populateClassNames()
{
    listed = beginSession(rdList);
    if (listed) {
        archive_entry* entry = nullptr;
        int status;
        while ((status = archive_read_next_header(rdList->arch, &entry)) == ARCHIVE_OK) {
            const QString entryName = entryPath(entry);
            if (entryName.endsWith(QLatin1String(".class"))) {
                const QString descriptor = TypeDescriptor::fromClassFileName(entryName).descriptor;
                classNames.append(descriptor);
                if (!firstEntries.contains(descriptor)) {
                    const qint64 size =
                        archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
                    firstEntries.insert(descriptor, {entryName, size, -1});
                }
            }
            archive_read_data_skip(rdList->arch);
        }
        // What was listed before a damaged or cut part stays; the user learns that it is not all.
        if (status != ARCHIVE_EOF)
            reportCutShort(rdList);
        // A plain ZIP archive can be entered at any entry's local header; the central directory
        // says where they are.
        if (!firstEntries.isEmpty() &&
            (archive_format(rdList->arch) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP &&
            archive_filter_count(rdList->arch) == 1) {
            const QHash<QString, qint64> offsets = localHeaderOffsets(rdList->file);
            for (Entry& first : firstEntries)
                first.offset = offsets.value(first.path, -1);
        }
    }
    endSession(rdList);
}

void JarFileReader::say(Logger::Level level, const QString& text) const
{
    if (heldLines)
        heldLines->append(qMakePair(level, text));
    else
        emit Logger::logger->log(level, text);
}

QByteArray JarFileReader::readClass(const QString& name, LogLines* lines)
{
    // Lines go back to the log however the read ends.
    struct Hold
    {
        LogLines*& target;
        ~Hold() { target = nullptr; }
    } hold{heldLines};
    heldLines = lines;
    return readClass(name);
}

QByteArray JarFileReader::readClass(const QString& name)
{
    // The listing walked the same archive: a class it did not meet is not there, and looking
    // for it again would cost a walk through every entry. An archive that could not be opened
    // is tried (and its failure logged) anew on every request.
    const auto first = firstEntries.constFind(name);
    if (listed && first == firstEntries.constEnd())
        return QByteArray();
    const auto keptEntry = kept.find(name);
    if (keptEntry != kept.end()) {
        // Handed out once: the caller caches what it defines, and a repeated request (for a
        // class that was rejected) is rare enough to be served by a scan.
        const QByteArray bytes = keptEntry.value();
        kept.erase(keptEntry);
        return bytes;
    }
    if (sequential)
        return readSequential(name);
    if (positionsUsable && first != firstEntries.constEnd() && first->offset >= 0) {
        // Read from the entry's own position; whatever does not go smoothly there is left to
        // the scan, which gives the answer and the log lines of record.
        QByteArray bytes;
        const PositionRead outcome = readAtPosition(rdRead, first.value(), &bytes);
        if (outcome == PositionRead::Done)
            return bytes;
        // An entry that is not where the directory said it is makes every position suspect;
        // the archive is read as if it had none, so requests do not each cost a failed try
        // and a walk.
        if (outcome == PositionRead::Misplaced)
            positionsUsable = false;
        return scanForClass(name);
    }
    if (!keptAll)
        return readAndKeepAll(name);
    return scanForClass(name);
}

bool JarFileReader::readsByPosition() const
{
    if (!listed || !positionsUsable)
        return false;
    for (const Entry& first : firstEntries) {
        if (first.offset < 0)
            return false;
    }
    return true;
}

bool JarFileReader::readByPosition(const QString& name, QByteArray* out) const
{
    const auto first = firstEntries.constFind(name);
    if (first == firstEntries.constEnd() || first->offset < 0)
        return false;
    readerdata_t session(path);
    return readAtPosition(&session, first.value(), out) == PositionRead::Done;
}

JarFileReader::PositionRead JarFileReader::readAtPosition(readerdata_t* rd, const Entry& first,
                                                          QByteArray* out) const
{
    endSession(rd);
    openFile(rd);
    PositionRead outcome = PositionRead::Misplaced;
    if (rd->file.isOpen() && rd->file.seek(first.offset)) {
        rd->stream.resetStatus();
        // From a local header on, the archive reads as a stream of entries; only the one
        // entry is read, and to its end, so its checksum is checked.
        rd->arch = archive_read_new();
        archive_entry* entry = nullptr;
        if (archive_read_support_format_zip_streamable(rd->arch) == ARCHIVE_OK &&
            archive_read_open(rd->arch, rd, &JarFileReader::open, &JarFileReader::read,
                              &JarFileReader::close) == ARCHIVE_OK &&
            archive_read_next_header(rd->arch, &entry) == ARCHIVE_OK &&
            entryPath(entry) == first.path) {
            const TypeDescriptor unused{QString()};
            const bool done = readEntry(rd, entry, unused, out, false) == EntryRead::Done &&
                              (first.size < 0 || out->size() == first.size);
            outcome = done ? PositionRead::Done : PositionRead::EntryFailed;
        }
    }
    endSession(rd);
    if (outcome != PositionRead::Done)
        out->clear();
    return outcome;
}

QByteArray JarFileReader::readAndKeepAll(const QString& name)
{
    // Requests one at a time come in no useful order; a scan per request would walk the archive
    // once per class. The first request therefore reads every class entry once and keeps the
    // bytes of the others for their own requests. Entries that would log something when read
    // (empty, too large, unreadable) are not kept: their requests scan and log as they would
    // have anyway.
    QByteArray result;
    if (!beginSession(rdRead)) {
        // The failure is this request's; the next request tries again, and logs again.
        endSession(rdRead);
        return result;
    }
    keptAll = true;
    bool answered = false;
    bool usable = true;
    qint64 keptBytes = 0;
    QSet<QString> seen;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(rdRead->arch, &entry)) == ARCHIVE_OK) {
        const QString entryName = entryPath(entry);
        if (!entryName.endsWith(QLatin1String(".class"))) {
            archive_read_data_skip(rdRead->arch);
            continue;
        }
        const TypeDescriptor type = TypeDescriptor::fromClassFileName(entryName);
        // Only the first entry of a name is ever what a read returns.
        if (seen.contains(type.descriptor))
            continue;
        seen.insert(type.descriptor);
        if (type.descriptor == name) {
            answered = true;
            usable = readEntry(rdRead, entry, type, &result, true) != EntryRead::Broken;
        } else if (keptBytes < maxKeptBytes) {
            QByteArray bytes;
            const EntryRead outcome = readEntry(rdRead, entry, type, &bytes, false);
            usable = outcome != EntryRead::Broken;
            if (outcome == EntryRead::Done) {
                keptBytes += bytes.size();
                kept.insert(type.descriptor, bytes);
            }
        } else if (answered) {
            break;
        }
        if (!usable)
            break;
    }
    endSession(rdRead);

    // A pass that reached the end without meeting the name answers as a scan would; a pass cut
    // short leaves the answer to a scan of its own.
    if (!answered && usable && status == ARCHIVE_EOF)
        return result;
    if (!answered)
        return scanForClass(name);
    return result;
}

void JarFileReader::beginSequentialReads()
{
    endSequentialReads();
    sequential = true;
}

void JarFileReader::endSequentialReads()
{
    if (rdSequential) {
        endSession(rdSequential);
        delete rdSequential;
        rdSequential = nullptr;
    }
    sequential = false;
    cursor = Cursor::Idle;
    passedNames.clear();
}

QByteArray JarFileReader::scanForClass(const QString& name)
{
    QByteArray result;
    if (beginSession(rdRead)) {
        archive_entry* entry = nullptr;
        int status;
        while ((status = archive_read_next_header(rdRead->arch, &entry)) == ARCHIVE_OK) {
            const QString entryName = entryPath(entry);
            if (!entryName.endsWith(QLatin1String(".class"))) {
                archive_read_data_skip(rdRead->arch);
                continue;
            }
            // Other class entries are passed over by the next header read.
            const TypeDescriptor type = TypeDescriptor::fromClassFileName(entryName);
            if (type.descriptor == name) {
                readEntry(rdRead, entry, type, &result, true);
                break;
            }
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_EOF)
            reportCutShort(rdRead);
    }
    endSession(rdRead);
    return result;
}

QByteArray JarFileReader::readSequential(const QString& name)
{
    // A class whose first entry lies behind the cursor, or any request after the session went
    // wrong, gets the full scan that a single read would do.
    if (cursor == Cursor::Failed || passedNames.contains(name))
        return scanForClass(name);

    if (cursor == Cursor::Idle) {
        if (!rdSequential)
            rdSequential = new readerdata_t(path);
        if (!beginSession(rdSequential)) {
            // Logged exactly as the single read would have logged it; the requests that follow
            // go through single reads, which log it again, each for itself.
            endSession(rdSequential);
            cursor = Cursor::Failed;
            return QByteArray();
        }
        cursor = Cursor::Open;
    }

    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(rdSequential->arch, &entry)) == ARCHIVE_OK) {
        const QString entryName = entryPath(entry);
        if (!entryName.endsWith(QLatin1String(".class"))) {
            archive_read_data_skip(rdSequential->arch);
            continue;
        }
        const TypeDescriptor type = TypeDescriptor::fromClassFileName(entryName);
        passedNames.insert(type.descriptor);
        if (type.descriptor == name) {
            QByteArray result;
            if (readEntry(rdSequential, entry, type, &result, true) == EntryRead::Broken) {
                endSession(rdSequential);
                cursor = Cursor::Failed;
            }
            return result;
        }
    }

    // Not found before the end: every class entry has been passed, and a fresh scan would meet
    // the same entries. A header that could not be read may depend on how the session got
    // there, so that request is answered by a fresh scan instead.
    endSession(rdSequential);
    cursor = Cursor::Failed;
    if (status == ARCHIVE_EOF)
        return QByteArray();
    return scanForClass(name);
}

JarFileReader::EntryRead JarFileReader::readEntry(readerdata_t* rd, archive_entry* entry,
                                                  const TypeDescriptor& type, QByteArray* out,
                                                  bool report) const
{
    out->clear();
    const auto problem = [&](const QString& text) {
        if (report)
            say(Logger::L_WARN, QString("Problem reading %1 - %2").arg(type.toString(), text));
    };
    // The library's own reason, such as a failed CRC check.
    const auto readFailed = [&] {
        const QString reason = errorText(rd->arch);
        problem(reason.isEmpty() ? QStringLiteral("read failed") : reason);
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
        qint64 want = readChunk;
        if (size >= 0)
            want = qMin(want, size - total);
        if (want == 0)
            break;
        if (total + want > maxClassFileSize) {
            problem(QString("it exceeds the limit of %1 bytes").arg(maxClassFileSize));
            return EntryRead::Refused;
        }
        data.resize(static_cast<int>(total + want));
        const la_ssize_t got =
            archive_read_data(rd->arch, data.data() + total, static_cast<size_t>(want));
        if (got < 0)
            return readFailed();
        if (got == 0)
            break;
        total += got;
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
            const la_ssize_t got = archive_read_data(rd->arch, rest, sizeof(rest));
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

bool JarFileReader::beginSession(readerdata_t* rd)
{
    endSession(rd);
    openFile(rd);
    rd->stream.resetStatus();
    if (needsOutsideProgram(rd))
        return false;
    rd->arch = archive_read_new();

    const auto check = [this, rd](int status, const QString& what) {
        if (status != ARCHIVE_OK)
            say(Logger::L_ERROR,
                QString("beginSession() %1 failed %2").arg(what, errorText(rd->arch)));
        return status == ARCHIVE_OK;
    };
    for (int i = 0; i < filterCount; ++i) {
        if (inLibraryFilters & (1u << i))
            check(filters[i].enable(rd->arch),
                  QLatin1String("archive_read_support_filter_") + QLatin1String(filters[i].name));
    }
    check(archive_read_support_format_all(rd->arch), "archive_read_support_format_all");
    check(archive_read_set_seek_callback(rd->arch, &JarFileReader::seek),
          "archive_read_set_seek_callback");
    check(archive_read_set_skip_callback(rd->arch, &JarFileReader::skip),
          "archive_read_set_skip_callback");
    return check(archive_read_open(rd->arch, rd, &JarFileReader::open, &JarFileReader::read,
                                   &JarFileReader::close),
                 "archive_read_open");
}

void JarFileReader::reportCutShort(readerdata_t* rd) const
{
    const QString reason = errorText(rd->arch);
    say(Logger::L_WARN,
        QString("Problem reading archive %1 - %2")
            .arg(rd->path, reason.isEmpty() ? QStringLiteral("it ended early") : reason));
}

bool JarFileReader::needsOutsideProgram(readerdata_t* rd) const
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
            say(Logger::L_WARN,
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
