#pragma once

#include "HashIndex.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <memory>
#include <memory_resource>
#include <utility>
#include <vector>

class ByteReader;
class JavaClassFile;
struct Opcode;
class TypeDescriptor;
class TypeTable;
class DepField;
class DepMethod;
struct method_info;
struct CONSTANT_Fieldref_info;

// Works out what one class file uses: the classes, fields and methods of its declarations, of the
// member references of its constant pool and of the instructions of its code, and fills the
// file's three dependency sets with them. Malformed references and unreadable code are recorded
// as errors in the file's check log, references first (fields, methods, interface methods, each
// in pool order), then the code of each method in declaration order.
//
// Each constant-pool entry is handled once. What it contributes is first collected as cheap
// candidates that point into the pool's texts; they are sorted and deduplicated once, and only
// the distinct results become TypeDescriptor, DepField and DepMethod values. When two candidates
// are the same key, the one that the order of the rules meets first is kept.
//
// Against hostile files, the text that a run handles is bounded by a budget that grows with the
// file's size; each distinct text is charged once, so that a text that many members share costs
// what it costs once (see charge()).
//
// Used by one thread on one class file; it keeps no state beyond the run.
class DependencyExtractor
{
public:
    explicit DependencyExtractor(JavaClassFile& file);
    ~DependencyExtractor();
    DependencyExtractor(const DependencyExtractor&) = delete;
    DependencyExtractor& operator=(const DependencyExtractor&) = delete;

    enum Mode {
        Check, // records the file's problems in its check log and builds nothing
        Build, // fills the dependency sets and records nothing
        CheckAndBuild
    };
    // Where a Build run puts its results: the three lists given (each in ascending order,
    // without duplicates), or the file's three sets when none is given.
    struct Lists
    {
        QList<TypeDescriptor>* classes = nullptr;
        QList<DepField>* fields = nullptr;
        QList<DepMethod>* methods = nullptr;
    };
    // Works through all sources of the file; called after a clean read. A Build run after a
    // Check run meets the same problems and the same bound, so it fills the sets exactly as
    // one CheckAndBuild run would.
    void run(Mode mode = CheckAndBuild);
    void run(Mode mode, const Lists& lists);

    // A piece of text inside a pool string, read with '.' turned into '/' when asked; the
    // pieces of a key are compared as one joined text.
    struct Piece
    {
        const QChar* data = nullptr;
        int size = 0;
        bool dotsAsSlashes = false;
    };

private:
    struct ClassCandidate;
    // The ways of reading a pool text that are charged once per text: as a class name, as a
    // type (a class type, or the element class of an array type), as the types of a method
    // descriptor. ChargedWithText: a piece of a text that has been charged as a whole.
    enum ChargeWay : quint8 {
        ChargedWithText = 0,
        ChargedName = 1,
        ChargedType = 2,
        ChargedSignature = 4
    };
    struct MemberCandidate;
    struct RefParts;

    const QString* utf8At(quint32 index) const;
    quint16 classNameIndex(quint32 classIndex) const;
    // Whether the three parts of a member reference resolve; sets their indexes in parts.
    bool isSound(const CONSTANT_Fieldref_info& ref, RefParts& parts) const;
    // The parts of a member reference, their texts or the reasons why they do not resolve.
    bool resolve(const CONSTANT_Fieldref_info& ref, bool isMethod, RefParts& parts) const;
    // The byte length of a Utf8 entry, 0 for an index that names none.
    quint32 utf8Length(quint32 index) const;
    // An upper bound of what the declarations and the Class entries that instructions use can
    // charge.
    qint64 declarationBound() const;
    void reportMalformed(const CONSTANT_Fieldref_info& ref, const RefParts& parts);
    // The sound member references by the texts they combine, with their pool index.
    using References = std::pmr::vector<std::pair<quint64, quint32>>;
    // The stages of a run, in order.
    void scanPool(References& fieldRefs, References& methodRefs);
    // Walks the code of every method, or takes what the check after the read met there.
    void walkAll(Mode mode);
    void addPoolMembers(const References& fieldRefs, const References& methodRefs);
    // Sets first[index] for the first reference of each key (an interface-method reference
    // after every method reference).
    void markFirstOfEachKey(const References& refs, std::pmr::vector<quint8>& first);
    // The parts of a sound member reference, from what the pool scan found.
    RefParts partsOf(quint32 index) const;
    void addUsedEntries();
    void addDeclarations();
    void prepareStages();
    void walk(const method_info* method);
    // A tableswitch or lookupswitch whose opcode at pos has been read; false when the code
    // cannot be walked on (the error is recorded).
    bool skipSwitch(const method_info* method, ByteReader& code, const Opcode* op, quint64 pos);
    void overrun(const method_info* method, const Opcode* op, quint64 pos, quint64 needed,
                 quint64 length);
    bool checkOperand(const method_info* method, quint16 index, quint32 pos, const char* mnemonic,
                      int operandKind);
    void codeError(const QString& message);

    // The candidates each source contributes. seq orders them as the rules meet them.
    void addClassName(const QString& name, quint64 seq);
    // The class type that a descriptor piece stands for: itself, or with arrays the element
    // class of an array type. way: how a whole pool text is charged (see chargeText).
    void addFieldType(const QString& text, int from, int size, quint64 seq, bool arrays,
                      ChargeWay way = ChargedType);
    void addSignatureTypes(const QString& descriptor, quint64 seq, bool arrays);
    void addField(const Piece* owner, int ownerCount, const QString& name, const QString& type,
                  quint16 nameIndex, quint16 typeIndex, quint64 seq);
    void addMethod(const QString& ownerName, const QString& name, const QString& descriptor,
                   quint16 nameIndex, quint16 typeIndex, quint64 seq);
    void addUsedEntry(quint32 index, quint32 order);
    struct OwnMembers;
    // Whether the class declares a member of that name and descriptor (by their pool indexes
    // and texts).
    bool declares(OwnMembers& members, quint16 nameIndex, quint16 typeIndex, const QString& name,
                  const QString& descriptor) const;
    // Visits the declared fields or the declared methods, as members holds the one or the other.
    template <typename Visit> void forEachOwn(const OwnMembers& members, const Visit& visit) const;
    bool isOwnClass(const Piece* owner, int ownerCount) const;

    // The budget bounds the text that a run handles, against hostile files. Each distinct
    // text is charged once: a pool text once for each way of reading it (as a class name, a
    // type, a descriptor's types), a member key once per distinct reference, an error message
    // each time. False once the budget is exhausted.
    bool charge(qint64 n);
    bool chargeText(const QString& text, ChargeWay way, qint64 n);
    // False when the pool text has been read at an earlier place in the way that earliest
    // records; otherwise records seq as its place. Always true for other texts.
    bool firstPlace(std::pmr::vector<quint64>& earliest, const QString& text, quint64 seq);
    // The index of a pool text in texts, -1 for another text.
    int textIndex(const QString& text) const;
    // Appends the joined text of the pieces to keys and returns where it starts.
    quint32 appendKey(const Piece* pieces, int count);
    // Adds a candidate whose key is the joined text of the pieces, unless one of the same key
    // is there already.
    template <typename Candidate>
    void keep(std::pmr::vector<Candidate>& list, HashIndex& index, const Piece* pieces, int count,
              Candidate candidate);
    void build();
    template <typename Candidate> void sortByKey(std::pmr::vector<Candidate>& candidates) const;
    void buildClasses(TypeTable& types);
    void buildMembers(TypeTable& types);

    JavaClassFile& file;
    // What a run allocates for itself comes from here: a block inside the extractor first, which
    // serves most classes, and is given back at once when the run ends.
    alignas(16) char firstBlock[16384];
    std::pmr::monotonic_buffer_resource arena{firstBlock, sizeof firstBlock};
    // The decoded texts of the pool's Utf8 entries, by index; null until first needed.
    mutable std::pmr::vector<QString> texts;
    // Per pool text: the ways in which it has been charged.
    std::pmr::vector<quint8> charged;
    QString own;
    bool enumParent = false;
    std::unique_ptr<OwnMembers> ownFields;
    std::unique_ptr<OwnMembers> ownMethods;

    // Per pool index of a sound member reference: its kind and the indexes of its three parts
    // (1 field or 2 method << 56 | class name << 32 | name << 16 | descriptor); 0 for any other
    // entry.
    std::pmr::vector<quint64> refKeys;
    // Per pool index: the order of its first use by an instruction (0: unused).
    std::pmr::vector<quint32> useOrder;
    quint32 uses = 0;

    QStringList fieldErrors;
    QStringList methodErrors;
    QStringList interfaceMethodErrors;
    QStringList codeErrors;

    std::pmr::vector<ClassCandidate> classes;
    std::pmr::vector<MemberCandidate> fields;
    std::pmr::vector<MemberCandidate> methods;
    // The keys of all candidates, one after the other, so that sorting compares plain texts.
    std::pmr::vector<QChar> keys;
    // Hash indexes over each list.
    HashIndex classIndex;
    HashIndex fieldIndex;
    HashIndex methodIndex;
    // Per pool text: the earliest place at which it was read as a class name, as a type (whole),
    // and as the descriptor of an instruction's call (see firstPlace()).
    std::pmr::vector<quint64> classNameSeqs;
    std::pmr::vector<quint64> typeSeqs;
    std::pmr::vector<quint64> signatureSeqs;

    Lists out;
    bool checking = true;
    bool collecting = true;
    qint64 budget = 0;
    // An upper bound of what the pool and walk stages can charge for the sound references.
    qint64 bound = 0;
    bool exhausted = false;
};
