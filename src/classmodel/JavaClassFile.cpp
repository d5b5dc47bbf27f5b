#include "JavaClassFile.h"

#include "BadClassFileException.h"
#include "ByteReader.h"
#include "DependencyExtractor.h"
#include "Opcode.h"

#include <QDataStream>
#include <QIODevice>

#include <cstring>
#include <memory>
#include <type_traits>

namespace {

const quint32 classFileMagic = 0xCAFEBABE;

// Code attributes hold attribute tables of their own, which may hold Code attributes again.
// Real files nest one level; the limit keeps a hostile file from recursing the reader deep.
const int maxCodeNesting = 8;

// The smallest size that one record of each table takes in the file, used to check a count
// against the bytes left before anything is read for it.
const quint32 minPoolSlotSize = 3;  // a tag and a u16 (Class, or a Utf8 of length 0)
const quint32 minMemberSize = 8;    // flags, name, descriptor, attribute count
const quint32 minAttributeSize = 6; // name index and length
const quint32 minCodeSize = 18;     // and the fixed fields of a Code attribute

// The most room that the records of a member or an attribute take for each byte of it in the
// file (an empty SourceDebugExtension is 6 bytes, its record 24). The fixed part of each is
// its own, so the records of a table take at most this many bytes for each of the table's.
const size_t maxRecordRoomPerByte = 4;

enum class AttributeKind {
    ConstantValue,
    Code,
    Exceptions,
    InnerClasses,
    EnclosingMethod,
    SourceDebugExtension,
    LineNumberTable,
    LocalVariableTable,
    LocalVariableTypeTable,
    Empty,   // Synthetic, Deprecated: no content
    Skipped, // kept bare, content not read
    Unknown
};

constexpr int asciiSize(const char* text)
{
    int size = 0;
    while (text[size] != 0)
        ++size;
    return size;
}

struct NamedKind
{
    constexpr NamedKind(const char* name, AttributeKind kind)
        : name(name), size(asciiSize(name)), kind(kind)
    {
    }
    const char* name;
    int size;
    AttributeKind kind;
};

AttributeKind classifyAttribute(const CONSTANT_Utf8_info& name)
{
    // Ordered by how often the names occur in real files, the most common first.
    static constexpr NamedKind kinds[] = {
        {"Code", AttributeKind::Code},
        {"LineNumberTable", AttributeKind::LineNumberTable},
        {"StackMapTable", AttributeKind::Skipped},
        {"LocalVariableTable", AttributeKind::LocalVariableTable},
        {"Signature", AttributeKind::ConstantValue},
        {"Exceptions", AttributeKind::Exceptions},
        {"RuntimeVisibleAnnotations", AttributeKind::Skipped},
        {"LocalVariableTypeTable", AttributeKind::LocalVariableTypeTable},
        {"SourceFile", AttributeKind::ConstantValue},
        {"InnerClasses", AttributeKind::InnerClasses},
        {"ConstantValue", AttributeKind::ConstantValue},
        {"MethodParameters", AttributeKind::Skipped},
        {"Deprecated", AttributeKind::Empty},
        {"Synthetic", AttributeKind::Empty},
        {"EnclosingMethod", AttributeKind::EnclosingMethod},
        {"BootstrapMethods", AttributeKind::Skipped},
        {"RuntimeInvisibleAnnotations", AttributeKind::Skipped},
        {"RuntimeVisibleParameterAnnotations", AttributeKind::Skipped},
        {"RuntimeInvisibleParameterAnnotations", AttributeKind::Skipped},
        {"AnnotationDefault", AttributeKind::Skipped},
        {"RuntimeVisibleTypeAnnotations", AttributeKind::Skipped},
        {"RuntimeInvisibleTypeAnnotations", AttributeKind::Skipped},
        {"SourceDebugExtension", AttributeKind::SourceDebugExtension},
    };
    // The names are ASCII, so the bytes of the file are compared as they stand; the size and
    // the first letter, known in advance, rule out nearly every other name before a compare.
    const char* bytes = name.bytes();
    for (const NamedKind& k : kinds) {
        if (k.size == name.length && bytes[0] == k.name[0] &&
            std::memcmp(bytes, k.name, size_t(k.size)) == 0)
            return k.kind;
    }
    return AttributeKind::Unknown;
}

static_assert(sizeof(CONSTANT_Utf8_info) == 4, "the kind note fills padding");

template <typename T> constexpr bool fitsRoomPerByte(quint32 minSize)
{
    return RecordStorage::slotSize<T>() <= maxRecordRoomPerByte * minSize;
}

static_assert(fitsRoomPerByte<field_info>(minMemberSize) &&
                  fitsRoomPerByte<method_info>(minMemberSize) &&
                  fitsRoomPerByte<Code_attribute>(minCodeSize) &&
                  fitsRoomPerByte<attribute_info>(minAttributeSize) &&
                  fitsRoomPerByte<ConstantValue_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<Exceptions_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<InnerClasses_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<EnclosingMethod_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<SourceDebugExtension_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<LineNumberTable_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<LocalVariableTable_attribute>(minAttributeSize) &&
                  fitsRoomPerByte<LocalVariableTypeTable_attribute>(minAttributeSize),
              "a record may not fit the room set aside for it");

// The kind of attribute that the text names, worked out once per text.
AttributeKind attributeKind(const CONSTANT_Utf8_info& name)
{
    if (name.attributeKind == 0)
        name.attributeKind = quint8(int(classifyAttribute(name)) + 1);
    return AttributeKind(name.attributeKind - 1);
}

int permissionOf(quint16 flags)
{
    if (flags & ACC_PUBLIC)
        return 2;
    if (flags & ACC_PROTECTED)
        return 1;
    if (flags & ACC_PRIVATE)
        return 0;
    return 3;
}

QString formatError(const QString& label, unsigned short index, const QString& problem)
{
    return QStringLiteral("Class file format error - %1 index (%2) %3")
        .arg(label)
        .arg(index)
        .arg(problem);
}

// Checks a pool index like JavaClassFile::cptest, but builds the label naming the place only
// when the check fails: reading a sound file composes no message text. Returns the entry.
template <typename Label>
const cp_info* checkIndex(const JavaClassFile& file, unsigned char tag, unsigned short index,
                          Label label)
{
    if (index == 0 || index > file.constant_pool.size() ||
        file.constant_pool.at(index - 1)->tag != tag)
        file.cptest(label(), tag, index);
    return file.constant_pool.at(index - 1);
}

} // namespace

JavaClassFile::JavaClassFile() = default;

JavaClassFile::~JavaClassFile()
{
    for (field_info* field : qAsConst(fields))
        releaseMember(field);
    for (method_info* method : qAsConst(methods))
        releaseMember(method);
    releaseAttributes(attributes);
    // The constant-pool entries are plain data in poolStorage, which frees them; the storage of
    // the other records goes with records.
}

JavaClassFile* JavaClassFile::create(const QByteArray& bytes)
{
    JavaClassFile* file = new JavaClassFile;
    // The bytes are read where they are, without a stream and a copy in between.
    file->readBytes(bytes);
    return file;
}

// ---------------------------------------------------------------------------------------------
// Reading

void JavaClassFile::read(QDataStream& in)
{
    in.setByteOrder(QDataStream::BigEndian);
    // The reader works on the bytes themselves, so that every read can be checked against
    // what is left; the stream only delivers them. readAll allocates no more than it holds.
    readBytes(in.device() ? in.device()->readAll() : QByteArray());
}

void JavaClassFile::readBytes(const QByteArray& bytes)
{
    ByteReader reader(bytes);
    readSize = bytes.size();
    try {
        readClassFile(reader);
    } catch (const BadClassFileException& e) {
        checkLog.error(QString::fromLocal8Bit(e.what()));
        return;
    }
    DependencyExtractor(*this).run(DependencyExtractor::Check);
    dependenciesPending = true;
}

void JavaClassFile::readClassFile(ByteReader& in)
{
    // A file too short to hold a magic number is not a class file; report it as such.
    magic = in.bytesLeft() < 4 ? 0 : in.readU4("magic");
    if (magic != classFileMagic)
        throw BadClassFileException(QStringLiteral("Not a Java class file - bad magic (0x%1)")
                                        .arg(QString::number(magic, 16)));
    minor_version = in.readU2("minor_version");
    major_version = in.readU2("major_version");
    readConstantPool(in);
    access_flags = in.readU2("access_flags");
    this_class = in.readU2("this_class");
    super_class = in.readU2("super_class");

    // The queries resolve these without asking; a file whose own name or parent does not
    // resolve is rejected here rather than answered with a made-up name.
    cptest(QStringLiteral("this_class"), CONSTANT_Class, this_class);
    cptest(QStringLiteral("this_class name"), CONSTANT_Utf8,
           static_cast<const CONSTANT_Class_info*>(entryAt(this_class))->name_index);
    if (super_class != 0) {
        cptest(QStringLiteral("super_class"), CONSTANT_Class, super_class);
        cptest(QStringLiteral("super_class name"), CONSTANT_Utf8,
               static_cast<const CONSTANT_Class_info*>(entryAt(super_class))->name_index);
    }

    readInterfaces(in);
    // The records of the tables ahead take at most maxRecordRoomPerByte bytes for each byte
    // of them; the storage is cut to what they take once they have been read.
    records.reserve(maxRecordRoomPerByte * in.bytesLeft());
    readFields(in);
    readMethods(in);
    attributes = readAttributes(in);
    fitRecords();
}

// ---------------------------------------------------------------------------------------------
// The constant pool

namespace {

// The most room that one slot of the pool takes besides a text: its record, placed at the next
// multiple of its alignment (which the storage's start is as well). A Long or Double takes two
// slots, its record and a placeholder.
const size_t maxSlotRoom = 12;

template <typename T> constexpr size_t worstRoom()
{
    return sizeof(T) + alignof(T) - 1;
}

static_assert(worstRoom<CONSTANT_Utf8_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_Integer_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_Float_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_Class_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_String_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_Fieldref_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_NameAndType_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_MethodHandle_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_MethodType_info>() <= maxSlotRoom &&
                  worstRoom<CONSTANT_InvokeDynamic_info>() <= maxSlotRoom,
              "a one-slot record may not fit its slot's room");
static_assert(worstRoom<CONSTANT_Long_info>() + worstRoom<cp_info>() <= 2 * maxSlotRoom &&
                  worstRoom<CONSTANT_Double_info>() + worstRoom<cp_info>() <= 2 * maxSlotRoom,
              "a two-slot record may not fit its slots' room");

// Places the entries of one constant pool in its storage one after the other, each Utf8 record
// followed by its text, and lists them in the pool in file order. The storage is sized for the
// worst case; the check keeps it safe should an entry get past that all the same.
class PoolPlacer
{
public:
    PoolPlacer(char* storage, size_t size, QList<cp_info*>& pool)
        : storage(storage), end(size), pool(pool)
    {
    }

    // Where the entry with index i goes, when its record is of type T and extra bytes follow
    // it; the room is taken.
    template <typename T> char* claim(quint32 i, size_t extra = 0)
    {
        const size_t at = (next + alignof(T) - 1) / alignof(T) * alignof(T);
        if (at > end || end - at < sizeof(T) + extra)
            doesNotFit(i);
        next = at + sizeof(T) + extra;
        return storage + at;
    }

    // Constructs the record of type T for the entry with index i, at where when given.
    template <typename T> T* place(quint8 tag, quint32 i, char* where = nullptr)
    {
        T* record = new (where ? where : claim<T>(i)) T;
        record->tag = tag;
        pool.append(record);
        return record;
    }

    // The bytes that the entries take.
    size_t used() const { return next; }

private:
    [[noreturn]] static void doesNotFit(quint32 i)
    {
        throw BadClassFileException(
            QStringLiteral("Class file format error - constant pool entry %1 does not fit").arg(i));
    }

    char* const storage;
    size_t next = 0;
    const size_t end;
    QList<cp_info*>& pool;
};

// The readers of the entries by kind. Each reads the payload after the tag and only then places
// the record: an entry whose payload is cut is not in the pool.

void readUtf8Entry(ByteReader& in, PoolPlacer& out, quint32 i)
{
    const quint16 length = in.readU2("CONSTANT_Utf8 length");
    const char* text = in.readSpan(length, "CONSTANT_Utf8 bytes");
    char* at = out.claim<CONSTANT_Utf8_info>(i, length);
    std::memcpy(at + sizeof(CONSTANT_Utf8_info), text, length);
    out.place<CONSTANT_Utf8_info>(CONSTANT_Utf8, i, at)->length = length;
}

void readNumberEntry(ByteReader& in, PoolPlacer& out, quint8 tag, quint32 i)
{
    switch (tag) {
    case CONSTANT_Integer: {
        const qint32 value = in.readI4("CONSTANT_Integer value");
        out.place<CONSTANT_Integer_info>(tag, i)->value = value;
        break;
    }
    case CONSTANT_Float: {
        const float value = in.readFloat("CONSTANT_Float value");
        out.place<CONSTANT_Float_info>(tag, i)->value = value;
        break;
    }
    case CONSTANT_Long: {
        const qint64 value = in.readI8("CONSTANT_Long value");
        out.place<CONSTANT_Long_info>(tag, i)->value = value;
        break;
    }
    default: {
        const double value = in.readDouble("CONSTANT_Double value");
        out.place<CONSTANT_Double_info>(tag, i)->value = value;
        break;
    }
    }
}

// Class, String and MethodType: one index each.
void readIndexEntry(ByteReader& in, PoolPlacer& out, quint8 tag, quint32 i)
{
    switch (tag) {
    case CONSTANT_Class: {
        const quint16 name = in.readU2("CONSTANT_Class name_index");
        out.place<CONSTANT_Class_info>(tag, i)->name_index = name;
        break;
    }
    case CONSTANT_String: {
        const quint16 string = in.readU2("CONSTANT_String string_index");
        out.place<CONSTANT_String_info>(tag, i)->string_index = string;
        break;
    }
    default: {
        const quint16 descriptor = in.readU2("CONSTANT_MethodType descriptor_index");
        out.place<CONSTANT_MethodType_info>(tag, i)->descriptor_index = descriptor;
        break;
    }
    }
}

// The member references, NameAndType, MethodHandle and InvokeDynamic: two parts each.
void readPairEntry(ByteReader& in, PoolPlacer& out, quint8 tag, quint32 i)
{
    if (tag == CONSTANT_NameAndType) {
        const quint16 name = in.readU2("CONSTANT_NameAndType name_index");
        const quint16 descriptor = in.readU2("CONSTANT_NameAndType descriptor_index");
        auto* e = out.place<CONSTANT_NameAndType_info>(tag, i);
        e->name_index = name;
        e->descriptor_index = descriptor;
    } else if (tag == CONSTANT_MethodHandle) {
        const quint8 kind = in.readU1("CONSTANT_MethodHandle reference_kind");
        const quint16 reference = in.readU2("CONSTANT_MethodHandle reference_index");
        auto* e = out.place<CONSTANT_MethodHandle_info>(tag, i);
        e->reference_kind = kind;
        e->reference_index = reference;
    } else if (tag == CONSTANT_InvokeDynamic) {
        const quint16 bootstrap = in.readU2("CONSTANT_InvokeDynamic bootstrap_method_attr_index");
        const quint16 nat = in.readU2("CONSTANT_InvokeDynamic name_and_type_index");
        auto* e = out.place<CONSTANT_InvokeDynamic_info>(tag, i);
        e->bootstrap_method_attr_index = bootstrap;
        e->name_and_type_index = nat;
    } else {
        const quint16 owner = in.readU2("member reference class_index");
        const quint16 nat = in.readU2("member reference name_and_type_index");
        auto* e = out.place<CONSTANT_Fieldref_info>(tag, i);
        e->class_index = owner;
        e->name_and_type_index = nat;
    }
}

// Reads the payload of the entry with index i, whose tag has been read, and places its record.
void readPoolEntry(ByteReader& in, PoolPlacer& out, quint8 tag, quint32 i)
{
    switch (tag) {
    case CONSTANT_Utf8:
        readUtf8Entry(in, out, i);
        return;
    case CONSTANT_Integer:
    case CONSTANT_Float:
    case CONSTANT_Long:
    case CONSTANT_Double:
        readNumberEntry(in, out, tag, i);
        return;
    case CONSTANT_Class:
    case CONSTANT_String:
    case CONSTANT_MethodType:
        readIndexEntry(in, out, tag, i);
        return;
    case CONSTANT_Fieldref:
    case CONSTANT_Methodref:
    case CONSTANT_InterfaceMethodref:
    case CONSTANT_NameAndType:
    case CONSTANT_MethodHandle:
    case CONSTANT_InvokeDynamic:
        readPairEntry(in, out, tag, i);
        return;
    default:
        throw BadClassFileException(
            QStringLiteral("Class file format error - unknown constant pool tag (%1)")
                .arg(uint(tag)));
    }
}

} // namespace

void JavaClassFile::readConstantPool(ByteReader& in)
{
    const quint16 count = in.readU2("constant_pool_count");
    if (count > 1)
        in.checkCount(count - 1, minPoolSlotSize, "constant_pool_count", count);

    // All entries and their texts go into one allocation. It is sized for the worst case, every
    // slot taking the most room and every byte left being text, and cut to what the entries
    // take once they have been read: looking over the pool first to size it exactly would cost
    // as much again as reading it.
    const size_t worstCase = maxSlotRoom * count + in.bytesLeft();
    poolStorage.reset(static_cast<char*>(std::malloc(worstCase == 0 ? 1 : worstCase)));
    if (!poolStorage)
        throw std::bad_alloc();
    constant_pool.reserve(count);
    PoolPlacer out(poolStorage.get(), worstCase, constant_pool);

    // Index i counts from 1; a Long or Double takes two indexes.
    for (quint32 i = 1; i < count; ++i) {
        const quint8 tag = in.readU1("constant pool tag");
        readPoolEntry(in, out, tag, i);
        if (tag == CONSTANT_Long || tag == CONSTANT_Double) {
            // Also after a Long or Double in the last slot, so the pool may hold one entry
            // more than the count promises; index checks then find the placeholder.
            out.place<cp_info>(CONSTANT_Placeholder, i);
            ++i;
        }
    }
    fitPoolStorage(out.used());
}

void JavaClassFile::fitPoolStorage(size_t used)
{
    // Where the block was, as a number: the entries are found again by their offsets in it.
    const quintptr from = reinterpret_cast<quintptr>(poolStorage.get());
    char* const fitted = static_cast<char*>(std::realloc(poolStorage.get(), used == 0 ? 1 : used));
    if (!fitted)
        return; // the larger block stays, and works as well
    poolStorage.release();
    poolStorage.reset(fitted);
    if (reinterpret_cast<quintptr>(fitted) == from)
        return;
    // The block moved while being cut (glibc does so only with large blocks that it maps
    // itself, ASan every time); the entries kept their offsets in it.
    for (cp_info*& entry : constant_pool)
        entry = reinterpret_cast<cp_info*>(fitted + (reinterpret_cast<quintptr>(entry) - from));
}

// ---------------------------------------------------------------------------------------------
// Interfaces, fields and methods

void JavaClassFile::readInterfaces(ByteReader& in)
{
    const quint16 count = in.readU2("interfaces_count");
    in.checkCount(count, 2, "interfaces_count");
    interfaces.reserve(count);
    for (quint16 k = 0; k < count; ++k) {
        const quint16 index = in.readU2("interface index");
        checkIndex(*this, CONSTANT_Class, index,
                   [k] { return QStringLiteral("interface[%1]").arg(k); });
        interfaces.append(constant_pool.at(index - 1));
    }
}

template <typename Member>
Member* JavaClassFile::readMember(ByteReader& in, const char* kind, int k)
{
    const auto label = [kind, k] {
        return QStringLiteral("%1[%2]").arg(QLatin1String(kind)).arg(k);
    };
    const quint16 flags = in.readU2("access_flags");
    const quint16 name = in.readU2("name_index");
    checkIndex(*this, CONSTANT_Utf8, name, label);
    const quint16 descriptor = in.readU2("descriptor_index");
    // The queries take a member's descriptor to be text; a file where it is not is rejected.
    checkIndex(*this, CONSTANT_Utf8, descriptor,
               [&label] { return QStringLiteral("%1 descriptor").arg(label()); });
    QList<attribute_info*> kept = readAttributes(in);
    // Made once its attributes have been read: a member cut short is not in the lists.
    Member* member = records.create<Member>();
    member->access_flags = flags;
    member->name_index = name;
    member->descriptor_index = descriptor;
    member->attributes = std::move(kept);
    return member;
}

void JavaClassFile::readFields(ByteReader& in)
{
    const quint16 count = in.readU2("fields_count");
    in.checkCount(count, minMemberSize, "fields_count");
    fields.reserve(count);
    for (quint16 k = 0; k < count; ++k)
        fields.append(readMember<field_info>(in, "Field", k));
}

void JavaClassFile::readMethods(ByteReader& in)
{
    const quint16 count = in.readU2("methods_count");
    in.checkCount(count, minMemberSize, "methods_count");
    methods.reserve(count);
    for (quint16 k = 0; k < count; ++k)
        methods.append(readMember<method_info>(in, "Method", k));
}

// ---------------------------------------------------------------------------------------------
// Attributes

namespace {

// One reader per attribute kind. Each reads its record from the attribute's own window and only
// then makes it; the caller checks that the window has been used up.

attribute_info* readConstantValue(ByteReader& body, RecordStorage& records)
{
    const quint16 index = body.readU2("constant pool index");
    auto* a = records.create<ConstantValue_attribute>();
    a->constantvalue_index = index;
    return a;
}

attribute_info* readExceptions(ByteReader& body, RecordStorage& records)
{
    const quint16 n = body.readU2("number_of_exceptions");
    body.checkCount(n, 2, "number_of_exceptions");
    QList<unsigned short> table;
    table.reserve(n);
    for (quint16 j = 0; j < n; ++j)
        table.append(body.readU2("exception index"));
    auto* a = records.create<Exceptions_attribute>();
    a->exception_index_table = std::move(table);
    return a;
}

attribute_info* readInnerClasses(ByteReader& body, RecordStorage& records)
{
    const quint16 n = body.readU2("number_of_classes");
    body.checkCount(n, 8, "number_of_classes");
    QList<InnerClasses_attribute::inner_class_t> classes;
    classes.reserve(n);
    for (quint16 j = 0; j < n; ++j) {
        InnerClasses_attribute::inner_class_t row;
        row.inner_class_info_index = body.readU2("inner_class_info_index");
        row.outer_class_info_index = body.readU2("outer_class_info_index");
        row.inner_name_index = body.readU2("inner_name_index");
        row.inner_class_access_flags = body.readU2("inner_class_access_flags");
        classes.append(row);
    }
    auto* a = records.create<InnerClasses_attribute>();
    a->classes = std::move(classes);
    return a;
}

attribute_info* readEnclosingMethod(ByteReader& body, RecordStorage& records)
{
    const quint16 classIndex = body.readU2("class_index");
    const quint16 methodIndex = body.readU2("method_index");
    auto* a = records.create<EnclosingMethod_attribute>();
    a->class_index = classIndex;
    a->method_index = methodIndex;
    return a;
}

attribute_info* readSourceDebugExtension(ByteReader& body, RecordStorage& records)
{
    QByteArray extension = body.readBytes(body.bytesLeft(), "debug_extension");
    auto* a = records.create<SourceDebugExtension_attribute>();
    a->debug_extension = std::move(extension);
    return a;
}

// Line numbers and local variables are checked like every table, but their rows are not kept:
// no query reads them, and they would be a large part of every class in memory. rowSize is the
// size of one row in the file.
template <typename Record>
attribute_info* readUnkeptTable(ByteReader& body, RecordStorage& records, quint32 rowSize,
                                const char* countName, const char* tableName)
{
    const quint16 n = body.readU2(countName);
    body.checkCount(n, rowSize, countName);
    body.skip(rowSize * n, tableName);
    return records.create<Record>();
}

// The kept attributes other than Code, by kind.
attribute_info* readAttributeBody(AttributeKind kind, ByteReader& body, RecordStorage& records)
{
    switch (kind) {
    case AttributeKind::ConstantValue:
        return readConstantValue(body, records);
    case AttributeKind::Exceptions:
        return readExceptions(body, records);
    case AttributeKind::InnerClasses:
        return readInnerClasses(body, records);
    case AttributeKind::EnclosingMethod:
        return readEnclosingMethod(body, records);
    case AttributeKind::SourceDebugExtension:
        return readSourceDebugExtension(body, records);
    case AttributeKind::LineNumberTable:
        return readUnkeptTable<LineNumberTable_attribute>(
            body, records, 4, "line_number_table_length", "line_number_table");
    case AttributeKind::LocalVariableTable:
        return readUnkeptTable<LocalVariableTable_attribute>(
            body, records, 10, "local_variable_table_length", "local_variable_table");
    case AttributeKind::LocalVariableTypeTable:
        return readUnkeptTable<LocalVariableTypeTable_attribute>(
            body, records, 10, "local_variable_type_table_length", "local_variable_type_table");
    case AttributeKind::Skipped:
        body.skip(body.bytesLeft(), "attribute content");
        return records.create<attribute_info>();
    default: // Empty: no content
        return records.create<attribute_info>();
    }
}

} // namespace

QList<attribute_info*> JavaClassFile::readAttributes(ByteReader& in, int depth)
{
    QList<attribute_info*> kept;
    try {
        const quint16 count = in.readU2("attributes_count");
        in.checkCount(count, minAttributeSize, "attributes_count");
        kept.reserve(count);
        for (quint16 k = 0; k < count; ++k) {
            const int start = in.offset();
            const quint16 nameIndex = in.readU2("attribute_name_index");
            const auto& name = *static_cast<const CONSTANT_Utf8_info*>(
                checkIndex(*this, CONSTANT_Utf8, nameIndex,
                           [k] { return QStringLiteral("Attr[%1]").arg(k); }));
            const quint32 length = in.readU4("attribute_length");
            // Each attribute is parsed inside a window of exactly its declared length, so a
            // lying count inside it cannot reach the attribute that follows.
            ByteReader body = in.window(length, name.bytes(), name.length);
            const AttributeKind kind = attributeKind(name);
            if (kind == AttributeKind::Unknown) {
                // Joined rather than formatted: classes from newer compilers carry attributes
                // that this reader does not know, many of them.
                checkLog.warning(QLatin1String("Unknown attribute - ") +
                                 FileCheckLog::abbreviate(name.value()));
                continue; // its window has been stepped over already
            }
            attribute_info* record = kind == AttributeKind::Code
                                         ? readCode(body, start, depth)
                                         : readAttributeBody(kind, body, records);
            // Named at once: releasing a record looks at its name to find what it holds.
            record->attribute_name_index = nameIndex;
            record->attribute_length = length;
            kept.append(record);
            // A structured attribute must fill its window exactly: when the length and the
            // content disagree, there is no telling which of them is right.
            if (!body.atEnd())
                throw BadClassFileException(
                    QStringLiteral("Class file format error - \"%1\" attribute at offset %2 "
                                   "declares %3 bytes but its content takes %4")
                        .arg(FileCheckLog::abbreviate(name.value()))
                        .arg(start)
                        .arg(length)
                        .arg(length - body.bytesLeft()));
        }
    } catch (...) {
        releaseAttributes(kept);
        throw;
    }
    return kept;
}

attribute_info* JavaClassFile::readCode(ByteReader& body, int start, int depth)
{
    if (depth >= maxCodeNesting)
        throw BadClassFileException(QStringLiteral("Class file format error - Code attribute at "
                                                   "offset %1 is nested more than %2 deep")
                                        .arg(start)
                                        .arg(maxCodeNesting));
    const quint16 maxStack = body.readU2("max_stack");
    const quint16 maxLocals = body.readU2("max_locals");
    const quint32 length = body.readU4("code_length");
    QByteArray code = body.readBytes(length, "code");
    const quint16 n = body.readU2("exception_table_length");
    body.checkCount(n, 8, "exception_table_length");
    QList<exception_t> exceptionTable;
    exceptionTable.reserve(n);
    for (quint16 j = 0; j < n; ++j) {
        exception_t row;
        row.start_pc = body.readU2("start_pc");
        row.end_pc = body.readU2("end_pc");
        row.handler_pc = body.readU2("handler_pc");
        row.catch_type = body.readU2("catch_type");
        exceptionTable.append(row);
    }
    QList<attribute_info*> nested = readAttributes(body, depth + 1);
    auto* record = records.create<Code_attribute>();
    record->max_stack = maxStack;
    record->max_locals = maxLocals;
    record->code_length = length;
    record->code = std::move(code);
    record->exception_table = std::move(exceptionTable);
    record->attributes = std::move(nested);
    return record;
}

bool JavaClassFile::isCodeRecord(const attribute_info* attribute) const
{
    // The reader makes a Code_attribute for every attribute whose name it finds to be a Code
    // attribute's, and names each record as soon as it is made.
    const auto* name = static_cast<const CONSTANT_Utf8_info*>(
        entryAt(attribute->attribute_name_index, CONSTANT_Utf8));
    return name && attributeKind(*name) == AttributeKind::Code;
}

void JavaClassFile::releaseAttributes(const QList<attribute_info*>& list)
{
    for (attribute_info* attribute : list) {
        if (isCodeRecord(attribute))
            releaseAttributes(static_cast<Code_attribute*>(attribute)->attributes);
        records.release(attribute);
    }
}

void JavaClassFile::fitRecords()
{
    if (records.fit())
        return;
    for (field_info*& field : fields) {
        field = records.moved(field);
        moveAttributes(field->attributes);
    }
    for (method_info*& method : methods) {
        method = records.moved(method);
        moveAttributes(method->attributes);
    }
    moveAttributes(attributes);
}

void JavaClassFile::moveAttributes(QList<attribute_info*>& list)
{
    for (attribute_info*& attribute : list) {
        attribute = records.moved(attribute);
        if (isCodeRecord(attribute))
            moveAttributes(static_cast<Code_attribute*>(attribute)->attributes);
    }
}

void JavaClassFile::releaseMember(member_info* member)
{
    releaseAttributes(member->attributes);
    records.release(member);
}

void JavaClassFile::cptest(const QString& label, unsigned char tag, unsigned short index) const
{
    const cp_info* entry = entryAt(index);
    if (!entry)
        throw BadClassFileException(formatError(label, index, QStringLiteral("does not exist")));
    if (entry->tag != tag)
        throw BadClassFileException(
            formatError(label, index,
                        QStringLiteral("does not point to %1 found %2")
                            .arg(constantInfoToString(tag), constantInfoToString(entry->tag))));
}

// ---------------------------------------------------------------------------------------------
// Constant-pool access. Every lookup goes through entryAt (in the header, for the readers'
// sake), which never reaches outside the pool.

bool JavaClassFile::utf8At(quint32 index, QString* text) const
{
    const auto* entry = static_cast<const CONSTANT_Utf8_info*>(entryAt(index, CONSTANT_Utf8));
    if (!entry)
        return false;
    *text = entry->value();
    return true;
}

bool JavaClassFile::classNameAt(quint32 index, QString* name) const
{
    const auto* entry = static_cast<const CONSTANT_Class_info*>(entryAt(index, CONSTANT_Class));
    return entry && utf8At(entry->name_index, name);
}

const CONSTANT_NameAndType_info*
JavaClassFile::nameAndTypeOf(const CONSTANT_Fieldref_info& ref) const
{
    return static_cast<const CONSTANT_NameAndType_info*>(
        entryAt(ref.name_and_type_index, CONSTANT_NameAndType));
}

// ---------------------------------------------------------------------------------------------
// Class identity

QString JavaClassFile::getName() const
{
    QString name;
    classNameAt(this_class, &name);
    return name;
}

TypeDescriptor JavaClassFile::getTypeDescriptor() const
{
    return TypeDescriptor::fromMungedClassDescriptorName(getName());
}

QString JavaClassFile::getPackage() const
{
    const QString className = getTypeDescriptor().className;
    const int dot = className.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : className.left(dot);
}

QString JavaClassFile::getParentName() const
{
    QString name;
    if (super_class != 0)
        classNameAt(super_class, &name);
    return name;
}

TypeDescriptor JavaClassFile::getParentTypeDescriptor() const
{
    if (super_class == 0)
        return TypeDescriptor(QString());
    return TypeDescriptor::fromMungedClassDescriptorName(getParentName());
}

QString JavaClassFile::getInterfaceName(const cp_info* entry) const
{
    QString name;
    if (entry && entry->tag == CONSTANT_Class)
        utf8At(static_cast<const CONSTANT_Class_info*>(entry)->name_index, &name);
    return name;
}

TypeDescriptor JavaClassFile::getInterfaceTypeDescriptor(const cp_info* entry) const
{
    return TypeDescriptor::fromMungedClassDescriptorName(getInterfaceName(entry));
}

TypeDescriptor JavaClassFile::getClassTypeDescriptor(const CONSTANT_Class_info& entry) const
{
    QString name;
    if (utf8At(entry.name_index, &name))
        return TypeDescriptor::fromMungedClassDescriptorName(name);
    return TypeDescriptor(QString());
}

// ---------------------------------------------------------------------------------------------
// Fields and methods

QString JavaClassFile::getFieldName(const field_info* field) const
{
    QString text;
    if (field)
        utf8At(field->name_index, &text);
    return text;
}

QString JavaClassFile::getMethodName(const method_info* method) const
{
    QString text;
    if (method)
        utf8At(method->name_index, &text);
    return text;
}

QString JavaClassFile::getFieldDescriptor(const field_info* field) const
{
    QString text;
    if (field)
        utf8At(field->descriptor_index, &text);
    return text;
}

QString JavaClassFile::getMethodDescriptor(const method_info* method) const
{
    QString text;
    if (method)
        utf8At(method->descriptor_index, &text);
    return text;
}

TypeDescriptor JavaClassFile::getFieldTypeDescriptor(const field_info* field) const
{
    return TypeDescriptor(getFieldDescriptor(field));
}

MethodSignature JavaClassFile::getMethodSignature(const method_info* method) const
{
    return MethodSignature(getMethodDescriptor(method));
}

int JavaClassFile::getFieldPermission(const field_info* field) const
{
    return permissionOf(field ? field->access_flags : 0);
}

int JavaClassFile::getMethodPermission(const method_info* method) const
{
    return permissionOf(method ? method->access_flags : 0);
}

bool JavaClassFile::isFieldFinal(const field_info* field) const
{
    return field && (field->access_flags & ACC_FINAL);
}

bool JavaClassFile::isMethodFinal(const method_info* method) const
{
    return method && (method->access_flags & ACC_FINAL);
}

bool JavaClassFile::isFieldStatic(const field_info* field) const
{
    return field && (field->access_flags & ACC_STATIC);
}

bool JavaClassFile::isMethodStatic(const method_info* method) const
{
    return method && (method->access_flags & ACC_STATIC);
}

bool JavaClassFile::isMethodNative(const method_info* method) const
{
    return method && (method->access_flags & ACC_NATIVE);
}

attribute_info* JavaClassFile::getMethodCodeAttr(const method_info* method) const
{
    if (!method)
        return nullptr;
    for (attribute_info* attribute : method->attributes) {
        if (isAttrNamed(attribute, "Code"))
            return attribute;
    }
    return nullptr;
}

QList<QString> JavaClassFile::getMethodExceptions(const method_info* method) const
{
    QList<QString> names;
    if (!method)
        return names;
    for (const attribute_info* attribute : method->attributes) {
        if (!isAttrNamed(attribute, "Exceptions"))
            continue;
        // The reader makes an Exceptions_attribute for every attribute of that name.
        const auto* exceptions = static_cast<const Exceptions_attribute*>(attribute);
        for (unsigned short index : exceptions->exception_index_table) {
            QString name;
            if (classNameAt(index, &name))
                names.append(name);
        }
    }
    return names;
}

QList<TypeDescriptor>
JavaClassFile::getMethodExceptionsTypeDescriptors(const method_info* method) const
{
    QList<TypeDescriptor> types;
    for (const QString& name : getMethodExceptions(method))
        types.append(TypeDescriptor::fromMungedClassDescriptorName(name));
    return types;
}

bool JavaClassFile::isAttr(const attribute_info* attribute, const QString& name) const
{
    QString text;
    return attribute && utf8At(attribute->attribute_name_index, &text) && text == name;
}

// ---------------------------------------------------------------------------------------------
// Member references

QList<CONSTANT_Fieldref_info*> JavaClassFile::refInfos(quint8 tag) const
{
    QList<CONSTANT_Fieldref_info*> refs;
    for (cp_info* entry : constant_pool) {
        if (entry->tag == tag)
            refs.append(static_cast<CONSTANT_Fieldref_info*>(entry));
    }
    return refs;
}

QList<CONSTANT_Fieldref_info*> JavaClassFile::getFieldRefInfos() const
{
    return refInfos(CONSTANT_Fieldref);
}

QList<CONSTANT_Fieldref_info*> JavaClassFile::getMethodRefInfos() const
{
    return refInfos(CONSTANT_Methodref);
}

QList<CONSTANT_Fieldref_info*> JavaClassFile::getInterfaceMethodRefInfos() const
{
    return refInfos(CONSTANT_InterfaceMethodref);
}

QString JavaClassFile::getFieldParentClassName(const CONSTANT_Fieldref_info& ref) const
{
    QString name;
    if (!classNameAt(ref.class_index, &name))
        return QStringLiteral("INVALID");
    return name.startsWith(QLatin1Char('[')) ? name : QStringLiteral("L%1;").arg(name);
}

QString JavaClassFile::getMethodParentClassName(const CONSTANT_Fieldref_info& ref) const
{
    return getFieldParentClassName(ref);
}

QString JavaClassFile::getFieldName(const CONSTANT_Fieldref_info& ref) const
{
    QString name;
    const CONSTANT_NameAndType_info* nat = nameAndTypeOf(ref);
    if (!nat || !utf8At(nat->name_index, &name))
        return QStringLiteral("INVALID");
    return name;
}

QString JavaClassFile::getMethodName(const CONSTANT_Fieldref_info& ref) const
{
    return getFieldName(ref);
}

TypeDescriptor JavaClassFile::getFieldTypeDescriptor(const CONSTANT_Fieldref_info& ref) const
{
    QString text;
    const CONSTANT_NameAndType_info* nat = nameAndTypeOf(ref);
    if (nat)
        utf8At(nat->descriptor_index, &text);
    return TypeDescriptor(text);
}

MethodSignature JavaClassFile::getMethodSignature(const CONSTANT_Fieldref_info& ref) const
{
    QString text;
    const CONSTANT_NameAndType_info* nat = nameAndTypeOf(ref);
    if (nat)
        utf8At(nat->descriptor_index, &text);
    return MethodSignature(text);
}

// ---------------------------------------------------------------------------------------------
// Dependency sets

// After a clean read the getters work the lists out from the file and keep nothing for long:
// the first call works out all three lists and keeps the two it does not return until they are
// asked for, once. The access test asks each tested class for each list once, one class after
// the other, so only the class under test holds lists; kept sets would be the largest part of
// every tested class in memory. A list asked for again is worked out again.

void JavaClassFile::workOutDependencies(quint8 wanted) const
{
    stashedClasses.clear();
    stashedFields.clear();
    stashedMethods.clear();
    DependencyExtractor::Lists out;
    out.classes = &stashedClasses;
    out.fields = &stashedFields;
    out.methods = &stashedMethods;
    // The run reads the file and records nothing.
    DependencyExtractor(const_cast<JavaClassFile&>(*this)).run(DependencyExtractor::Build, out);
    stashed = quint8(StashedAll & ~wanted);
}

QList<TypeDescriptor> JavaClassFile::getDependentClasses() const
{
    if (!dependenciesPending)
        return dependentClasses.keys();
    if (!(stashed & StashedClasses))
        workOutDependencies(StashedClasses);
    stashed &= quint8(~StashedClasses);
    return std::move(stashedClasses);
}

QList<DepField> JavaClassFile::getDependentFields() const
{
    if (!dependenciesPending)
        return dependentFields.keys();
    if (!(stashed & StashedFields))
        workOutDependencies(StashedFields);
    stashed &= quint8(~StashedFields);
    return std::move(stashedFields);
}

QList<DepMethod> JavaClassFile::getDependentMethods() const
{
    if (!dependenciesPending)
        return dependentMethods.keys();
    if (!(stashed & StashedMethods))
        workOutDependencies(StashedMethods);
    stashed &= quint8(~StashedMethods);
    return std::move(stashedMethods);
}

void JavaClassFile::findDependencies()
{
    dependenciesPending = false;
    DependencyExtractor(*this).run();
}
