#pragma once

#include "ClassFileStructures.h"
#include "DepField.h"
#include "DepMethod.h"
#include "FileCheckLog.h"
#include "MethodSignature.h"
#include "RecordStorage.h"
#include "TypeDescriptor.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

class ByteReader;
class QDataStream;

// One parsed class file, kept close to the class-file format: the constant pool entry by entry
// (a placeholder after every Long and Double, so that index i is element i-1), the flags and
// indexes of the class, its interface, field and method tables and the attributes, all with
// their raw constant-pool indexes. Names and types are resolved from the pool only when asked.
//
// Reading never stops the program: every problem of the file lands in checkLog, and a file
// whose checkLog.hasError is set must not be used. A file that reads cleanly also carries the
// classes, fields and methods that its declarations and bytecode use (the dependency sets).
//
// The queries never throw and never record messages; for an index that does not resolve they
// answer an empty text, an empty descriptor, "INVALID" or null as each one says. Pointers they
// hand out stay valid while the class file lives. A class file is used by one thread at a time.
class JavaClassFile
{
public:
    quint32 magic = 0;
    quint16 minor_version = 0;
    quint16 major_version = 0;
    QList<cp_info*> constant_pool; // owned, placeholders included
    quint16 access_flags = 0;
    quint16 this_class = 0;
    quint16 super_class = 0;
    QList<cp_info*> interfaces;        // the Class entries named by the interface table; not owned
    QList<field_info*> fields;         // owned, with their attributes
    QList<method_info*> methods;       // owned, with their attributes
    QList<attribute_info*> attributes; // owned, the class's own attributes that are kept
    // The dependency sets as findDependencies() fills them. A clean read checks every
    // dependency source at once (its problems are in checkLog) but leaves these empty: the
    // getters below work the lists out when asked. Most classes (those of the allowed API,
    // every listed class) are never asked, and the sets would be the largest part of a class
    // file in memory.
    QMap<TypeDescriptor, bool> dependentClasses;
    QMap<DepField, bool> dependentFields;
    QMap<DepMethod, bool> dependentMethods;
    FileCheckLog checkLog;

    JavaClassFile();
    ~JavaClassFile();
    JavaClassFile(const JavaClassFile&) = delete;
    JavaClassFile& operator=(const JavaClassFile&) = delete;

    // Parses one class file from its bytes. Never null; the caller owns the result and must
    // look at its checkLog before using it.
    static JavaClassFile* create(const QByteArray& bytes);

    // Parses the whole file from the rest of the stream's data. The outcome is in checkLog;
    // after a structural fault, what was read so far stays and the dependency sets stay empty.
    void read(QDataStream& in);

    // The sections of the file, each read through the bounded reader; they throw
    // BadClassFileException on a structural fault, which read() records.
    void readConstantPool(ByteReader& in);
    void readInterfaces(ByteReader& in);
    void readFields(ByteReader& in);
    void readMethods(ByteReader& in);
    // Reads one attribute table and returns the kept records, which the caller then owns.
    // depth counts the Code attributes around the table.
    QList<attribute_info*> readAttributes(ByteReader& in, int depth = 0);

    // Returns when index names an existing constant-pool entry with the given tag; otherwise
    // throws BadClassFileException naming label as the place being checked.
    void cptest(const QString& label, unsigned char tag, unsigned short index) const;

    // Class identity.
    QString getName() const;
    TypeDescriptor getTypeDescriptor() const;
    QString getPackage() const;
    QString getParentName() const;
    TypeDescriptor getParentTypeDescriptor() const;
    QString getInterfaceName(const cp_info* entry) const;
    TypeDescriptor getInterfaceTypeDescriptor(const cp_info* entry) const;
    TypeDescriptor getClassTypeDescriptor(const CONSTANT_Class_info& entry) const;

    // Fields and methods of the class.
    QString getFieldName(const field_info* field) const;
    QString getMethodName(const method_info* method) const;
    QString getFieldDescriptor(const field_info* field) const;
    QString getMethodDescriptor(const method_info* method) const;
    TypeDescriptor getFieldTypeDescriptor(const field_info* field) const;
    MethodSignature getMethodSignature(const method_info* method) const;
    // 2 public, 1 protected, 0 private, 3 package; tested in that order.
    int getFieldPermission(const field_info* field) const;
    int getMethodPermission(const method_info* method) const;
    bool isFieldFinal(const field_info* field) const;
    bool isMethodFinal(const method_info* method) const;
    bool isFieldStatic(const field_info* field) const;
    bool isMethodStatic(const method_info* method) const;
    bool isMethodNative(const method_info* method) const;
    // The method's first Code attribute (a Code_attribute), or null.
    attribute_info* getMethodCodeAttr(const method_info* method) const;
    // The internal names of the declared exceptions; unusable indexes are passed over.
    QList<QString> getMethodExceptions(const method_info* method) const;
    QList<TypeDescriptor> getMethodExceptionsTypeDescriptors(const method_info* method) const;
    bool isAttr(const attribute_info* attribute, const QString& name) const;
    // The same for an ASCII name, compared with the bytes of the file without decoding them.
    // Inline, so that the size of a literal name is known where it is asked.
    bool isAttrNamed(const attribute_info* attribute, const char* ascii) const
    {
        if (!attribute)
            return false;
        const auto* entry = static_cast<const CONSTANT_Utf8_info*>(
            entryAt(attribute->attribute_name_index, CONSTANT_Utf8));
        return entry && entry->equals(ascii, int(std::strlen(ascii)));
    }

    // Member references of the constant pool (tags 9, 10 and 11), in pool order.
    QList<CONSTANT_Fieldref_info*> getFieldRefInfos() const;
    QList<CONSTANT_Fieldref_info*> getMethodRefInfos() const;
    QList<CONSTANT_Fieldref_info*> getInterfaceMethodRefInfos() const;
    // The owner as a descriptor text ('Ljava/lang/String;', or '[...' as it stands); "INVALID"
    // when the reference's class does not resolve.
    QString getFieldParentClassName(const CONSTANT_Fieldref_info& ref) const;
    QString getMethodParentClassName(const CONSTANT_Fieldref_info& ref) const;
    // "INVALID" when the name does not resolve.
    QString getFieldName(const CONSTANT_Fieldref_info& ref) const;
    QString getMethodName(const CONSTANT_Fieldref_info& ref) const;
    // Built from the empty text when the descriptor does not resolve.
    TypeDescriptor getFieldTypeDescriptor(const CONSTANT_Fieldref_info& ref) const;
    MethodSignature getMethodSignature(const CONSTANT_Fieldref_info& ref) const;

    // The dependency sets, each key once, in ascending order; after a clean read worked out
    // from the file (see workOutDependencies).
    QList<TypeDescriptor> getDependentClasses() const;
    QList<DepField> getDependentFields() const;
    QList<DepMethod> getDependentMethods() const;

    // Fills the dependency sets at once. Malformed references and unreadable bytecode are
    // recorded as errors in checkLog. read() records the same errors after a clean read and
    // leaves the sets to the getters.
    void findDependencies();

private:
    void readBytes(const QByteArray& bytes);
    void readClassFile(ByteReader& in);
    // kind and k name the member in messages ("Field[3]"), composed only when one is needed.
    template <typename Member> Member* readMember(ByteReader& in, const char* kind, int k);
    // start is the attribute's offset, depth counts the Code attributes around it.
    attribute_info* readCode(ByteReader& body, int start, int depth);
    // Whether the record is a Code_attribute, which holds records of its own.
    bool isCodeRecord(const attribute_info* attribute) const;
    // Destroys records with every record they hold.
    void releaseAttributes(const QList<attribute_info*>& list);
    void releaseMember(member_info* member);
    // Gives back the room in records that the records did not take, and follows the records
    // should they move.
    void fitRecords();
    void moveAttributes(QList<attribute_info*>& list);

    // The entry with index i, or null when i is 0 or beyond the pool.
    const cp_info* entryAt(quint32 index) const
    {
        if (index == 0 || index > quint32(constant_pool.size()))
            return nullptr;
        return constant_pool.at(int(index - 1));
    }
    // The entry with index i when it has the tag, else null.
    const cp_info* entryAt(quint32 index, quint8 tag) const
    {
        const cp_info* entry = entryAt(index);
        return entry && entry->tag == tag ? entry : nullptr;
    }
    // True and the text when index names a Utf8 entry.
    bool utf8At(quint32 index, QString* text) const;
    // True and the name when index names a Class entry whose name is a Utf8 entry.
    bool classNameAt(quint32 index, QString* name) const;
    const CONSTANT_NameAndType_info* nameAndTypeOf(const CONSTANT_Fieldref_info& ref) const;
    QList<CONSTANT_Fieldref_info*> refInfos(quint8 tag) const;
    friend class DependencyExtractor;
    // Set by a clean read: the getters work the sets out from the file.
    bool dependenciesPending = false;
    // Lists worked out together with one that a getter returned, until they are asked for.
    enum : quint8 { StashedClasses = 1, StashedFields = 2, StashedMethods = 4, StashedAll = 7 };
    void workOutDependencies(quint8 wanted) const;
    mutable quint8 stashed = 0;
    mutable QList<TypeDescriptor> stashedClasses;
    mutable QList<DepField> stashedFields;
    mutable QList<DepMethod> stashedMethods;
    // The constant-pool entries and the bytes of their texts, in one allocation from the C
    // library, which can cut it to size where it is.
    struct FreeStorage
    {
        void operator()(char* storage) const { std::free(storage); }
    };
    std::unique_ptr<char, FreeStorage> poolStorage;
    // Gives back what the entries do not take of poolStorage, used bytes from its start.
    void fitPoolStorage(size_t used);
    // The field, method and attribute records.
    RecordStorage records;
    // The size of the bytes read, which bounds the work of dependency extraction.
    qint64 readSize = 0;
    // What the bytecode walk of the check after a clean read met, so that working out the lists
    // need not walk again: the constant-pool indexes that instructions use, in the order of
    // their first use, and what the walk charged against the extraction budget.
    bool walkRecorded = false;
    std::vector<quint16> walkUses;
    qint64 walkCharge = 0;
};
