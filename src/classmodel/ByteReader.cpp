#include "ByteReader.h"

#include "BadClassFileException.h"
#include "FileCheckLog.h"

#include <cstring>

ByteReader::ByteReader(const QByteArray& data)
    : ByteReader(reinterpret_cast<const uchar*>(data.constData()), 0, data.size(), nullptr, 0)
{
}

QString ByteReader::place() const
{
    if (!attributeText.isNull())
        return QStringLiteral("the \"%1\" attribute").arg(FileCheckLog::abbreviate(attributeText));
    if (!attribute)
        return QStringLiteral("the class file");
    return QStringLiteral("the \"%1\" attribute")
        .arg(FileCheckLog::abbreviate(QString::fromUtf8(attribute, attributeSize)));
}

void ByteReader::fail(quint32 n, const QString& what) const
{
    throw BadClassFileException(
        QStringLiteral("Class file format error - %1 at offset %2 needs %3 bytes but only %4 are "
                       "left in %5")
            .arg(what)
            .arg(pos)
            .arg(n)
            .arg(bytesLeft())
            .arg(place()));
}

void ByteReader::fail(quint32 n, const char* what) const
{
    fail(n, QString(QLatin1String(what)));
}

quint8 ByteReader::peekU1(const char* what) const
{
    if (bytesLeft() < 1)
        fail(1, what);
    return data[pos];
}

qint64 ByteReader::readI8(const char* what)
{
    const uchar* p = take(8, what);
    quint64 v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return qint64(v);
}

float ByteReader::readFloat(const char* what)
{
    const quint32 bits = readU4(what);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double ByteReader::readDouble(const char* what)
{
    const quint64 bits = quint64(readI8(what));
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

QByteArray ByteReader::readBytes(quint32 length, const char* what)
{
    const uchar* p = take(length, what);
    return QByteArray(reinterpret_cast<const char*>(p), int(length));
}

void ByteReader::failWindow(quint32 length, const char* attributeName, int attributeNameSize) const
{
    fail(length,
         QStringLiteral("\"%1\" attribute")
             .arg(FileCheckLog::abbreviate(QString::fromUtf8(attributeName, attributeNameSize))));
}

ByteReader ByteReader::window(quint32 length, const QString& attributeName)
{
    if (length > bytesLeft())
        fail(length,
             QStringLiteral("\"%1\" attribute").arg(FileCheckLog::abbreviate(attributeName)));
    const int begin = pos;
    pos += int(length);
    ByteReader reader(data, begin, pos, nullptr, 0);
    reader.attributeText = attributeName;
    return reader;
}

void ByteReader::failCount(quint32 count, quint32 minSize, const char* what,
                           qint64 shownCount) const
{
    throw BadClassFileException(
        QStringLiteral("Class file format error - %1 (%2) at offset %3 needs at least %4 "
                       "bytes but only %5 are left in %6")
            .arg(QLatin1String(what))
            .arg(shownCount < 0 ? qint64(count) : shownCount)
            .arg(pos)
            .arg(quint64(count) * minSize)
            .arg(bytesLeft())
            .arg(place()));
}
