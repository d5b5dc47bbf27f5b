#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory_resource>
#include <vector>

class DepField;
class DepMethod;
class JavaClassFile;
class TypeDescriptor;
class TypeTable;

// Works out the three dependency lists of a cleanly read class file the quick way, for the files
// that compilers write: every name and descriptor the lists are made of is ASCII, no member
// reference names a class with a '.' in its name, no field reference names an array class,
// every interface name resolves, and no two different values come out under one key. In such a
// file a key never has two spellings, so which source the extraction rules meet first does not
// matter: the lists are the distinct values sorted by key, and they are worked out from the
// bytes of the pool, with texts decoded only for the values.
//
// Any other file is declined, its lists untouched, and left to DependencyExtractor, which
// follows every rule to the letter. Used by one thread on one class file.
class PlainDependencies
{
public:
    explicit PlainDependencies(const JavaClassFile& file);
    ~PlainDependencies();
    PlainDependencies(const PlainDependencies&) = delete;
    PlainDependencies& operator=(const PlainDependencies&) = delete;

    // Fills the three lists, each in ascending order without duplicates, and returns true; or
    // returns false and leaves them as they were.
    bool run(QList<TypeDescriptor>* classes, QList<DepField>* fields, QList<DepMethod>* methods);

private:
    // A piece of a pool text.
    struct Text
    {
        const char* data = nullptr;
        int size = 0;
    };
    struct ClassCandidate;
    struct MemberCandidate;
    struct OwnMember;

    // The text of a Utf8 entry; false when the index names none or the text is not ASCII.
    bool text(quint32 index, Text* out);
    quint16 classNameIndex(quint32 classIndex) const;
    // The indexes of a member reference's class name, name and descriptor; false when a part
    // does not resolve.
    bool resolve(quint32 refIndex, quint16* className, quint16* name, quint16* type) const;

    // The candidates of each source, as the extraction rules make them.
    static bool sameDescriptor(const ClassCandidate& a, const ClassCandidate& b);
    bool addClassName(quint16 index);
    void addClassText(Text name, bool wrapped);
    void addFieldType(Text text, int from, int size, bool arrays);
    void addArrayElement(Text text);
    bool addSignatureTypes(quint16 index, bool arrays);
    bool addMember(bool isField, quint16 className, quint16 name, quint16 type);
    // The kind and parts of a member reference or Class entry, as one number; usable false
    // when the reference's parts do not resolve.
    quint64 referenceKey(quint32 index, bool* usable) const;
    static void uniqueKeys(std::pmr::vector<quint64>& keys);
    bool addPoolReferences();
    bool addUsedEntries();
    bool addDeclarations();
    bool declares(const std::pmr::vector<OwnMember>& members, quint16 name, quint16 type);

    // Sorts and merges the candidates; false when one key has two values.
    bool mergeClasses();
    bool mergeMembers(std::pmr::vector<MemberCandidate>& members);
    // The decoded text of a Utf8 entry that run() has found to be ASCII.
    const QString& decoded(quint16 index);
    const TypeDescriptor& ownerOf(TypeTable& types, const MemberCandidate& c);
    void buildClasses(TypeTable& types, QList<TypeDescriptor>* out);
    void buildFields(TypeTable& types, QList<DepField>* out);
    void buildMethods(TypeTable& types, QList<DepMethod>* out);

    const JavaClassFile& file;
    alignas(16) char firstBlock[8192];
    std::pmr::monotonic_buffer_resource arena{firstBlock, sizeof firstBlock};
    // Per pool index: 0 not looked at, 1 ASCII, 2 not ASCII or no Utf8 entry; and what was done
    // with the text already (bits of the source kinds).
    std::pmr::vector<quint8> state;
    std::pmr::vector<quint8> done;
    std::pmr::vector<QString> texts;
    // The owner values of the members, by the index of their class name.
    std::pmr::vector<const TypeDescriptor*> owners;
    quint16 ownName = 0;
    bool enumParent = false;
    std::pmr::vector<OwnMember> ownFields;
    std::pmr::vector<OwnMember> ownMethods;
    std::pmr::vector<ClassCandidate> classes;
    // Open addressing over classes by key (candidate + 1, 0 for a free slot).
    std::pmr::vector<quint32> classSlots;
    // Set when one key has come with two descriptors.
    bool clash = false;
    std::pmr::vector<MemberCandidate> fields;
    std::pmr::vector<MemberCandidate> methods;
    // The keys of the candidates, one after the other.
    std::pmr::vector<char> keys;
};
