#include "JavaClassFile.h"

#include "BadClassFileException.h"
#include "ByteReader.h"
#include "DependencyExtractor.h"
#include "Opcode.h"

#include <QDataStream>
#include <QIODevice>

#include <memory>

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

AttributeKind attributeKind(const QString& name)
{
    static const struct
    {
        const char* name;
        AttributeKind kind;
    } kinds[] = {
        {"ConstantValue", AttributeKind::ConstantValue},
        {"Signature", AttributeKind::ConstantValue},
        {"SourceFile", AttributeKind::ConstantValue},
        {"Code", AttributeKind::Code},
        {"Exceptions", AttributeKind::Exceptions},
        {"InnerClasses", AttributeKind::InnerClasses},
        {"EnclosingMethod", AttributeKind::EnclosingMethod},
        {"SourceDebugExtension", AttributeKind::SourceDebugExtension},
        {"LineNumberTable", AttributeKind::LineNumberTable},
        {"LocalVariableTable", AttributeKind::LocalVariableTable},
        {"LocalVariableTypeTable", AttributeKind::LocalVariableTypeTable},
        {"Synthetic", AttributeKind::Empty},
        {"Deprecated", AttributeKind::Empty},
        {"StackMapTable", AttributeKind::Skipped},
        {"RuntimeVisibleAnnotations", AttributeKind::Skipped},
        {"RuntimeInvisibleAnnotations", AttributeKind::Skipped},
        {"RuntimeVisibleParameterAnnotations", AttributeKind::Skipped},
        {"RuntimeInvisibleParameterAnnotations", AttributeKind::Skipped},
        {"AnnotationDefault", AttributeKind::Skipped},
        {"BootstrapMethods", AttributeKind::Skipped},
        {"RuntimeVisibleTypeAnnotations", AttributeKind::Skipped},
        {"RuntimeInvisibleTypeAnnotations", AttributeKind::Skipped},
        {"MethodParameters", AttributeKind::Skipped},
    };
    for (const auto& k : kinds) {
        if (name == QLatin1String(k.name))
            return k.kind;
    }
    return AttributeKind::Unknown;
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
// when the check fails: reading a sound file composes no message text.
template <typename Label>
void checkIndex(const JavaClassFile& file, unsigned char tag, unsigned short index, Label label)
{
    if (index == 0 || index > file.constant_pool.size() ||
        file.constant_pool.at(index - 1)->tag != tag)
        file.cptest(label(), tag, index);
}

} // namespace

JavaClassFile::JavaClassFile() = default;

JavaClassFile::~JavaClassFile()
{
    qDeleteAll(fields);
    qDeleteAll(methods);
    qDeleteAll(attributes);
    qDeleteAll(constant_pool);
}

JavaClassFile* JavaClassFile::create(const QByteArray& bytes)
{
    JavaClassFile* file = new JavaClassFile;
    QDataStream in(bytes);
    file->read(in);
    return file;
}

// ---------------------------------------------------------------------------------------------
// Reading

void JavaClassFile::read(QDataStream& in)
{
    in.setByteOrder(QDataStream::BigEndian);
    // The reader works on the bytes themselves, so that every read can be checked against
    // what is left; the stream only delivers them. readAll allocates no more than it holds.
    const QByteArray bytes = in.device() ? in.device()->readAll() : QByteArray();
    ByteReader reader(bytes);
    readSize = bytes.size();
    try {
        readClassFile(reader);
    } catch (const BadClassFileException& e) {
        checkLog.error(QString::fromLocal8Bit(e.what()));
        return;
    }
    findDependencies();
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
    readFields(in);
    readMethods(in);
    attributes = readAttributes(in);
}

void JavaClassFile::readConstantPool(ByteReader& in)
{
    const quint16 count = in.readU2("constant_pool_count");
    if (count > 1)
        in.checkCount(count - 1, minPoolSlotSize, "constant_pool_count", count);
    // Index i counts from 1; a Long or Double takes two indexes.
    quint32 i = 1;
    while (i < count) {
        const quint8 tag = in.readU1("constant pool tag");
        std::unique_ptr<cp_info> entry;
        switch (tag) {
        case CONSTANT_Utf8: {
            auto* e = new CONSTANT_Utf8_info;
            entry.reset(e);
            e->length = in.readU2("CONSTANT_Utf8 length");
            const QByteArray bytes = in.readBytes(e->length, "CONSTANT_Utf8 bytes");
            e->value = QString::fromUtf8(bytes.constData(), bytes.size());
            break;
        }
        case CONSTANT_Integer: {
            auto* e = new CONSTANT_Integer_info;
            entry.reset(e);
            e->value = in.readI4("CONSTANT_Integer value");
            break;
        }
        case CONSTANT_Float: {
            auto* e = new CONSTANT_Float_info;
            entry.reset(e);
            e->value = in.readFloat("CONSTANT_Float value");
            break;
        }
        case CONSTANT_Long: {
            auto* e = new CONSTANT_Long_info;
            entry.reset(e);
            e->value = in.readI8("CONSTANT_Long value");
            break;
        }
        case CONSTANT_Double: {
            auto* e = new CONSTANT_Double_info;
            entry.reset(e);
            e->value = in.readDouble("CONSTANT_Double value");
            break;
        }
        case CONSTANT_Class: {
            auto* e = new CONSTANT_Class_info;
            entry.reset(e);
            e->name_index = in.readU2("CONSTANT_Class name_index");
            break;
        }
        case CONSTANT_String: {
            auto* e = new CONSTANT_String_info;
            entry.reset(e);
            e->string_index = in.readU2("CONSTANT_String string_index");
            break;
        }
        case CONSTANT_Fieldref:
        case CONSTANT_Methodref:
        case CONSTANT_InterfaceMethodref: {
            auto* e = new CONSTANT_Fieldref_info;
            entry.reset(e);
            e->class_index = in.readU2("member reference class_index");
            e->name_and_type_index = in.readU2("member reference name_and_type_index");
            break;
        }
        case CONSTANT_NameAndType: {
            auto* e = new CONSTANT_NameAndType_info;
            entry.reset(e);
            e->name_index = in.readU2("CONSTANT_NameAndType name_index");
            e->descriptor_index = in.readU2("CONSTANT_NameAndType descriptor_index");
            break;
        }
        case CONSTANT_MethodHandle: {
            auto* e = new CONSTANT_MethodHandle_info;
            entry.reset(e);
            e->reference_kind = in.readU1("CONSTANT_MethodHandle reference_kind");
            e->reference_index = in.readU2("CONSTANT_MethodHandle reference_index");
            break;
        }
        case CONSTANT_MethodType: {
            auto* e = new CONSTANT_MethodType_info;
            entry.reset(e);
            e->descriptor_index = in.readU2("CONSTANT_MethodType descriptor_index");
            break;
        }
        case CONSTANT_InvokeDynamic: {
            auto* e = new CONSTANT_InvokeDynamic_info;
            entry.reset(e);
            e->bootstrap_method_attr_index =
                in.readU2("CONSTANT_InvokeDynamic bootstrap_method_attr_index");
            e->name_and_type_index = in.readU2("CONSTANT_InvokeDynamic name_and_type_index");
            break;
        }
        default:
            throw BadClassFileException(
                QStringLiteral("Class file format error - unknown constant pool tag (%1)")
                    .arg(uint(tag)));
        }
        entry->tag = tag;
        constant_pool.append(entry.release());
        ++i;
        if (tag == CONSTANT_Long || tag == CONSTANT_Double) {
            // Also after a Long or Double in the last slot, so the pool may hold one entry
            // more than the count promises; index checks then find the placeholder.
            auto* placeholder = new cp_info;
            placeholder->tag = CONSTANT_Placeholder;
            constant_pool.append(placeholder);
            ++i;
        }
    }
}

void JavaClassFile::readInterfaces(ByteReader& in)
{
    const quint16 count = in.readU2("interfaces_count");
    in.checkCount(count, 2, "interfaces_count");
    for (quint16 k = 0; k < count; ++k) {
        const quint16 index = in.readU2("interface index");
        checkIndex(*this, CONSTANT_Class, index,
                   [k] { return QStringLiteral("interface[%1]").arg(k); });
        interfaces.append(constant_pool.at(index - 1));
    }
}

void JavaClassFile::readMember(ByteReader& in, member_info* member, const char* kind, int k)
{
    const auto label = [kind, k] {
        return QStringLiteral("%1[%2]").arg(QLatin1String(kind)).arg(k);
    };
    member->access_flags = in.readU2("access_flags");
    member->name_index = in.readU2("name_index");
    checkIndex(*this, CONSTANT_Utf8, member->name_index, label);
    member->descriptor_index = in.readU2("descriptor_index");
    // The queries take a member's descriptor to be text; a file where it is not is rejected.
    checkIndex(*this, CONSTANT_Utf8, member->descriptor_index,
               [&label] { return QStringLiteral("%1 descriptor").arg(label()); });
    member->attributes = readAttributes(in);
}

void JavaClassFile::readFields(ByteReader& in)
{
    const quint16 count = in.readU2("fields_count");
    in.checkCount(count, minMemberSize, "fields_count");
    for (quint16 k = 0; k < count; ++k) {
        std::unique_ptr<field_info> field(new field_info);
        readMember(in, field.get(), "Field", k);
        fields.append(field.release());
    }
}

void JavaClassFile::readMethods(ByteReader& in)
{
    const quint16 count = in.readU2("methods_count");
    in.checkCount(count, minMemberSize, "methods_count");
    for (quint16 k = 0; k < count; ++k) {
        std::unique_ptr<method_info> method(new method_info);
        readMember(in, method.get(), "Method", k);
        methods.append(method.release());
    }
}

QList<attribute_info*> JavaClassFile::readAttributes(ByteReader& in, int depth)
{
    QList<attribute_info*> kept;
    try {
        const quint16 count = in.readU2("attributes_count");
        in.checkCount(count, minAttributeSize, "attributes_count");
        for (quint16 k = 0; k < count; ++k) {
            const int start = in.offset();
            const quint16 nameIndex = in.readU2("attribute_name_index");
            checkIndex(*this, CONSTANT_Utf8, nameIndex,
                       [k] { return QStringLiteral("Attr[%1]").arg(k); });
            const quint32 length = in.readU4("attribute_length");
            const QString name = static_cast<const CONSTANT_Utf8_info*>(entryAt(nameIndex))->value;

            // Each attribute is parsed inside a window of exactly its declared length, so a
            // lying count inside it cannot reach the attribute that follows.
            ByteReader body = in.window(length, name);
            std::unique_ptr<attribute_info> record;
            switch (attributeKind(name)) {
            case AttributeKind::ConstantValue: {
                auto* a = new ConstantValue_attribute;
                record.reset(a);
                a->constantvalue_index = body.readU2("constant pool index");
                break;
            }
            case AttributeKind::Code:
                if (depth >= maxCodeNesting)
                    throw BadClassFileException(
                        QStringLiteral("Class file format error - Code attribute at offset %1 "
                                       "is nested more than %2 deep")
                            .arg(start)
                            .arg(maxCodeNesting));
                record.reset(readCode(body, depth + 1));
                break;
            case AttributeKind::Exceptions: {
                auto* a = new Exceptions_attribute;
                record.reset(a);
                const quint16 n = body.readU2("number_of_exceptions");
                body.checkCount(n, 2, "number_of_exceptions");
                for (quint16 j = 0; j < n; ++j)
                    a->exception_index_table.append(body.readU2("exception index"));
                break;
            }
            case AttributeKind::InnerClasses: {
                auto* a = new InnerClasses_attribute;
                record.reset(a);
                const quint16 n = body.readU2("number_of_classes");
                body.checkCount(n, 8, "number_of_classes");
                for (quint16 j = 0; j < n; ++j) {
                    InnerClasses_attribute::inner_class_t row;
                    row.inner_class_info_index = body.readU2("inner_class_info_index");
                    row.outer_class_info_index = body.readU2("outer_class_info_index");
                    row.inner_name_index = body.readU2("inner_name_index");
                    row.inner_class_access_flags = body.readU2("inner_class_access_flags");
                    a->classes.append(row);
                }
                break;
            }
            case AttributeKind::EnclosingMethod: {
                auto* a = new EnclosingMethod_attribute;
                record.reset(a);
                a->class_index = body.readU2("class_index");
                a->method_index = body.readU2("method_index");
                break;
            }
            case AttributeKind::SourceDebugExtension: {
                auto* a = new SourceDebugExtension_attribute;
                record.reset(a);
                a->debug_extension = body.readBytes(length, "debug_extension");
                break;
            }
            case AttributeKind::LineNumberTable: {
                auto* a = new LineNumberTable_attribute;
                record.reset(a);
                const quint16 n = body.readU2("line_number_table_length");
                body.checkCount(n, 4, "line_number_table_length");
                for (quint16 j = 0; j < n; ++j) {
                    LineNumberTable_attribute::line_number_t row;
                    row.start_pc = body.readU2("start_pc");
                    row.line_number = body.readU2("line_number");
                    a->line_number_table.append(row);
                }
                break;
            }
            case AttributeKind::LocalVariableTable: {
                auto* a = new LocalVariableTable_attribute;
                record.reset(a);
                const quint16 n = body.readU2("local_variable_table_length");
                body.checkCount(n, 10, "local_variable_table_length");
                for (quint16 j = 0; j < n; ++j) {
                    LocalVariableTable_attribute::local_variable_t row;
                    row.start_pc = body.readU2("start_pc");
                    row.length = body.readU2("length");
                    row.name_index = body.readU2("name_index");
                    row.descriptor_index = body.readU2("descriptor_index");
                    row.index = body.readU2("index");
                    a->local_variable_table.append(row);
                }
                break;
            }
            case AttributeKind::LocalVariableTypeTable: {
                auto* a = new LocalVariableTypeTable_attribute;
                record.reset(a);
                const quint16 n = body.readU2("local_variable_type_table_length");
                body.checkCount(n, 10, "local_variable_type_table_length");
                for (quint16 j = 0; j < n; ++j) {
                    LocalVariableTypeTable_attribute::local_variable_type_t row;
                    row.start_pc = body.readU2("start_pc");
                    row.length = body.readU2("length");
                    row.name_index = body.readU2("name_index");
                    row.signature_index = body.readU2("signature_index");
                    row.index = body.readU2("index");
                    a->local_variable_type_table.append(row);
                }
                break;
            }
            case AttributeKind::Empty:
                record.reset(new attribute_info);
                break;
            case AttributeKind::Skipped:
                record.reset(new attribute_info);
                body.skip(body.bytesLeft(), "attribute content");
                break;
            case AttributeKind::Unknown:
                checkLog.warning(
                    QStringLiteral("Unknown attribute - %1").arg(FileCheckLog::abbreviate(name)));
                continue; // its window has been stepped over already
            }
            // A structured attribute must fill its window exactly: when the length and the
            // content disagree, there is no telling which of them is right.
            if (!body.atEnd())
                throw BadClassFileException(
                    QStringLiteral("Class file format error - \"%1\" attribute at offset %2 "
                                   "declares %3 bytes but its content takes %4")
                        .arg(FileCheckLog::abbreviate(name))
                        .arg(start)
                        .arg(length)
                        .arg(length - body.bytesLeft()));
            record->attribute_name_index = nameIndex;
            record->attribute_length = length;
            kept.append(record.release());
        }
    } catch (...) {
        qDeleteAll(kept);
        throw;
    }
    return kept;
}

attribute_info* JavaClassFile::readCode(ByteReader& body, int depth)
{
    std::unique_ptr<Code_attribute> code(new Code_attribute);
    code->max_stack = body.readU2("max_stack");
    code->max_locals = body.readU2("max_locals");
    const quint32 length = body.readU4("code_length");
    code->code = body.readBytes(length, "code");
    code->code_length = length;
    const quint16 n = body.readU2("exception_table_length");
    body.checkCount(n, 8, "exception_table_length");
    for (quint16 j = 0; j < n; ++j) {
        exception_t row;
        row.start_pc = body.readU2("start_pc");
        row.end_pc = body.readU2("end_pc");
        row.handler_pc = body.readU2("handler_pc");
        row.catch_type = body.readU2("catch_type");
        code->exception_table.append(row);
    }
    code->attributes = readAttributes(body, depth);
    return code.release();
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
// Constant-pool access. Every lookup goes through entryAt, which never reaches outside the pool.

const cp_info* JavaClassFile::entryAt(quint32 index) const
{
    if (index == 0 || index > quint32(constant_pool.size()))
        return nullptr;
    return constant_pool.at(int(index - 1));
}

const cp_info* JavaClassFile::entryAt(quint32 index, quint8 tag) const
{
    const cp_info* entry = entryAt(index);
    return entry && entry->tag == tag ? entry : nullptr;
}

bool JavaClassFile::utf8At(quint32 index, QString* text) const
{
    const auto* entry = static_cast<const CONSTANT_Utf8_info*>(entryAt(index, CONSTANT_Utf8));
    if (!entry)
        return false;
    *text = entry->value;
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
        if (isAttr(attribute, QStringLiteral("Code")))
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
        if (!isAttr(attribute, QStringLiteral("Exceptions")))
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

QList<TypeDescriptor> JavaClassFile::getDependentClasses() const
{
    return dependentClasses.keys();
}

QList<DepField> JavaClassFile::getDependentFields() const
{
    return dependentFields.keys();
}

QList<DepMethod> JavaClassFile::getDependentMethods() const
{
    return dependentMethods.keys();
}

void JavaClassFile::findDependencies()
{
    DependencyExtractor(*this).run();
}

void JavaClassFile::findDependenciesInCode(const method_info* method)
{
    DependencyExtractor(*this).runCode(method);
}

bool JavaClassFile::declaresField(const QString& name, const QString& descriptor) const
{
    for (const field_info* field : fields) {
        if (getFieldName(field) == name && getFieldDescriptor(field) == descriptor)
            return true;
    }
    return false;
}

bool JavaClassFile::declaresMethod(const QString& name, const QString& descriptor) const
{
    for (const method_info* method : methods) {
        if (getMethodName(method) == name && getMethodDescriptor(method) == descriptor)
            return true;
    }
    return false;
}

// The recording operations one at a time. Extraction itself collects its candidates and builds
// the sets in one go (DependencyExtractor); these follow the same rules for a single entry.
// QMap::insert keeps the key that is there when an equal one is inserted (only the value is
// assigned), so the first spelling of a key stays.

void JavaClassFile::addDependentClass(const QString& descriptor)
{
    dependentClasses.insert(TypeDescriptor(descriptor), true);
}

void JavaClassFile::addDependentClass(const CONSTANT_Class_info& entry)
{
    const TypeDescriptor type = getClassTypeDescriptor(entry);
    if (type.kind == 'L')
        addDependentClass(type.descriptor);
}

void JavaClassFile::addDependentField(const QString& owner, const QString& name,
                                      const TypeDescriptor& type)
{
    const TypeDescriptor ownerType(owner);
    // The class's own fields are no dependencies; a field it inherits, used through its own
    // name, is one.
    if (ownerType.descriptor == getTypeDescriptor().descriptor &&
        declaresField(name, type.descriptor))
        return;
    dependentFields.insert(DepField(ownerType, name, type), true);
}

void JavaClassFile::addDependentField(const CONSTANT_Fieldref_info& ref)
{
    const TypeDescriptor type = getFieldTypeDescriptor(ref);
    if (type.kind == 'L')
        addDependentClass(type.descriptor);
    addDependentField(getFieldParentClassName(ref), getFieldName(ref), type);
}

void JavaClassFile::addDependentMethod(const QString& owner, const QString& name,
                                       const MethodSignature& signature)
{
    const TypeDescriptor ownerType(owner);
    if (ownerType.descriptor == getTypeDescriptor().descriptor &&
        declaresMethod(name, signature.descriptor))
        return;
    // An enum's constructor passes name and ordinal to Enum's protected constructor; that call
    // is part of every enum and is not counted, whichever class the reference names.
    if (getParentTypeDescriptor().descriptor == QLatin1String("Ljava/lang/Enum;") &&
        name == QLatin1String("<init>") &&
        signature.descriptor == QLatin1String("(Ljava/lang/String;I)V"))
        return;
    dependentMethods.insert(DepMethod(ownerType, name, signature), true);
}

void JavaClassFile::addDependentMethod(const CONSTANT_Fieldref_info& ref)
{
    const TypeDescriptor owner =
        TypeDescriptor::fromClassDescriptorName(getMethodParentClassName(ref));
    const MethodSignature signature = getMethodSignature(ref);
    if (owner.kind == '[') {
        // A method called on an array (clone) is no method dependency; the element class is.
        if (owner.element && owner.element->kind == 'L')
            addDependentClass(owner.element->descriptor);
        return;
    }
    addDependentClass(owner.descriptor);
    if (signature.returnType.kind == 'L')
        addDependentClass(signature.returnType.descriptor);
    for (const TypeDescriptor& parameter : signature.parameters) {
        if (parameter.kind == 'L')
            addDependentClass(parameter.descriptor);
    }
    addDependentMethod(owner.descriptor, getMethodName(ref), signature);
}
