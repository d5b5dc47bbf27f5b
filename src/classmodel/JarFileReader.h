#pragma once

#include "Logger.h"

#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <cstdint>
#include <sys/types.h>

struct archive;
struct archive_entry;
class TypeDescriptor;

// Reads the class entries of one JAR archive (or of any archive format the archive library
// can read) through the library's client callbacks over a Qt file.
//
// A ZIP archive is taken as its central directory describes it, as the Java runtime takes it:
// the entries, their names and their positions come from the directory, and each entry is read
// from its own position as its directory record describes it. A local header that disagrees
// with its record is reported and otherwise passed over. Such a read needs nothing but the
// listing, so several threads may read at once, and a request costs about the size of its
// class at any archive size.
//
// Any other archive (a tar archive, a ZIP archive without its directory) is read as a stream:
// a read walks the archive from its start to the entry asked for, and on the way keeps the
// other classes' bytes (up to a bound) until they are asked for. Requests in archive order, or
// in any order, then cost about one walk in all.
//
// The archive is listed once, by the constructor. Every read opens the file for itself and
// closes it before it returns: no file handle is held between reads, so a classpath may hold
// thousands of archives. The answers and log lines are those of reading each class on its own:
// of a name stored more than once, the copy that the central directory lists last wins, as in
// the Java runtime (in a walked archive, the first listed entry), a class that the listing did
// not meet is not there, and whatever a read of an entry logs is logged at the request for that
// entry.
//
// Entry bytes are never trusted for sizes: an entry is read in bounded chunks, up to what it
// claims or, when its size is unknown, up to its end; an entry that delivers less than it
// claims, fails, or exceeds the class-file size limit yields a WARN line and no bytes.
class JarFileReader
{
public:
    // One reading session over the archive file: the client data that every callback receives.
    struct readerdata_t
    {
        explicit readerdata_t(const QString& path);

        // The archive's path, as given.
        QString path;
        QFile file;
        QDataStream stream;
        // The library's reader of the current session; null between sessions.
        archive* arch = nullptr;
        // Why the session could not open the file ("<path>: <reason>"); empty when it could.
        QByteArray openFailure;
        // The block that the read callback hands to the library.
        char buffer[4096];
    };

    // The most inflated bytes that a reader of a streamed archive keeps for later requests, by
    // default.
    static const qint64 defaultMaxKeptBytes = 64 * 1024 * 1024;

    explicit JarFileReader(const QString& path, qint64 maxKeptBytes = defaultMaxKeptBytes);
    ~JarFileReader();

    // The bytes of the class entry whose descriptor is `name` (of several, the one that wins);
    // empty when there is none or it cannot be read.
    QByteArray readClass(const QString& name);
    // The same, with every line that the read would log appended to `lines` instead.
    using LogLines = QList<QPair<Logger::Level, QString>>;
    QByteArray readClass(const QString& name, LogLines* lines);

    // The library's reason for the last failure of `a`, as the reader's lines quote it: without
    // a trailing line break. Memory running out inside the library is the run's memory running
    // out, as when an allocation of ours fails: it throws std::bad_alloc, so that no class is
    // lost behind a warning.
    static QString libraryError(archive* a);

    // Whether the archive is read through its central directory. Then, and only then, several
    // threads may call readClass(name, lines) at once.
    bool readsConcurrently() const;

    // The descriptors of the archive's class entries in archive order; duplicates stay.
    QStringList classNames;

private:
    Q_DISABLE_COPY(JarFileReader)

    // Done: the bytes were read. Refused: nothing read (empty or too large), the session goes
    // on. Broken: the library reported a problem; the session may be unusable.
    enum class EntryRead { Done, Refused, Broken };

    // The class entry of a descriptor that wins. In a ZIP archive read through its central
    // directory, the entry as its directory record describes it; otherwise only its name.
    struct Entry
    {
        QString path;
        // The name's bytes, as the local header must repeat them.
        QByteArray rawName;
        // Where the local header starts in the file.
        qint64 offset = -1;
        quint64 compressedSize = 0;
        quint64 size = 0;
        quint32 crc = 0;
        quint16 method = 0;
        quint16 flags = 0;
    };

    // The records of a ZIP archive's central directory, in directory order, each local header's
    // offset taken from the file's start (names as bytes; no path yet). False when the file ends in
    // no directory, or in one that does not add up: the archive is then not read through it.
    static bool readCentralDirectory(int fd, qint64 fileSize, QVector<Entry>* records);
    void populateClassNames();
    // Lists the entries of the central directory of the file open in `rd`; false when the file
    // is no ZIP archive with a directory that can be read, and nothing is listed.
    bool listCentralDirectory(readerdata_t* rd);
    // Lists the entries by walking through the archive.
    void listStream();
    // Starts a session; false when the archive could not be opened (already logged).
    bool beginSession(readerdata_t* rd, LogLines* lines);
    static void endSession(readerdata_t* rd);
    // Logs a line, or appends it to `lines` when that is not null.
    static void say(LogLines* lines, Logger::Level level, const QString& text);
    // Logs at WARN that a walk through the session's archive ended before the archive's end.
    void reportCutShort(readerdata_t* rd, LogLines* lines) const;
    // Whether the session's file is compressed in a way that only an outside program could
    // undo; such a file is refused with a WARN naming it, and closed.
    bool needsOutsideProgram(readerdata_t* rd, LogLines* lines) const;
    // Opens the session's file, or records in its openFailure why not.
    static void openFile(readerdata_t* rd);
    // Reads an entry of the central directory from its own position. Touches no member but
    // reads the listing, so several threads may run it at once.
    QByteArray readFromDirectory(const Entry& entry, LogLines* lines) const;
    // Serves a request of a streamed archive from what an earlier walk kept, or walks.
    QByteArray readFromStream(const QString& name, LogLines* lines);
    // Walks the archive from its start to the first class entry of `name` and reads it. When
    // `keep` is set, the walk reads the other classes' first entries too and keeps their bytes,
    // up to the bound, for their own requests.
    QByteArray walkTo(const QString& name, bool keep, LogLines* lines);
    // Reads the current entry's data into `out`; a problem is added to `lines` at WARN naming
    // the class and its archive `archivePath` or, when the read used up the file of the streamed
    // session `stream`, naming the archive alone, which was cut inside the entry. With `lines`
    // null nothing is said. Memory running out inside the library throws std::bad_alloc.
    static EntryRead readEntry(archive* arch, archive_entry* entry, const TypeDescriptor& type,
                               const QString& archivePath, QByteArray* out, LogLines* lines,
                               const readerdata_t* stream = nullptr);

    static int open(archive* a, void* clientData);
    static ssize_t read(archive* a, void* clientData, const void** block);
    static int64_t seek(archive* a, void* clientData, int64_t offset, int whence);
    static int64_t skip(archive* a, void* clientData, int64_t request);
    static int close(archive* a, void* clientData);

    readerdata_t* rdRead;
    readerdata_t* rdList;
    // The most bytes that walks keep for later requests.
    const qint64 maxKeptBytes;
    QString path;
    // The decompression filters that the archive library does itself (one bit per filter it
    // knows); only those are enabled.
    quint32 inLibraryFilters;
    // Whether the listing could open the archive; only then does classNames know every class.
    bool listed = false;
    // Whether the archive is read through its central directory.
    bool central = false;
    // The entry that wins of every descriptor listed.
    QHash<QString, Entry> firstEntries;
    // The bytes that walks kept, by descriptor, each until it is asked for, and their sum.
    QHash<QString, QByteArray> kept;
    qint64 keptBytes = 0;
    // Descriptors whose kept bytes have been handed out: a later walk does not keep them again.
    QSet<QString> handedOut;
};
