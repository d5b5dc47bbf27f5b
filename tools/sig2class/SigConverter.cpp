#include "SigConverter.h"

#include "BadClassFileException.h"
#include "ByteReader.h"
#include "FileCheckLog.h"

#include <QList>
#include <QVector>

namespace {

const quint32 classFileMagic = 0xCAFEBABE;

const quint8 CONSTANT_Utf8 = 1;
const quint8 CONSTANT_Integer = 3;
const quint8 CONSTANT_Float = 4;
const quint8 CONSTANT_Long = 5;
const quint8 CONSTANT_Double = 6;
const quint8 CONSTANT_Class = 7;
const quint8 CONSTANT_String = 8;
const quint8 CONSTANT_Fieldref = 9;
const quint8 CONSTANT_Methodref = 10;
const quint8 CONSTANT_InterfaceMethodref = 11;
const quint8 CONSTANT_NameAndType = 12;
const quint8 CONSTANT_MethodHandle = 15;
const quint8 CONSTANT_MethodType = 16;
const quint8 CONSTANT_Dynamic = 17;
const quint8 CONSTANT_InvokeDynamic = 18;
const quint8 CONSTANT_Module = 19;
const quint8 CONSTANT_Package = 20;

const quint16 ACC_STATIC = 0x0008;
const quint16 ACC_NATIVE = 0x0100;
const quint16 ACC_ABSTRACT = 0x0400;

// max_stack, max_locals, code_length, the two code bytes, exception_table_length and
// attributes_count of the Code attribute that is added.
const quint32 addedCodeLength = 2 + 2 + 4 + 2 + 2 + 2;
const char aconst_null = char(0x01);
const char athrow = char(0xbf);

void appendU2(QByteArray& out, quint32 v)
{
    out.append(char((v >> 8) & 0xff));
    out.append(char(v & 0xff));
}

void appendU4(QByteArray& out, quint32 v)
{
    appendU2(out, v >> 16);
    appendU2(out, v & 0xffff);
}

[[noreturn]] void fail(const QString& message)
{
    throw BadClassFileException(QStringLiteral("Class file format error - %1").arg(message));
}

// The constant pool as far as the conversion needs it: each index's tag (0 for the second
// slot of a Long or Double) and the bytes of the Utf8 entries.
class Pool
{
public:
    void read(ByteReader& in, quint16 count)
    {
        tags.fill(0, count); // index 0 stays unused
        utf8.resize(count);
        quint32 i = 1;
        while (i < count) {
            const quint8 tag = in.readU1("constant pool tag");
            tags[int(i)] = tag;
            switch (tag) {
            case CONSTANT_Utf8:
                utf8[int(i)] =
                    in.readBytes(in.readU2("CONSTANT_Utf8 length"), "CONSTANT_Utf8 bytes");
                break;
            case CONSTANT_Integer:
            case CONSTANT_Float:
                in.skip(4, "constant pool entry");
                break;
            case CONSTANT_Long:
            case CONSTANT_Double:
                in.skip(8, "constant pool entry");
                // The entry takes two indexes; the second must still be inside the pool.
                if (i + 1 >= count)
                    fail(QStringLiteral("the 8-byte constant at index %1 has no room for its "
                                        "second slot in a pool of count %2")
                             .arg(i)
                             .arg(count));
                ++i;
                break;
            case CONSTANT_Class:
            case CONSTANT_String:
            case CONSTANT_MethodType:
            case CONSTANT_Module:
            case CONSTANT_Package:
                in.skip(2, "constant pool entry");
                break;
            case CONSTANT_Fieldref:
            case CONSTANT_Methodref:
            case CONSTANT_InterfaceMethodref:
            case CONSTANT_NameAndType:
            case CONSTANT_Dynamic:
            case CONSTANT_InvokeDynamic:
                in.skip(4, "constant pool entry");
                break;
            case CONSTANT_MethodHandle:
                in.skip(3, "constant pool entry");
                break;
            default:
                fail(QStringLiteral("unknown constant pool tag (%1) at index %2").arg(tag).arg(i));
            }
            ++i;
        }
    }

    // The bytes of the Utf8 entry at index; fails naming label when there is none.
    QByteArray utf8At(quint16 index, const QString& label) const
    {
        if (index == 0 || index >= tags.size())
            fail(QStringLiteral("%1 index (%2) does not exist").arg(label).arg(index));
        if (tags[index] != CONSTANT_Utf8)
            fail(QStringLiteral("%1 index (%2) does not point to a CONSTANT_Utf8 entry")
                     .arg(label)
                     .arg(index));
        return utf8[index];
    }

    // The first Utf8 entry with exactly these bytes, or 0.
    quint16 findUtf8(const QByteArray& text) const
    {
        for (int i = 1; i < tags.size(); ++i)
            if (tags[i] == CONSTANT_Utf8 && utf8[i] == text)
                return quint16(i);
        return 0;
    }

private:
    QVector<quint8> tags;
    QVector<QByteArray> utf8;
};

QString shown(const QByteArray& utf8)
{
    return FileCheckLog::abbreviate(QString::fromUtf8(utf8));
}

// Walks one attribute table and tells whether it holds a Code attribute. Every attribute is
// skipped as a whole by its length, so its content is never interpreted.
// The table's attribute count goes to *countOut when asked for.
bool readAttributeTable(ByteReader& in, const Pool& pool, const QString& owner,
                        quint16* countOut = nullptr)
{
    const quint16 count = in.readU2("attributes_count");
    if (countOut)
        *countOut = count;
    // An attribute is at least its name index and its length.
    in.checkCount(count, 6, "attributes_count");
    bool hasCode = false;
    for (quint16 k = 0; k < count; ++k) {
        const QByteArray name = pool.utf8At(in.readU2("attribute_name_index"),
                                            QStringLiteral("%1 Attr[%2]").arg(owner).arg(k));
        const quint32 length = in.readU4("attribute_length");
        in.window(length, QString::fromUtf8(name));
        if (name == "Code")
            hasCode = true;
    }
    return hasCode;
}

// One field type starting at pos; returns the position after it, or -1.
int fieldTypeEnd(const QByteArray& d, int pos)
{
    int dimensions = 0;
    while (pos < d.size() && d[pos] == '[') {
        // The format allows at most 255 array dimensions.
        if (++dimensions > 255)
            return -1;
        ++pos;
    }
    if (pos >= d.size())
        return -1;
    switch (d[pos]) {
    case 'B':
    case 'C':
    case 'D':
    case 'F':
    case 'I':
    case 'J':
    case 'S':
    case 'Z':
        return pos + 1;
    case 'L': {
        const int semicolon = d.indexOf(';', pos + 1);
        if (semicolon < 0 || semicolon == pos + 1)
            return -1;
        return semicolon + 1;
    }
    default:
        return -1;
    }
}

// A method of the file: where its entry lies and what its conversion adds.
struct MethodEntry
{
    int start = 0;           // its access_flags
    int attributesStart = 0; // the first attribute, after attributes_count
    int end = 0;
    quint16 attributeCount = 0;
    bool needsCode = false;
    quint16 maxLocals = 0;
};

QByteArray convertOrThrow(const QByteArray& sig)
{
    ByteReader in(sig);
    const quint32 magic = in.readU4("magic");
    if (magic != classFileMagic)
        throw BadClassFileException(
            QStringLiteral("Not a Java class file - bad magic (0x%1)").arg(magic, 0, 16));
    in.readU2("minor_version");
    in.readU2("major_version");
    const int poolCountAt = in.offset();
    const quint16 poolCount = in.readU2("constant_pool_count");
    if (poolCount == 0)
        fail(QStringLiteral("constant_pool_count is 0; it counts from 1"));
    Pool pool;
    pool.read(in, poolCount);
    const int poolEnd = in.offset();

    in.readU2("access_flags");
    in.readU2("this_class");
    in.readU2("super_class");
    const quint16 interfaceCount = in.readU2("interfaces_count");
    in.checkCount(interfaceCount, 2, "interfaces_count");
    in.skip(quint32(interfaceCount) * 2, "interfaces");

    const quint16 fieldCount = in.readU2("fields_count");
    // A member is at least its flags, name, descriptor and attribute count.
    in.checkCount(fieldCount, 8, "fields_count");
    for (quint16 k = 0; k < fieldCount; ++k) {
        in.readU2("field access_flags");
        const QString label = QStringLiteral("Field[%1]").arg(k);
        pool.utf8At(in.readU2("field name_index"), label);
        pool.utf8At(in.readU2("field descriptor_index"), label + QStringLiteral(" descriptor"));
        readAttributeTable(in, pool, label);
    }

    const quint16 methodCount = in.readU2("methods_count");
    in.checkCount(methodCount, 8, "methods_count");
    const int methodsStart = in.offset();
    QList<MethodEntry> methods;
    bool anyNeedsCode = false;
    for (quint16 k = 0; k < methodCount; ++k) {
        MethodEntry m;
        m.start = in.offset();
        const quint16 flags = in.readU2("method access_flags");
        const QString label = QStringLiteral("Method[%1]").arg(k);
        const QByteArray name = pool.utf8At(in.readU2("method name_index"), label);
        const QByteArray descriptor = pool.utf8At(in.readU2("method descriptor_index"),
                                                  label + QStringLiteral(" descriptor"));
        m.attributesStart = in.offset() + 2; // after attributes_count
        const bool hasCode = readAttributeTable(in, pool, label, &m.attributeCount);
        m.end = in.offset();

        const int slots = SigConverter::parameterSlots(descriptor);
        if (slots < 0)
            fail(QStringLiteral("%1 (%2) has a malformed descriptor %3")
                     .arg(label, shown(name), shown(descriptor)));
        const int locals = slots + ((flags & ACC_STATIC) ? 0 : 1);
        if (locals > SigConverter::maxLocals)
            fail(QStringLiteral("%1 (%2) needs %3 local slots for its parameters; at most %4 "
                                "are allowed")
                     .arg(label, shown(name))
                     .arg(locals)
                     .arg(SigConverter::maxLocals));
        m.needsCode = !(flags & (ACC_ABSTRACT | ACC_NATIVE)) && !hasCode;
        if (m.needsCode && m.attributeCount == 0xffff)
            fail(
                QStringLiteral("%1 (%2) has no room for a Code attribute").arg(label, shown(name)));
        m.maxLocals = quint16(locals);
        anyNeedsCode = anyNeedsCode || m.needsCode;
        methods.append(m);
    }
    const int methodsEnd = in.offset();

    readAttributeTable(in, pool, QStringLiteral("class"));
    if (!in.atEnd())
        fail(QStringLiteral("%1 bytes follow the class attributes at offset %2")
                 .arg(in.bytesLeft())
                 .arg(in.offset()));

    if (!anyNeedsCode)
        return sig;

    quint16 codeName = pool.findUtf8(QByteArrayLiteral("Code"));
    QByteArray addedEntry;
    quint16 newPoolCount = poolCount;
    if (codeName == 0) {
        if (poolCount == 0xffff)
            fail(QStringLiteral("the constant pool is full; no room for a \"Code\" entry"));
        // The new entry goes after all others, so every existing index keeps its meaning.
        codeName = poolCount;
        newPoolCount = quint16(poolCount + 1);
        addedEntry.append(char(CONSTANT_Utf8));
        appendU2(addedEntry, 4);
        addedEntry.append("Code");
    }

    QByteArray out;
    out.reserve(sig.size() + addedEntry.size() + methods.size() * int(6 + addedCodeLength));
    out.append(sig.constData(), poolCountAt);
    appendU2(out, newPoolCount);
    out.append(sig.constData() + poolCountAt + 2, poolEnd - poolCountAt - 2);
    out.append(addedEntry);
    out.append(sig.constData() + poolEnd, methodsStart - poolEnd);
    for (const MethodEntry& m : methods) {
        // Flags, name and descriptor as they were.
        out.append(sig.constData() + m.start, 6);
        appendU2(out, m.attributeCount + (m.needsCode ? 1 : 0));
        out.append(sig.constData() + m.attributesStart, m.end - m.attributesStart);
        if (!m.needsCode)
            continue;
        appendU2(out, codeName);
        appendU4(out, addedCodeLength);
        appendU2(out, 1); // max_stack: the null that is thrown
        appendU2(out, m.maxLocals);
        appendU4(out, 2);
        out.append(aconst_null);
        out.append(athrow);
        appendU2(out, 0); // exception_table_length
        appendU2(out, 0); // attributes_count
    }
    out.append(sig.constData() + methodsEnd, sig.size() - methodsEnd);
    return out;
}

} // namespace

int SigConverter::parameterSlots(const QByteArray& descriptor)
{
    if (descriptor.isEmpty() || descriptor[0] != '(')
        return -1;
    int pos = 1;
    int slots = 0;
    while (pos < descriptor.size() && descriptor[pos] != ')') {
        const int end = fieldTypeEnd(descriptor, pos);
        if (end < 0)
            return -1;
        const bool wide = end == pos + 1 && (descriptor[pos] == 'J' || descriptor[pos] == 'D');
        slots += wide ? 2 : 1;
        pos = end;
    }
    if (pos >= descriptor.size())
        return -1;
    ++pos; // ')'
    if (pos == descriptor.size() - 1 && descriptor[pos] == 'V')
        return slots;
    return fieldTypeEnd(descriptor, pos) == descriptor.size() ? slots : -1;
}

QByteArray SigConverter::convert(const QByteArray& sig, QString* error)
{
    try {
        return convertOrThrow(sig);
    } catch (const BadClassFileException& e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return QByteArray();
    }
}
