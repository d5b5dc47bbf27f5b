#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The one funnel through which the class-file reader takes bytes. It reads big-endian values
// from a window of a byte array and knows how many bytes the window has left; a read that would
// leave the window throws BadClassFileException instead of inventing zeros. A window over one
// record (an attribute) is a ByteReader of its own, so a lying count inside the record cannot
// reach the bytes that follow it.
//
// Every read names what it reads; the name goes into the message when the bytes are not there.
// Messages are only composed when a read fails, so reading costs nothing per record.
//
// A reader does not hold on to the bytes: the array it reads must outlive it and its windows.
class ByteReader
{
public:
    // A reader over all of data, called "the class file" in messages.
    explicit ByteReader(const QByteArray& data);
    // A reader over a temporary would read freed bytes.
    explicit ByteReader(QByteArray&&) = delete;

    // Position in the underlying data, counted from its first byte.
    int offset() const { return pos; }
    quint32 bytesLeft() const { return quint32(end - pos); }
    bool atEnd() const { return pos == end; }

    quint8 readU1(const char* what) { return take(1, what)[0]; }
    // The next byte, without moving past it.
    quint8 peekU1(const char* what) const;
    quint16 readU2(const char* what)
    {
        const uchar* p = take(2, what);
        return quint16((p[0] << 8) | p[1]);
    }
    quint32 readU4(const char* what)
    {
        const uchar* p = take(4, what);
        return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
    }
    qint32 readI4(const char* what) { return qint32(readU4(what)); }
    qint64 readI8(const char* what);
    float readFloat(const char* what);
    double readDouble(const char* what);

    // Copies length bytes; allocates only after length has been checked against what is left.
    QByteArray readBytes(quint32 length, const char* what);
    void skip(quint32 length, const char* what) { take(length, what); }

    // Takes the next length bytes as the window of the named attribute and moves past them.
    // The name is given as its UTF-8 bytes, which must outlive the window; it is only decoded
    // for a message.
    ByteReader window(quint32 length, const char* attributeName, int attributeNameSize)
    {
        if (Q_UNLIKELY(length > bytesLeft()))
            failWindow(length, attributeName, attributeNameSize);
        const int begin = pos;
        pos += int(length);
        return ByteReader(data, begin, pos, attributeName, attributeNameSize);
    }
    ByteReader window(quint32 length, const QString& attributeName);
    // Moves past length bytes and returns where they start, after checking that they are
    // there; they stay where they are as long as the array does.
    const char* readSpan(quint32 length, const char* what)
    {
        return reinterpret_cast<const char*>(take(length, what));
    }

    // Fails unless count records of at least minSize bytes each can still follow. The message
    // shows shownCount when given (a count that includes more than the records to come).
    void checkCount(quint32 count, quint32 minSize, const char* what, qint64 shownCount = -1) const
    {
        // Written as a division so that a huge count cannot overflow the product.
        if (Q_UNLIKELY(minSize != 0 && count > bytesLeft() / minSize))
            failCount(count, minSize, what, shownCount);
    }

private:
    ByteReader(const uchar* data, int begin, int end, const char* attributeName,
               int attributeNameSize)
        : data(data), pos(begin), end(end), attribute(attributeName),
          attributeSize(attributeNameSize)
    {
    }

    // Checks that n bytes are left and returns where they start; the only place that
    // decides whether a read fits. Inline: every value of a class file passes here.
    const uchar* take(quint32 n, const char* what)
    {
        if (Q_UNLIKELY(n > bytesLeft()))
            fail(n, what);
        const uchar* p = data + pos;
        pos += int(n);
        return p;
    }
    // Out of line and cold: the message is built only here, off the path of every read.
    [[noreturn]] Q_DECL_COLD_FUNCTION void fail(quint32 n, const char* what) const;
    [[noreturn]] Q_DECL_COLD_FUNCTION void fail(quint32 n, const QString& what) const;
    [[noreturn]] Q_DECL_COLD_FUNCTION void failCount(quint32 count, quint32 minSize,
                                                     const char* what, qint64 shownCount) const;
    [[noreturn]] Q_DECL_COLD_FUNCTION void failWindow(quint32 length, const char* attributeName,
                                                      int attributeNameSize) const;
    QString place() const;

    // The first byte of the underlying array; offsets count from here.
    const uchar* data;
    int pos;
    int end;
    // The attribute this window holds; null for the whole file.
    const char* attribute = nullptr;
    int attributeSize = 0;
    QString attributeText; // the name when it was given as text
};
