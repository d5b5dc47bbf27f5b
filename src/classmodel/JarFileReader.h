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
#include <QtGlobal>

#include <cstdint>
#include <sys/types.h>

struct archive;
struct archive_entry;
class TypeDescriptor;

// Reads the class entries of one JAR archive (or of any archive format the archive library
// can read) through the library's client callbacks over a Qt file.
//
// The archive is listed once, by the constructor. Every later read is a session of its own that
// opens the file, and the file is closed again when the session ends: no file handle is held
// between reads, so a classpath may hold thousands of archives. The one exception is a
// sequential pass (beginSequentialReads to endSequentialReads), which keeps one session open
// so that reading every class in archive order costs one walk through the archive instead of
// one walk per class. Outside such a pass, a class of a plain ZIP archive is read from its own
// local header, which the listing found through the central directory, so a request costs
// about the size of that class at any archive size. In any other archive the first read walks
// the whole archive once and keeps the other classes' bytes (up to a bound) until they are
// asked for; later requests walk the archive up to their entry.
//
// Either way the answers and log lines are those of reading each class on its own: the first
// entry of a name wins, a class that the listing did not meet is not there, and whatever a read
// of an entry logs is logged at the request for that entry.
//
// Entry bytes are never trusted for sizes: an entry is read in bounded chunks, up to what it
// claims or, when its size is unknown, up to its end; an entry that delivers less than it
// claims, fails, or exceeds the class-file size limit yields a WARN line and no bytes.
//
// A reader is used by one thread at a time; only readByPosition may be called from several
// threads at once.
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

    // The most inflated bytes that a reader keeps for later requests, by default.
    static const qint64 defaultMaxKeptBytes = 64 * 1024 * 1024;

    explicit JarFileReader(const QString& path, qint64 maxKeptBytes = defaultMaxKeptBytes);
    ~JarFileReader();

    // The bytes of the first class entry whose descriptor is `name`; empty when there is none
    // or it cannot be read.
    QByteArray readClass(const QString& name);
    // The same, with every line that the read would log appended to `lines` instead.
    using LogLines = QList<QPair<Logger::Level, QString>>;
    QByteArray readClass(const QString& name, LogLines* lines);

    // Whether every listed class can be read from its own position in the archive.
    bool readsByPosition() const;
    // Reads the first entry of `name` from its own position, in a session of its own, and
    // logs nothing: false when that does not go smoothly, and the caller must then ask
    // readClass. Unlike everything else here, several threads may call it at once.
    bool readByPosition(const QString& name, QByteArray* out) const;

    // Between these calls, readClass serves requests that follow the archive's entry order from
    // one open session; a request for an entry already passed falls back to a full session of
    // its own, so every answer and log line is the same as without the pass.
    void beginSequentialReads();
    void endSequentialReads();

    // The descriptors of the archive's class entries in archive order; duplicates stay.
    QStringList classNames;

private:
    Q_DISABLE_COPY(JarFileReader)

    enum class Cursor { Idle, Open, Failed };
    // Done: the bytes were read. Refused: nothing read (empty or too large), the session goes
    // on. Broken: the library reported a problem; the session may be unusable.
    enum class EntryRead { Done, Refused, Broken };

    // The first class entry of a descriptor, as the listing met it.
    struct Entry
    {
        QString path;
        // The uncompressed size; -1 when the listing did not know it.
        qint64 size;
        // Where its local header starts in a plain ZIP archive; -1 when unknown.
        qint64 offset;
    };

    void populateClassNames();
    // Starts a session; false when the archive could not be opened (already logged).
    bool beginSession(readerdata_t* rd);
    static void endSession(readerdata_t* rd);
    // Logs a line, or holds it back for the caller of readClass.
    void say(Logger::Level level, const QString& text) const;
    // Logs at WARN that a walk through the session's archive ended before the archive's end.
    void reportCutShort(readerdata_t* rd) const;
    // Whether the session's file is compressed in a way that only an outside program could
    // undo; such a file is refused with a WARN naming it, and closed.
    bool needsOutsideProgram(readerdata_t* rd) const;
    // Opens the session's file, or records in its openFailure why not.
    static void openFile(readerdata_t* rd);
    QByteArray scanForClass(const QString& name);
    QByteArray readSequential(const QString& name);
    QByteArray readAndKeepAll(const QString& name);
    // Done: the entry's bytes. EntryFailed: the entry is there but does not read smoothly.
    // Misplaced: the entry is not found at its position.
    enum class PositionRead { Done, EntryFailed, Misplaced };
    // Reads the entry from its local header alone, in the given session; anything but Done
    // leaves the answer to a scan. Logs nothing.
    PositionRead readAtPosition(readerdata_t* rd, const Entry& first, QByteArray* out) const;
    // Reads the current entry's data into `out`; when `report` is set, a problem is logged at
    // WARN naming the class.
    EntryRead readEntry(readerdata_t* rd, archive_entry* entry, const TypeDescriptor& type,
                        QByteArray* out, bool report) const;

    static int open(archive* a, void* clientData);
    static ssize_t read(archive* a, void* clientData, const void** block);
    static int64_t seek(archive* a, void* clientData, int64_t offset, int whence);
    static int64_t skip(archive* a, void* clientData, int64_t request);
    static int close(archive* a, void* clientData);

    readerdata_t* rdRead;
    readerdata_t* rdList;
    // The most bytes that the first read keeps for later requests.
    const qint64 maxKeptBytes;
    // The session of a sequential pass; null outside one.
    readerdata_t* rdSequential = nullptr;
    QString path;
    // The decompression filters that the archive library does itself (one bit per filter it
    // knows); only those are enabled.
    quint32 inLibraryFilters;
    // Whether the listing could open the archive; only then does classNames know every class.
    bool listed = false;
    // The first entry of every descriptor listed.
    QHash<QString, Entry> firstEntries;
    // Whether the positions found in the central directory are trusted.
    bool positionsUsable = true;
    bool sequential = false;
    Cursor cursor = Cursor::Idle;
    // Descriptors of the class entries that the sequential session has passed or read.
    QSet<QString> passedNames;
    // Whether a first read has walked the whole archive; the bytes it kept, by descriptor,
    // each until it is asked for.
    bool keptAll = false;
    QHash<QString, QByteArray> kept;
    // Where the current read's lines go instead of the log; null when they are logged.
    LogLines* heldLines = nullptr;
};
