#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

// Builds class files byte by byte for the reader tests, so that each malformed case can be
// written as a valid file with one thing wrong. Constant-pool entries are appended in call order
// and their indexes returned; nothing is checked, so any index or length can be written.
//
// A new builder holds the Class entries of its own class ("test/Sample") and of its parent
// ("java/lang/Object"), which thisClass and superClass name.
class ClassFileBuilder
{
public:
    ClassFileBuilder(const QString& className = QStringLiteral("test/Sample"),
                     const QString& parentName = QStringLiteral("java/lang/Object"));

    // Big-endian encodings.
    static QByteArray u1(quint32 v);
    static QByteArray u2(quint32 v);
    static QByteArray u4(quint32 v);

    // Constant-pool entries; each returns the index of the entry it adds.
    quint16 utf8(const QString& text);
    quint16 integer(qint32 value);
    quint16 longEntry(qint64 value); // takes two indexes
    quint16 classEntry(const QString& name);
    quint16 classEntryAt(quint16 nameIndex);
    quint16 nameAndType(const QString& name, const QString& descriptor);
    quint16 nameAndTypeAt(quint16 nameIndex, quint16 descriptorIndex);
    quint16 fieldref(const QString& owner, const QString& name, const QString& descriptor);
    quint16 methodref(const QString& owner, const QString& name, const QString& descriptor);
    quint16 interfaceMethodref(const QString& owner, const QString& name,
                               const QString& descriptor);
    // A Fieldref (9), Methodref (10) or InterfaceMethodref (11) with raw indexes.
    quint16 refAt(quint8 tag, quint16 classIndex, quint16 nameAndTypeIndex);
    // Any bytes as one entry taking the given number of indexes.
    quint16 raw(const QByteArray& bytes, int slots = 1);
    // The index that the next entry will get.
    quint16 nextIndex() const { return quint16(slots + 1); }

    // An attribute with the given name and content; length is the content's size unless given.
    QByteArray attribute(const QString& name, const QByteArray& content, qint64 length = -1);
    QByteArray attributeAt(quint16 nameIndex, const QByteArray& content, qint64 length = -1);
    // A Code attribute around the bytecode, with an empty exception table.
    QByteArray code(const QByteArray& bytecode, const QList<QByteArray>& attributes = {});

    // A field or method entry.
    static QByteArray member(quint16 flags, quint16 nameIndex, quint16 descriptorIndex,
                             const QList<QByteArray>& attributes = {});
    void addField(quint16 flags, const QString& name, const QString& descriptor,
                  const QList<QByteArray>& attributes = {});
    void addMethod(quint16 flags, const QString& name, const QString& descriptor,
                   const QList<QByteArray>& attributes = {});
    // A static method "run" with the given bytecode.
    void addCodeMethod(const QByteArray& bytecode, const QString& name = QStringLiteral("run"));

    // The whole file.
    QByteArray build() const;

    quint16 minorVersion = 0;
    quint16 majorVersion = 52;
    int poolCount = -1; // the written constant_pool_count; -1 for the real one
    quint16 accessFlags = 0x0021;
    quint16 thisClass;
    quint16 superClass;
    QList<quint16> interfaces;
    QList<QByteArray> fields;
    QList<QByteArray> methods;
    QList<QByteArray> classAttributes;

private:
    QByteArray pool;
    int slots = 0;
};
