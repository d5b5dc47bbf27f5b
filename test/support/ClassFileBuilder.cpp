#include "ClassFileBuilder.h"

ClassFileBuilder::ClassFileBuilder(const QString& className, const QString& parentName)
{
    thisClass = classEntry(className);
    superClass = parentName.isEmpty() ? 0 : classEntry(parentName);
}

QByteArray ClassFileBuilder::u1(quint32 v)
{
    return QByteArray(1, char(v & 0xFF));
}

QByteArray ClassFileBuilder::u2(quint32 v)
{
    return u1(v >> 8) + u1(v);
}

QByteArray ClassFileBuilder::u4(quint32 v)
{
    return u2(v >> 16) + u2(v);
}

quint16 ClassFileBuilder::raw(const QByteArray& bytes, int n)
{
    const quint16 index = nextIndex();
    pool += bytes;
    slots += n;
    return index;
}

quint16 ClassFileBuilder::utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return raw(u1(1) + u2(quint32(bytes.size())) + bytes);
}

quint16 ClassFileBuilder::integer(qint32 value)
{
    return raw(u1(3) + u4(quint32(value)));
}

quint16 ClassFileBuilder::longEntry(qint64 value)
{
    return raw(u1(5) + u4(quint32(quint64(value) >> 32)) + u4(quint32(value)), 2);
}

quint16 ClassFileBuilder::classEntry(const QString& name)
{
    return classEntryAt(utf8(name));
}

quint16 ClassFileBuilder::classEntryAt(quint16 nameIndex)
{
    return raw(u1(7) + u2(nameIndex));
}

quint16 ClassFileBuilder::nameAndType(const QString& name, const QString& descriptor)
{
    const quint16 nameIndex = utf8(name);
    const quint16 descriptorIndex = utf8(descriptor);
    return nameAndTypeAt(nameIndex, descriptorIndex);
}

quint16 ClassFileBuilder::nameAndTypeAt(quint16 nameIndex, quint16 descriptorIndex)
{
    return raw(u1(12) + u2(nameIndex) + u2(descriptorIndex));
}

quint16 ClassFileBuilder::refAt(quint8 tag, quint16 classIndex, quint16 nameAndTypeIndex)
{
    return raw(u1(tag) + u2(classIndex) + u2(nameAndTypeIndex));
}

quint16 ClassFileBuilder::fieldref(const QString& owner, const QString& name,
                                   const QString& descriptor)
{
    const quint16 c = classEntry(owner);
    const quint16 nt = nameAndType(name, descriptor);
    return refAt(9, c, nt);
}

quint16 ClassFileBuilder::methodref(const QString& owner, const QString& name,
                                    const QString& descriptor)
{
    const quint16 c = classEntry(owner);
    const quint16 nt = nameAndType(name, descriptor);
    return refAt(10, c, nt);
}

quint16 ClassFileBuilder::interfaceMethodref(const QString& owner, const QString& name,
                                             const QString& descriptor)
{
    const quint16 c = classEntry(owner);
    const quint16 nt = nameAndType(name, descriptor);
    return refAt(11, c, nt);
}

QByteArray ClassFileBuilder::attributeAt(quint16 nameIndex, const QByteArray& content,
                                         qint64 length)
{
    return u2(nameIndex) + u4(quint32(length < 0 ? content.size() : length)) + content;
}

QByteArray ClassFileBuilder::attribute(const QString& name, const QByteArray& content,
                                       qint64 length)
{
    return attributeAt(utf8(name), content, length);
}

QByteArray ClassFileBuilder::code(const QByteArray& bytecode, const QList<QByteArray>& attributes)
{
    QByteArray content = u2(4) + u2(4) + u4(quint32(bytecode.size())) + bytecode + u2(0);
    content += u2(quint32(attributes.size()));
    for (const QByteArray& a : attributes)
        content += a;
    return attribute(QStringLiteral("Code"), content);
}

QByteArray ClassFileBuilder::member(quint16 flags, quint16 nameIndex, quint16 descriptorIndex,
                                    const QList<QByteArray>& attributes)
{
    QByteArray bytes = u2(flags) + u2(nameIndex) + u2(descriptorIndex);
    bytes += u2(quint32(attributes.size()));
    for (const QByteArray& a : attributes)
        bytes += a;
    return bytes;
}

void ClassFileBuilder::addField(quint16 flags, const QString& name, const QString& descriptor,
                                const QList<QByteArray>& attributes)
{
    const quint16 n = utf8(name);
    const quint16 d = utf8(descriptor);
    fields.append(member(flags, n, d, attributes));
}

void ClassFileBuilder::addMethod(quint16 flags, const QString& name, const QString& descriptor,
                                 const QList<QByteArray>& attributes)
{
    const quint16 n = utf8(name);
    const quint16 d = utf8(descriptor);
    methods.append(member(flags, n, d, attributes));
}

void ClassFileBuilder::addCodeMethod(const QByteArray& bytecode, const QString& name)
{
    addMethod(0x0009, name, QStringLiteral("()V"), {code(bytecode)});
}

QByteArray ClassFileBuilder::build() const
{
    QByteArray bytes = u4(0xCAFEBABE) + u2(minorVersion) + u2(majorVersion);
    bytes += u2(quint32(poolCount < 0 ? slots + 1 : poolCount)) + pool;
    bytes += u2(accessFlags) + u2(thisClass) + u2(superClass);
    bytes += u2(quint32(interfaces.size()));
    for (quint16 i : interfaces)
        bytes += u2(i);
    bytes += u2(quint32(fields.size()));
    for (const QByteArray& f : fields)
        bytes += f;
    bytes += u2(quint32(methods.size()));
    for (const QByteArray& m : methods)
        bytes += m;
    bytes += u2(quint32(classAttributes.size()));
    for (const QByteArray& a : classAttributes)
        bytes += a;
    return bytes;
}
