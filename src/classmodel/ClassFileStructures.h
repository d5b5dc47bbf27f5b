#pragma once

// The records of a parsed class file, kept close to the class-file format: constant-pool entries
// and attributes hold their raw constant-pool indexes, which JavaClassFile resolves on demand.
// Each record kind is identified by its tag (constant-pool entries) or by its name (attributes);
// a record is only ever created for the tag or name that selects it, so a checked tag or name
// makes the cast to the record type safe. All records are owned by their JavaClassFile, which
// creates them in storage of its own and destroys them, those in the lists of other records
// included: a record never deletes another.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstring>

// Constant-pool tags.
enum : quint8 {
    CONSTANT_Utf8 = 1,
    CONSTANT_Integer = 3,
    CONSTANT_Float = 4,
    CONSTANT_Long = 5,
    CONSTANT_Double = 6,
    CONSTANT_Class = 7,
    CONSTANT_String = 8,
    CONSTANT_Fieldref = 9,
    CONSTANT_Methodref = 10,
    CONSTANT_InterfaceMethodref = 11,
    CONSTANT_NameAndType = 12,
    CONSTANT_MethodHandle = 15,
    CONSTANT_MethodType = 16,
    CONSTANT_InvokeDynamic = 18,
    // Never in a file: the reader puts it after every Long and Double, which take two indexes.
    CONSTANT_Placeholder = 255
};

// Access flags of classes and members.
enum : quint16 {
    ACC_PUBLIC = 0x0001,
    ACC_PRIVATE = 0x0002,
    ACC_PROTECTED = 0x0004,
    ACC_STATIC = 0x0008,
    ACC_FINAL = 0x0010,
    ACC_NATIVE = 0x0100,
    ACC_INTERFACE = 0x0200,
    ACC_ABSTRACT = 0x0400
};

// The display name of a constant-pool tag ("CONSTANT_UNDEFINED!" for the kinds without one).
QString constantInfoToString(unsigned char tag);

// Constant-pool records are plain data without a virtual table: a class file places all of them
// in one allocation of its own and never deletes one on its own, so they stay a few bytes each.
struct cp_info
{
    quint8 tag = 0;
};

// The text is kept as the bytes of the file and decoded when asked for: most of it is never
// looked at, and as UTF-16 it would take more than twice the room. The bytes follow the record
// in the storage of the class file's pool, which places every Utf8 record so.
struct CONSTANT_Utf8_info : cp_info
{
    // The reader's note of what kind of attribute the text names, made when it first meets the
    // text as an attribute name (0 before that): a file names its attributes with a handful of
    // texts, dozens of times each. It takes the byte that would otherwise be padding.
    mutable quint8 attributeKind = 0;
    quint16 length = 0;

    const char* bytes() const { return reinterpret_cast<const char*>(this + 1); }
    // The text, decoded as standard UTF-8.
    QString value() const { return QString::fromUtf8(bytes(), length); }
    // Whether the text is exactly the given ASCII text, without decoding it.
    bool equals(const char* ascii, int size) const
    {
        return size == length && std::memcmp(bytes(), ascii, size_t(size)) == 0;
    }
};

struct CONSTANT_Integer_info : cp_info
{
    qint32 value = 0;
};

struct CONSTANT_Float_info : cp_info
{
    float value = 0;
};

struct CONSTANT_Long_info : cp_info
{
    qint64 value = 0;
};

struct CONSTANT_Double_info : cp_info
{
    double value = 0;
};

struct CONSTANT_Class_info : cp_info
{
    quint16 name_index = 0;
};

struct CONSTANT_String_info : cp_info
{
    quint16 string_index = 0;
};

// One record for Fieldref, Methodref and InterfaceMethodref; the tag tells them apart.
struct CONSTANT_Fieldref_info : cp_info
{
    quint16 class_index = 0;
    quint16 name_and_type_index = 0;
};

struct CONSTANT_NameAndType_info : cp_info
{
    quint16 name_index = 0;
    quint16 descriptor_index = 0;
};

struct CONSTANT_MethodHandle_info : cp_info
{
    quint8 reference_kind = 0;
    quint16 reference_index = 0;
};

struct CONSTANT_MethodType_info : cp_info
{
    quint16 descriptor_index = 0;
};

struct CONSTANT_InvokeDynamic_info : cp_info
{
    quint16 bootstrap_method_attr_index = 0;
    quint16 name_and_type_index = 0;
};

// The common start of every kept attribute. Attributes that carry nothing the system uses
// (Synthetic, StackMapTable, annotations, ...) are kept as a bare attribute_info.
struct attribute_info
{
    quint16 attribute_name_index = 0;
    quint32 attribute_length = 0;
    virtual ~attribute_info();
};

// One record for ConstantValue, Signature and SourceFile: each holds one constant-pool index.
struct ConstantValue_attribute : attribute_info
{
    quint16 constantvalue_index = 0;
};

struct exception_t
{
    quint16 start_pc = 0;
    quint16 end_pc = 0;
    quint16 handler_pc = 0;
    quint16 catch_type = 0;
};
// Rows are kept inside their lists rather than as one allocation each.
Q_DECLARE_TYPEINFO(exception_t, Q_PRIMITIVE_TYPE);

struct Code_attribute : attribute_info
{
    quint16 max_stack = 0;
    quint16 max_locals = 0;
    quint32 code_length = 0; // always code.size()
    QByteArray code;
    QList<exception_t> exception_table;
    QList<attribute_info*> attributes; // owned by the class file
};

struct Exceptions_attribute : attribute_info
{
    QList<unsigned short> exception_index_table;
};

struct InnerClasses_attribute : attribute_info
{
    struct inner_class_t
    {
        quint16 inner_class_info_index = 0;
        quint16 outer_class_info_index = 0;
        quint16 inner_name_index = 0;
        quint16 inner_class_access_flags = 0;
    };
    QList<inner_class_t> classes;
};
Q_DECLARE_TYPEINFO(InnerClasses_attribute::inner_class_t, Q_PRIMITIVE_TYPE);

struct EnclosingMethod_attribute : attribute_info
{
    quint16 class_index = 0;
    quint16 method_index = 0;
};

struct SourceDebugExtension_attribute : attribute_info
{
    QByteArray debug_extension;
};

// Kept without its rows, which are checked while reading: no query reads them.
struct LineNumberTable_attribute : attribute_info
{
    struct line_number_t
    {
        quint16 start_pc = 0;
        quint16 line_number = 0;
    };
    QList<line_number_t> line_number_table;
};

// Kept without its rows, which are checked while reading: no query reads them.
struct LocalVariableTable_attribute : attribute_info
{
    struct local_variable_t
    {
        quint16 start_pc = 0;
        quint16 length = 0;
        quint16 name_index = 0;
        quint16 descriptor_index = 0;
        quint16 index = 0;
    };
    QList<local_variable_t> local_variable_table;
};

// Kept without its rows, which are checked while reading: no query reads them.
struct LocalVariableTypeTable_attribute : attribute_info
{
    struct local_variable_type_t
    {
        quint16 start_pc = 0;
        quint16 length = 0;
        quint16 name_index = 0;
        quint16 signature_index = 0;
        quint16 index = 0;
    };
    QList<local_variable_type_t> local_variable_type_table;
};

// A field or a method of the class; both have the same layout.
struct member_info
{
    quint16 access_flags = 0;
    quint16 name_index = 0;
    quint16 descriptor_index = 0;
    QList<attribute_info*> attributes; // owned by the class file
    member_info() = default;
    member_info(const member_info&) = delete;
    member_info& operator=(const member_info&) = delete;
    virtual ~member_info();
};

struct field_info : member_info
{
};

struct method_info : member_info
{
};
