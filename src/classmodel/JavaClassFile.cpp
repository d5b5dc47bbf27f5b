#include "JavaClassFile.h"

#include "BadClassFileException.h"
#include "ByteReader.h"
#include "Opcode.h"

#include <QDataStream>
#include <QIODevice>

#include <memory>
#include <stdexcept>

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

// The characters that dependency extraction may record per byte of the file, and on top of that.
// Over the 14,000 classes of three modules of the Java runtime the recorded text, duplicates and
// work list included, reaches at most 8 characters per byte.
const qint64 textBudgetPerByte = 32;
const qint64 textBudgetBase = 1 << 20;

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
        cptest(QStringLiteral("interface[%1]").arg(k), CONSTANT_Class, index);
        interfaces.append(constant_pool.at(index - 1));
    }
}

void JavaClassFile::readMember(ByteReader& in, member_info* member, const QString& label)
{
    member->access_flags = in.readU2("access_flags");
    member->name_index = in.readU2("name_index");
    cptest(label, CONSTANT_Utf8, member->name_index);
    member->descriptor_index = in.readU2("descriptor_index");
    // The queries take a member's descriptor to be text; a file where it is not is rejected.
    cptest(QStringLiteral("%1 descriptor").arg(label), CONSTANT_Utf8, member->descriptor_index);
    member->attributes = readAttributes(in);
}

void JavaClassFile::readFields(ByteReader& in)
{
    const quint16 count = in.readU2("fields_count");
    in.checkCount(count, minMemberSize, "fields_count");
    for (quint16 k = 0; k < count; ++k) {
        std::unique_ptr<field_info> field(new field_info);
        readMember(in, field.get(), QStringLiteral("Field[%1]").arg(k));
        fields.append(field.release());
    }
}

void JavaClassFile::readMethods(ByteReader& in)
{
    const quint16 count = in.readU2("methods_count");
    in.checkCount(count, minMemberSize, "methods_count");
    for (quint16 k = 0; k < count; ++k) {
        std::unique_ptr<method_info> method(new method_info);
        readMember(in, method.get(), QStringLiteral("Method[%1]").arg(k));
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
            cptest(QStringLiteral("Attr[%1]").arg(k), CONSTANT_Utf8, nameIndex);
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
// Dependency extraction

namespace {

// Resolving the three parts of a member reference for the dependency scan. Each failure names
// the first check that did not hold; the scan shows that text in place of the part.

const cp_info* poolEntry(const QList<cp_info*>& pool, quint32 index)
{
    if (index == 0 || index > quint32(pool.size()))
        return nullptr;
    return pool.at(int(index - 1));
}

QString resolveClassName(const QList<cp_info*>& pool, const CONSTANT_Fieldref_info& ref)
{
    const cp_info* entry = poolEntry(pool, ref.class_index);
    if (!entry)
        throw std::runtime_error("invalid class index");
    if (entry->tag != CONSTANT_Class)
        throw std::runtime_error("class index is not class info");
    const cp_info* name =
        poolEntry(pool, static_cast<const CONSTANT_Class_info*>(entry)->name_index);
    if (!name)
        throw std::runtime_error("invalid class name index");
    if (name->tag != CONSTANT_Utf8)
        throw std::runtime_error("class name info is not a string");
    return static_cast<const CONSTANT_Utf8_info*>(name)->value;
}

const CONSTANT_NameAndType_info* resolveNameAndType(const QList<cp_info*>& pool,
                                                    const CONSTANT_Fieldref_info& ref)
{
    const cp_info* entry = poolEntry(pool, ref.name_and_type_index);
    if (!entry)
        throw std::runtime_error("invalid name and type index");
    if (entry->tag != CONSTANT_NameAndType)
        throw std::runtime_error("name and type index is not name and type info");
    return static_cast<const CONSTANT_NameAndType_info*>(entry);
}

QString resolveMemberName(const QList<cp_info*>& pool, const CONSTANT_Fieldref_info& ref,
                          bool isMethod)
{
    const cp_info* name = poolEntry(pool, resolveNameAndType(pool, ref)->name_index);
    if (!name)
        throw std::runtime_error(isMethod ? "invalid method name index"
                                          : "invalid field name index");
    if (name->tag != CONSTANT_Utf8)
        throw std::runtime_error(isMethod ? "method name info is not a string"
                                          : "field name info is not a string");
    return static_cast<const CONSTANT_Utf8_info*>(name)->value;
}

QString resolveMemberType(const QList<cp_info*>& pool, const CONSTANT_Fieldref_info& ref,
                          bool isMethod)
{
    const cp_info* type = poolEntry(pool, resolveNameAndType(pool, ref)->descriptor_index);
    if (!type)
        throw std::runtime_error(isMethod ? "invalid method signature index"
                                          : "invalid field descriptor index");
    if (type->tag != CONSTANT_Utf8)
        throw std::runtime_error(isMethod ? "method signature info is not a string"
                                          : "field descriptor info is not a string");
    return static_cast<const CONSTANT_Utf8_info*>(type)->value;
}

// The three parts of one reference; a part that failed holds the failure's text.
struct ResolvedRef
{
    QString className;
    QString memberName;
    QString memberType;
    bool ok = true;
};

ResolvedRef resolveRef(const QList<cp_info*>& pool, const CONSTANT_Fieldref_info& ref,
                       bool isMethod)
{
    ResolvedRef r;
    try {
        r.className = resolveClassName(pool, ref);
    } catch (const std::exception& e) {
        r.className = QString::fromUtf8(e.what());
        r.ok = false;
    }
    try {
        r.memberName = resolveMemberName(pool, ref, isMethod);
    } catch (const std::exception& e) {
        r.memberName = QString::fromUtf8(e.what());
        r.ok = false;
    }
    try {
        r.memberType = resolveMemberType(pool, ref, isMethod);
    } catch (const std::exception& e) {
        r.memberType = QString::fromUtf8(e.what());
        r.ok = false;
    }
    return r;
}

} // namespace

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

QString JavaClassFile::ownDescriptor() const
{
    return extracting ? extractingOwnDescriptor : getTypeDescriptor().descriptor;
}

bool JavaClassFile::hasEnumParent() const
{
    return extracting ? extractingEnumParent
                      : getParentTypeDescriptor().descriptor == QLatin1String("Ljava/lang/Enum;");
}

bool JavaClassFile::declaresField(const QString& name, const QString& descriptor) const
{
    if (extracting)
        return extractingOwnFields.contains(qMakePair(name, descriptor));
    for (const field_info* field : fields) {
        if (getFieldName(field) == name && getFieldDescriptor(field) == descriptor)
            return true;
    }
    return false;
}

bool JavaClassFile::declaresMethod(const QString& name, const QString& descriptor) const
{
    if (extracting)
        return extractingOwnMethods.contains(qMakePair(name, descriptor));
    for (const method_info* method : methods) {
        if (getMethodName(method) == name && getMethodDescriptor(method) == descriptor)
            return true;
    }
    return false;
}

// QMap::insert keeps the key that is there when an equal one is inserted (only the value is
// assigned), so the first spelling of a key stays.

bool JavaClassFile::spend(qint64 n)
{
    if (!extracting)
        return true;
    if (budgetExhausted)
        return false;
    textBudget -= n;
    budgetExhausted = textBudget < 0;
    return !budgetExhausted;
}

bool JavaClassFile::spendOnce(quint64 key, qint64 n)
{
    if (!extracting)
        return true;
    if (budgetExhausted)
        return false;
    if (chargedTexts.contains(key))
        return false;
    chargedTexts.insert(key);
    return spend(n);
}

quint64 JavaClassFile::textKey(TextUse use, quint16 index)
{
    return (quint64(use) << 48) | index;
}

quint64 JavaClassFile::refKey(TextUse use, const CONSTANT_Fieldref_info& ref) const
{
    // Only called for references whose parts resolve.
    const auto* owner =
        static_cast<const CONSTANT_Class_info*>(entryAt(ref.class_index, CONSTANT_Class));
    const CONSTANT_NameAndType_info* nat = nameAndTypeOf(ref);
    return (quint64(use) << 48) | (quint64(owner ? owner->name_index : 0) << 32) |
           (quint64(nat ? nat->name_index : 0) << 16) | (nat ? nat->descriptor_index : 0);
}

void JavaClassFile::recordError(const QString& message)
{
    // Past the budget, messages are dropped like records: the file is rejected anyway, with
    // the message that says why.
    if (spend(message.size()))
        checkLog.error(message);
}

void JavaClassFile::addDependentClass(const QString& descriptor)
{
    if (budgetExhausted)
        return;
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
    if (ownerType.descriptor == ownDescriptor() && declaresField(name, type.descriptor))
        return; // the class's own fields are not dependencies
    if (budgetExhausted)
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
    if (ownerType.descriptor == ownDescriptor() && declaresMethod(name, signature.descriptor))
        return; // the class's own methods are not dependencies
    // An enum's constructor passes name and ordinal to Enum's protected constructor; that call
    // is part of every enum and is not counted, whichever class the reference names.
    if (hasEnumParent() && name == QLatin1String("<init>") &&
        signature.descriptor == QLatin1String("(Ljava/lang/String;I)V"))
        return;
    if (budgetExhausted)
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

void JavaClassFile::findDependencies()
{
    extractingOwnDescriptor = getTypeDescriptor().descriptor;
    extractingEnumParent =
        getParentTypeDescriptor().descriptor == QLatin1String("Ljava/lang/Enum;");
    extractingOwnFields.clear();
    for (const field_info* field : qAsConst(fields))
        extractingOwnFields.insert(qMakePair(getFieldName(field), getFieldDescriptor(field)));
    extractingOwnMethods.clear();
    for (const method_info* method : qAsConst(methods))
        extractingOwnMethods.insert(qMakePair(getMethodName(method), getMethodDescriptor(method)));
    chargedTexts.clear();
    extracting = true;
    textBudget = textBudgetPerByte * readSize + textBudgetBase;
    budgetExhausted = false;

    // Types met along the way; they become dependent classes at the end. A text that is
    // already on the list would add nothing, so each pool entry goes on it once.
    QList<TypeDescriptor> work;
    const auto pushClassName = [&](quint16 nameIndex) {
        QString name;
        if (utf8At(nameIndex, &name) &&
            spendOnce(textKey(TextUse::ClassName, nameIndex), name.size()))
            work.append(TypeDescriptor::fromMungedClassDescriptorName(name));
    };
    const auto pushDescriptor = [&](quint16 index) {
        QString text;
        utf8At(index, &text);
        if (spendOnce(textKey(TextUse::FieldDescriptor, index), text.size()))
            work.append(TypeDescriptor(text));
    };
    const auto classNameIndex = [&](quint16 classIndex) {
        const auto* entry =
            static_cast<const CONSTANT_Class_info*>(entryAt(classIndex, CONSTANT_Class));
        return entry ? entry->name_index : quint16(0);
    };
    if (super_class != 0)
        pushClassName(classNameIndex(super_class));
    for (const cp_info* entry : qAsConst(interfaces))
        pushClassName(static_cast<const CONSTANT_Class_info*>(entry)->name_index);
    for (const field_info* field : qAsConst(fields))
        pushDescriptor(field->descriptor_index);
    for (const method_info* method : qAsConst(methods)) {
        const QString descriptor = getMethodDescriptor(method);
        if (spendOnce(textKey(TextUse::MethodDescriptor, method->descriptor_index),
                      descriptor.size())) {
            const MethodSignature signature(descriptor);
            work.append(signature.returnType);
            work.append(signature.parameters);
        }
        for (const attribute_info* attribute : method->attributes) {
            if (!isAttr(attribute, QStringLiteral("Exceptions")))
                continue;
            for (quint16 index :
                 static_cast<const Exceptions_attribute*>(attribute)->exception_index_table) {
                if (const quint16 nameIndex = classNameIndex(index))
                    pushClassName(nameIndex);
            }
        }
    }

    for (const CONSTANT_Fieldref_info* ref : getFieldRefInfos()) {
        if (budgetExhausted)
            break;
        const ResolvedRef r = resolveRef(constant_pool, *ref, false);
        const TypeDescriptor type(r.memberType);
        if (!r.ok) {
            recordError(
                QStringLiteral("Malformed field reference. Class: %1 Field: %2 Descriptor: %3")
                    .arg(FileCheckLog::abbreviate(r.className),
                         FileCheckLog::abbreviate(r.memberName),
                         FileCheckLog::abbreviate(type.descriptor)));
            continue;
        }
        // A reference to the same texts as one before it would record nothing new.
        if (!spendOnce(refKey(TextUse::FieldRef, *ref),
                       qint64(r.className.size()) + r.memberName.size() + r.memberType.size()))
            continue;
        work.append(TypeDescriptor::fromMungedClassDescriptorName(r.className));
        work.append(type);
        addDependentField(TypeDescriptor::fromClassBinaryName(r.className).descriptor, r.memberName,
                          type);
    }

    const auto scanMethodRefs = [&](const QList<CONSTANT_Fieldref_info*>& refs,
                                    const QString& kind) {
        for (const CONSTANT_Fieldref_info* ref : refs) {
            if (budgetExhausted)
                break;
            const ResolvedRef r = resolveRef(constant_pool, *ref, true);
            const TypeDescriptor owner = TypeDescriptor::fromMungedClassDescriptorName(r.className);
            const MethodSignature signature(r.memberType);
            if (!r.ok) {
                recordError(QStringLiteral("Malformed %1 reference. Class: %2 Method: %3 "
                                           "Method Signature: %4")
                                .arg(kind, FileCheckLog::abbreviate(owner.descriptor),
                                     FileCheckLog::abbreviate(r.memberName),
                                     FileCheckLog::abbreviate(signature.descriptor)));
                continue;
            }
            if (owner.kind != 'L')
                continue; // a method of an array class (clone) is no dependency here
            if (!spendOnce(refKey(TextUse::MethodRef, *ref),
                           qint64(r.className.size()) + r.memberName.size() + r.memberType.size()))
                continue;
            work.append(owner);
            addDependentMethod(owner.descriptor, r.memberName, signature);
        }
    };
    scanMethodRefs(getMethodRefInfos(), QStringLiteral("method"));
    scanMethodRefs(getInterfaceMethodRefInfos(), QStringLiteral("interface method"));

    for (const method_info* method : qAsConst(methods)) {
        if (budgetExhausted)
            break;
        findDependenciesInCode(method);
    }

    for (const TypeDescriptor& type : qAsConst(work)) {
        if (type.kind == 'L')
            addDependentClass(type.descriptor);
        else if (type.kind == '[' && type.element && type.element->kind == 'L')
            addDependentClass(type.element->descriptor);
    }
    extracting = false;
    extractingOwnFields.clear();
    extractingOwnMethods.clear();
    chargedTexts.clear();
    if (budgetExhausted)
        checkLog.error(QStringLiteral("Dependency extraction stopped - the names that the class "
                                      "refers to add up to more than %1 characters")
                           .arg(textBudgetPerByte * readSize + textBudgetBase));
}

const cp_info* JavaClassFile::codeOperand(const method_info* method, quint16 index, quint32 pos,
                                          const char* mnemonic, int operandKind)
{
    const auto where = [&] {
        return QStringLiteral("Error parsing code segment of %1 - %2 at offset %3 names constant "
                              "pool index %4")
            .arg(FileCheckLog::abbreviate(getMethodName(method)), QLatin1String(mnemonic))
            .arg(pos)
            .arg(index);
    };
    const cp_info* entry = entryAt(index);
    if (!entry) {
        recordError(QStringLiteral("%1, which does not exist").arg(where()));
        return nullptr;
    }
    QString expected;
    switch (operandKind) {
    case Opcode::FieldRef:
        if (entry->tag != CONSTANT_Fieldref)
            expected = constantInfoToString(CONSTANT_Fieldref);
        break;
    case Opcode::MethodRef:
        if (entry->tag != CONSTANT_Methodref)
            expected = constantInfoToString(CONSTANT_Methodref);
        break;
    case Opcode::AnyMethodRef:
        // Since class-file version 52, invokespecial and invokestatic may name interface
        // methods (default and static methods of interfaces).
        if (entry->tag != CONSTANT_Methodref && entry->tag != CONSTANT_InterfaceMethodref)
            expected = QStringLiteral("%1 or %2")
                           .arg(constantInfoToString(CONSTANT_Methodref),
                                constantInfoToString(CONSTANT_InterfaceMethodref));
        break;
    case Opcode::InterfaceMethodRef:
        if (entry->tag != CONSTANT_InterfaceMethodref)
            expected = constantInfoToString(CONSTANT_InterfaceMethodref);
        break;
    case Opcode::ClassRef:
        if (entry->tag != CONSTANT_Class)
            expected = constantInfoToString(CONSTANT_Class);
        break;
    default:
        break;
    }
    if (!expected.isEmpty()) {
        recordError(QStringLiteral("%1, a %2 where %3 is expected")
                        .arg(where(), constantInfoToString(entry->tag), expected));
        return nullptr;
    }
    if (entry->tag == CONSTANT_Class) {
        QString name;
        if (!utf8At(static_cast<const CONSTANT_Class_info*>(entry)->name_index, &name)) {
            recordError(QStringLiteral("%1, a %2 without a %3 name")
                            .arg(where(), constantInfoToString(CONSTANT_Class),
                                 constantInfoToString(CONSTANT_Utf8)));
            return nullptr;
        }
    }
    return entry;
}

void JavaClassFile::findDependenciesInCode(const method_info* method)
{
    if (!method || (method->access_flags & (ACC_NATIVE | ACC_ABSTRACT)))
        return;
    // The reader makes a Code_attribute for every attribute named Code.
    const auto* codeAttr = static_cast<const Code_attribute*>(getMethodCodeAttr(method));
    if (!codeAttr) {
        recordError(QStringLiteral("%1 has no code segment but is not abstract")
                        .arg(FileCheckLog::abbreviate(getMethodName(method))));
        return;
    }
    const QByteArray& code = codeAttr->code;
    const uchar* c = reinterpret_cast<const uchar*>(code.constData());
    const quint64 length = quint64(code.size());

    const auto overrun = [&](const Opcode* op, quint64 pos, quint64 needed) {
        recordError(
            QStringLiteral("Error parsing code segment of %1 - %2 at offset %3 needs "
                           "%4 bytes but the code ends at %5")
                .arg(FileCheckLog::abbreviate(getMethodName(method)), QLatin1String(op->name))
                .arg(pos)
                .arg(needed)
                .arg(length));
    };
    // A big-endian signed 32-bit value; the caller has checked that the 4 bytes are there.
    const auto s4 = [&](quint64 at) {
        return qint32((quint32(c[at]) << 24) | (quint32(c[at + 1]) << 16) |
                      (quint32(c[at + 2]) << 8) | quint32(c[at + 3]));
    };

    // Every step moves forward by at least one byte and never past the code, so the walk ends
    // after at most code_length steps.
    quint64 pos = 0;
    while (pos < length) {
        const Opcode* op = Opcode::find(c[pos]);
        if (!op) {
            recordError(QStringLiteral("Error parsing code segment"));
            return;
        }
        quint64 size = op->length;
        switch (op->operand) {
        case Opcode::Wide: {
            if (pos + 2 > length) {
                overrun(op, pos, 2);
                return;
            }
            const quint8 modified = c[pos + 1];
            if ((modified >= 21 && modified <= 25) || (modified >= 54 && modified <= 58) ||
                modified == 169) {
                size = 4;
            } else if (modified == 132) {
                size = 6;
            } else {
                recordError(QStringLiteral("Error parsing wide instruction in code segment"));
                size = 1; // go on with the byte after the wide opcode
            }
            break;
        }
        case Opcode::TableSwitch: {
            // The fields after the opcode start at the next multiple of 4 above it.
            const quint64 d = (pos + 4) & ~quint64(3);
            if (d + 12 > length) {
                overrun(op, pos, d + 12 - pos);
                return;
            }
            const qint64 low = s4(d + 4);
            const qint64 high = s4(d + 8);
            const qint64 offsets = high - low + 1;
            if (offsets < 0) {
                recordError(QStringLiteral("Error parsing code segment of %1 - tableswitch at "
                                           "offset %2 has low %3 and high %4, a negative "
                                           "number of jump offsets")
                                .arg(FileCheckLog::abbreviate(getMethodName(method)))
                                .arg(pos)
                                .arg(low)
                                .arg(high));
                return;
            }
            size = d + 12 + 4 * quint64(offsets) - pos;
            break;
        }
        case Opcode::LookupSwitch: {
            const quint64 d = (pos + 4) & ~quint64(3);
            if (d + 8 > length) {
                overrun(op, pos, d + 8 - pos);
                return;
            }
            const qint64 npairs = s4(d + 4);
            if (npairs < 0) {
                recordError(QStringLiteral("Error parsing code segment of %1 - lookupswitch at "
                                           "offset %2 has a negative npairs (%3)")
                                .arg(FileCheckLog::abbreviate(getMethodName(method)))
                                .arg(pos)
                                .arg(npairs));
                return;
            }
            size = d + 8 + 8 * quint64(npairs) - pos;
            break;
        }
        default:
            break;
        }
        if (pos + size > length) {
            overrun(op, pos, size);
            return;
        }

        switch (op->operand) {
        case Opcode::FieldRef:
        case Opcode::MethodRef:
        case Opcode::AnyMethodRef:
        case Opcode::InterfaceMethodRef:
        case Opcode::ClassRef: {
            const quint16 index = quint16((c[pos + 1] << 8) | c[pos + 2]);
            if (budgetExhausted)
                return;
            // The operand kind is checked at every use: an index that one instruction uses
            // rightly can be wrong for the next.
            const cp_info* entry = codeOperand(method, index, quint32(pos), op->name, op->operand);
            if (!entry)
                return;
            if (index < walkedEntries.size() && walkedEntries[index])
                break;
            if (walkedEntries.size() <= constant_pool.size())
                walkedEntries.resize(constant_pool.size() + 1);
            walkedEntries[index] = true;
            if (op->operand == Opcode::ClassRef) {
                const auto* classEntry = static_cast<const CONSTANT_Class_info*>(entry);
                QString name;
                utf8At(classEntry->name_index, &name);
                if (spendOnce(textKey(TextUse::CodeClass, classEntry->name_index), name.size()))
                    addDependentClass(*classEntry);
            } else {
                const auto* ref = static_cast<const CONSTANT_Fieldref_info*>(entry);
                // A reference whose parts do not resolve has been reported by the pool scan.
                QString owner;
                QString name;
                QString type;
                const CONSTANT_NameAndType_info* nat = nameAndTypeOf(*ref);
                if (classNameAt(ref->class_index, &owner) && nat &&
                    utf8At(nat->name_index, &name) && utf8At(nat->descriptor_index, &type)) {
                    const bool isField = op->operand == Opcode::FieldRef;
                    if (spendOnce(refKey(isField ? TextUse::CodeField : TextUse::CodeMethod, *ref),
                                  qint64(owner.size()) + name.size() + type.size())) {
                        if (isField)
                            addDependentField(*ref);
                        else
                            addDependentMethod(*ref);
                    }
                }
            }
            break;
        }
        default:
            break;
        }
        pos += size;
    }
}
