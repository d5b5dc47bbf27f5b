#include "DependencyExtractor.h"

#include "BadClassFileException.h"
#include "ByteReader.h"
#include "ClassFileStructures.h"
#include "HashIndex.h"
#include "JavaClassFile.h"
#include "Opcode.h"
#include "TypeTable.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <deque>

namespace {

// The characters that extraction may handle per byte of the file, and on top of that. Each
// distinct text is counted once; over the 14,000 classes of three modules of the Java runtime
// the handled text reaches at most 8 characters per byte.
const qint64 textBudgetPerByte = 32;
const qint64 textBudgetBase = 1 << 20;

const QChar letterL[1] = {QLatin1Char('L')};
const QChar semicolon[1] = {QLatin1Char(';')};

using Piece = DependencyExtractor::Piece;

Piece pieceOf(const QString& text, int from = 0, int size = -1, bool dotsAsSlashes = false)
{
    Piece p;
    p.data = text.constData() + from;
    p.size = size < 0 ? text.size() - from : size;
    p.dotsAsSlashes = dotsAsSlashes;
    return p;
}

Piece literal(const QChar* c)
{
    Piece p;
    p.data = c;
    p.size = 1;
    return p;
}

ushort charAt(const Piece& p, int i)
{
    const ushort c = p.data[i].unicode();
    return p.dotsAsSlashes && c == '.' ? '/' : c;
}

// Compares the joined texts of two runs of pieces code unit by code unit, as QString's ordering
// compares the joined strings.
int comparePieces(const Piece* a, int na, const Piece* b, int nb)
{
    int ia = 0;
    int ib = 0;
    int ca = 0;
    int cb = 0;
    for (;;) {
        while (ia < na && ca == a[ia].size) {
            ++ia;
            ca = 0;
        }
        while (ib < nb && cb == b[ib].size) {
            ++ib;
            cb = 0;
        }
        if (ia == na || ib == nb)
            return (ia == na ? 0 : 1) - (ib == nb ? 0 : 1);
        const ushort x = charAt(a[ia], ca);
        const ushort y = charAt(b[ib], cb);
        if (x != y)
            return x < y ? -1 : 1;
        ++ca;
        ++cb;
    }
}

// Candidates are ordered by the rules' own order: a phase, a section inside it, a position and a
// part of that position.
quint64 sequence(quint64 phase, quint64 section, quint64 major, quint64 minor)
{
    return (phase << 60) | (section << 56) | ((major & 0xFFFFFFFFFull) << 20) | (minor & 0xFFFFF);
}

// Phases of the class set: what the walk records comes before the work list.
enum : quint64 { ClassesOfWalk = 0, ClassesOfWork = 1 };
// Sections of the work list.
enum : quint64 {
    WorkDeclarations = 0,
    WorkFieldRefs = 1,
    WorkMethodRefs = 2,
    WorkInterfaceRefs = 3
};
// Phases of the member sets: the pool scan (fields; methods, then interface methods), the walk.
enum : quint64 { MembersOfPool = 0, MembersOfInterfacePool = 1, MembersOfWalk = 2 };

// Bits of the per-entry flags that make each entry's declaration work happen once.
enum : quint8 { SeenFieldType = 1, SeenSignature = 2, SeenClassName = 4 };

} // namespace

struct DependencyExtractor::ClassCandidate
{
    quint32 keyOffset; // in keys
    // The descriptor's inner text with '.' read as '/'. No character lies between the two, so
    // such keys order and match as the printed forms ('/' read as '.') do.
    quint32 keyLength;
    const QString* source; // the text the descriptor lies in
    int from;
    int size;
    bool wrapped; // the descriptor is "L" + that part + ";"
    quint64 seq;
};

struct DependencyExtractor::MemberCandidate
{
    quint32 keyOffset; // in keys: the owner's descriptor, the name and the descriptor joined
    quint32 keyLength;
    quint32 ownerLength;
    const QString* name;
    const QString* descriptor;
    quint64 seq;
};

// The three parts of a member reference. A part that does not resolve holds the reason.
struct DependencyExtractor::RefParts
{
    const QString* className = nullptr;
    const QString* name = nullptr;
    const QString* type = nullptr;
    const char* classError = nullptr;
    const char* nameError = nullptr;
    const char* typeError = nullptr;
    quint16 classNameIndex = 0;
    quint16 nameIndex = 0;
    quint16 typeIndex = 0;
};

DependencyExtractor::DependencyExtractor(JavaClassFile& file)
    : file(file), texts(&arena), charged(&arena), refKeys(&arena), useOrder(&arena),
      classes(&arena), fields(&arena), methods(&arena), keys(&arena), classIndex(&arena),
      fieldIndex(&arena), methodIndex(&arena), classNameSeqs(&arena), typeSeqs(&arena),
      signatureSeqs(&arena)
{
}

DependencyExtractor::~DependencyExtractor() = default;

const QString* DependencyExtractor::utf8At(quint32 index) const
{
    if (index == 0 || index > quint32(file.constant_pool.size()))
        return nullptr;
    const cp_info* entry = file.constant_pool.at(int(index - 1));
    if (entry->tag != CONSTANT_Utf8)
        return nullptr;
    // The pool keeps its texts as bytes; each one is decoded once per run, when first needed.
    // The table has a place for every index from the start, so the texts never move.
    if (texts.empty())
        texts.resize(size_t(file.constant_pool.size()) + 1);
    QString& text = texts[index];
    if (text.isNull()) {
        text = static_cast<const CONSTANT_Utf8_info*>(entry)->value();
        if (text.isNull())
            text = QLatin1String(""); // an empty text, told apart from one not yet decoded
    }
    return &text;
}

quint16 DependencyExtractor::classNameIndex(quint32 classIndex) const
{
    if (classIndex == 0 || classIndex > quint32(file.constant_pool.size()))
        return 0;
    const cp_info* entry = file.constant_pool.at(int(classIndex - 1));
    return entry->tag == CONSTANT_Class ? static_cast<const CONSTANT_Class_info*>(entry)->name_index
                                        : 0;
}

quint32 DependencyExtractor::utf8Length(quint32 index) const
{
    const cp_info* entry = file.entryAt(index, CONSTANT_Utf8);
    return entry ? static_cast<const CONSTANT_Utf8_info*>(entry)->length : 0;
}

qint64 DependencyExtractor::declarationBound() const
{
    // Every Utf8 entry can be handled as a class name, a field type and a method descriptor,
    // once each, by the declarations, and once more as the name of a Class entry that an
    // instruction uses; an interface whose name does not resolve adds an empty name.
    qint64 sum = 2 * qint64(file.interfaces.size());
    for (const cp_info* entry : qAsConst(file.constant_pool)) {
        if (entry->tag == CONSTANT_Utf8)
            sum += 4 * (qint64(static_cast<const CONSTANT_Utf8_info*>(entry)->length) + 2);
    }
    return sum;
}

bool DependencyExtractor::charge(qint64 n)
{
    if (exhausted)
        return false;
    budget -= n;
    exhausted = budget < 0;
    return !exhausted;
}

bool DependencyExtractor::firstPlace(std::pmr::vector<quint64>& earliest, const QString& text,
                                     quint64 seq)
{
    // A pool text read in the same way at an earlier place gave the same keys and values, which
    // a later place would lose to; so it is passed over without building its keys. Handling
    // each kind of source in the order of its places handles each text there once.
    const int index = textIndex(text);
    if (index < 0)
        return true;
    if (earliest.empty())
        earliest.assign(texts.size(), ~quint64(0));
    quint64& place = earliest[size_t(index)];
    if (place <= seq)
        return false;
    place = seq;
    return true;
}

int DependencyExtractor::textIndex(const QString& text) const
{
    const QString* first = texts.data();
    return &text >= first && &text < first + texts.size() ? int(&text - first) : -1;
}

bool DependencyExtractor::chargeText(const QString& text, ChargeWay way, qint64 n)
{
    if (way == ChargedWithText)
        return !exhausted;
    // A pool text read again in the same way adds no text that was not charged.
    const int index = textIndex(text);
    if (index >= 0) {
        if (charged.empty())
            charged.assign(texts.size(), 0);
        if (charged[size_t(index)] & way)
            return !exhausted;
        charged[size_t(index)] |= way;
    }
    return charge(n);
}

// ---------------------------------------------------------------------------------------------
// Reference resolution. Each failure names the first check that did not hold; the message of a
// malformed reference shows that text in place of the part.

bool DependencyExtractor::isSound(const CONSTANT_Fieldref_info& ref, RefParts& parts) const
{
    const auto* name =
        static_cast<const CONSTANT_Class_info*>(file.entryAt(ref.class_index, CONSTANT_Class));
    const auto* nat = static_cast<const CONSTANT_NameAndType_info*>(
        file.entryAt(ref.name_and_type_index, CONSTANT_NameAndType));
    if (!name || !nat)
        return false;
    parts.classNameIndex = name->name_index;
    parts.nameIndex = nat->name_index;
    parts.typeIndex = nat->descriptor_index;
    return file.entryAt(parts.classNameIndex, CONSTANT_Utf8) &&
           file.entryAt(parts.nameIndex, CONSTANT_Utf8) &&
           file.entryAt(parts.typeIndex, CONSTANT_Utf8);
}

bool DependencyExtractor::resolve(const CONSTANT_Fieldref_info& ref, bool isMethod,
                                  RefParts& parts) const
{
    const int poolSize = file.constant_pool.size();
    const auto entry = [&](quint32 index) -> const cp_info* {
        return index == 0 || index > quint32(poolSize) ? nullptr
                                                       : file.constant_pool.at(int(index - 1));
    };

    if (const cp_info* c = entry(ref.class_index)) {
        if (c->tag != CONSTANT_Class) {
            parts.classError = "class index is not class info";
        } else {
            parts.classNameIndex = static_cast<const CONSTANT_Class_info*>(c)->name_index;
            const cp_info* name = entry(parts.classNameIndex);
            if (!name)
                parts.classError = "invalid class name index";
            else if (name->tag != CONSTANT_Utf8)
                parts.classError = "class name info is not a string";
            else
                parts.className = utf8At(parts.classNameIndex);
        }
    } else {
        parts.classError = "invalid class index";
    }

    const cp_info* nat = entry(ref.name_and_type_index);
    if (!nat) {
        parts.nameError = parts.typeError = "invalid name and type index";
    } else if (nat->tag != CONSTANT_NameAndType) {
        parts.nameError = parts.typeError = "name and type index is not name and type info";
    } else {
        const auto* n = static_cast<const CONSTANT_NameAndType_info*>(nat);
        parts.nameIndex = n->name_index;
        parts.typeIndex = n->descriptor_index;
        const cp_info* name = entry(n->name_index);
        if (!name)
            parts.nameError = isMethod ? "invalid method name index" : "invalid field name index";
        else if (name->tag != CONSTANT_Utf8)
            parts.nameError =
                isMethod ? "method name info is not a string" : "field name info is not a string";
        else
            parts.name = utf8At(n->name_index);
        const cp_info* type = entry(n->descriptor_index);
        if (!type)
            parts.typeError =
                isMethod ? "invalid method signature index" : "invalid field descriptor index";
        else if (type->tag != CONSTANT_Utf8)
            parts.typeError = isMethod ? "method signature info is not a string"
                                       : "field descriptor info is not a string";
        else
            parts.type = utf8At(n->descriptor_index);
    }
    return parts.className && parts.name && parts.type;
}

void DependencyExtractor::reportMalformed(const CONSTANT_Fieldref_info& ref, const RefParts& parts)
{
    const bool isMethod = ref.tag != CONSTANT_Fieldref;
    const auto text = [](const QString* part, const char* error) {
        return FileCheckLog::abbreviate(part ? *part : QString::fromUtf8(error));
    };
    QString message;
    if (!isMethod) {
        message = QStringLiteral("Malformed field reference. Class: %1 Field: %2 "
                                 "Descriptor: %3")
                      .arg(text(parts.className, parts.classError),
                           text(parts.name, parts.nameError), text(parts.type, parts.typeError));
        if (charge(message.size()))
            fieldErrors << message;
        return;
    }
    QString owner = parts.className ? *parts.className : QString::fromUtf8(parts.classError);
    if (!owner.startsWith(QLatin1Char('[')))
        owner = QStringLiteral("L%1;").arg(owner);
    const bool isInterface = ref.tag == CONSTANT_InterfaceMethodref;
    message = QStringLiteral("Malformed %1 reference. Class: %2 Method: %3 Method Signature: %4")
                  .arg(isInterface ? QStringLiteral("interface method") : QStringLiteral("method"),
                       FileCheckLog::abbreviate(owner), text(parts.name, parts.nameError),
                       text(parts.type, parts.typeError));
    if (charge(message.size()))
        (isInterface ? interfaceMethodErrors : methodErrors) << message;
}

// ---------------------------------------------------------------------------------------------
// Candidates

void DependencyExtractor::addClassName(const QString& name, quint64 seq)
{
    // A Class entry's name: an internal name ('java/lang/String') stands for "L<name>;", an array
    // descriptor for its element class, if that is a class.
    if (name.startsWith(QLatin1Char('['))) {
        addFieldType(name, 0, name.size(), seq, true);
        return;
    }
    if (!chargeText(name, ChargedName, name.size() + 2) || !collecting)
        return;
    // Most class names come again and again (the owner of every member reference).
    if (!firstPlace(classNameSeqs, name, seq))
        return;
    const Piece key = pieceOf(name, 0, -1, true);
    keep(classes, classIndex, &key, 1,
         {0, quint32(key.size), &name, 0, int(name.size()), true, seq});
}

void DependencyExtractor::addFieldType(const QString& text, int from, int size, quint64 seq,
                                       bool arrays, ChargeWay way)
{
    // An array type on the work list contributes its element class. The element is read from
    // the rest of the text after the '[' run, as a descriptor on its own.
    const int end = from + size;
    int pos = from;
    while (arrays && pos < end && text.at(pos) == QLatin1Char('['))
        ++pos;
    // A character outside Latin-1 reads as code 0, which is no element letter.
    if (pos >= end || text.at(pos) != QLatin1Char('L'))
        return;
    const bool wholeText = from == 0 && end == text.size();
    if (!chargeText(text, wholeText ? way : ChargedWithText, end - pos) || !collecting)
        return;
    // Many field references share a type.
    if (wholeText && !firstPlace(typeSeqs, text, seq))
        return;
    // The printed form is the text between the first and the last character.
    const int inner = end - pos < 2 ? 0 : end - pos - 2;
    const Piece key = pieceOf(text, pos + (end - pos < 2 ? 0 : 1), inner, true);
    keep(classes, classIndex, &key, 1, {0, quint32(inner), &text, pos, end - pos, false, seq});
}

void DependencyExtractor::addSignatureTypes(const QString& descriptor, quint64 seq, bool arrays)
{
    // Its types are pieces of the descriptor's text, charged with it once.
    if (!chargeText(descriptor, ChargedSignature, descriptor.size()) || !collecting)
        return;
    // The calls that instructions make share few descriptors among many methods.
    if (!arrays && !firstPlace(signatureSeqs, descriptor, seq))
        return;
    // The return type is everything after the first ')', or the whole text without one; the
    // parameters are the text between the first character and that ')'.
    const int close = descriptor.indexOf(QLatin1Char(')'));
    quint64 part = 0;
    addFieldType(descriptor, close + 1, descriptor.size() - (close + 1), seq + part++, arrays,
                 ChargedWithText);
    const QStringView parameters =
        QStringView(descriptor).left(close <= 0 ? descriptor.size() : close);
    for (int pos = 1; pos < parameters.size();) {
        const int end = TypeDescriptor::descriptorEnd(parameters, pos);
        if (end < 0)
            break; // a trailing '[' run or a class type without its ';' is no type
        addFieldType(descriptor, pos, end - pos, seq + part++, arrays, ChargedWithText);
        pos = end;
    }
}

namespace {

// The bytes of a Utf8 entry; none for an index that names no Utf8 entry, which compares as the
// empty text.
struct RawText
{
    const char* data = nullptr;
    int size = 0;
};

int compareRaw(const RawText& a, const RawText& b)
{
    const int c = std::memcmp(a.data, b.data, size_t(std::min(a.size, b.size)));
    return c != 0 ? c : a.size - b.size;
}

bool isAscii(const RawText& t)
{
    for (int i = 0; i < t.size; ++i) {
        if (static_cast<unsigned char>(t.data[i]) >= 0x80)
            return false;
    }
    return true;
}

// The bytes of a Utf8 entry; none for a null entry.
RawText rawText(const cp_info* utf8Entry)
{
    RawText t;
    if (utf8Entry) {
        const auto* utf8 = static_cast<const CONSTANT_Utf8_info*>(utf8Entry);
        t.data = utf8->bytes();
        t.size = utf8->length;
    }
    return t;
}

// Orders a member's name and descriptor by their bytes.
bool rawPairLess(const std::pair<RawText, RawText>& a, const std::pair<RawText, RawText>& b)
{
    const int c = compareRaw(a.first, b.first);
    return c != 0 ? c < 0 : compareRaw(a.second, b.second) < 0;
}

} // namespace

struct DependencyExtractor::OwnMembers
{
    explicit OwnMembers(std::pmr::memory_resource* memory)
        : indexes(memory), raw(memory), texts(memory)
    {
    }
    // The name and descriptor indexes of each member, as (name << 16) | descriptor, sorted.
    std::pmr::vector<quint32> indexes;

    // By name, then descriptor, as bytes; made only when a lookup needs them.
    std::pmr::vector<std::pair<RawText, RawText>> raw;
    bool rawMade = false;
    // By name, then descriptor, as decoded texts; made only when a lookup needs them.
    std::pmr::vector<std::pair<const QString*, const QString*>> texts;
    bool textsMade = false;
};

template <typename Visit>
void DependencyExtractor::forEachOwn(const OwnMembers& members, const Visit& visit) const
{
    if (&members == ownFields.get()) {
        for (const field_info* field : qAsConst(file.fields))
            visit(field);
    } else {
        for (const method_info* method : qAsConst(file.methods))
            visit(method);
    }
}

bool DependencyExtractor::declares(OwnMembers& members, quint16 nameIndex, quint16 typeIndex,
                                   const QString& name, const QString& descriptor) const
{
    const auto rawAt = [this](quint32 index) {
        return rawText(file.entryAt(index, CONSTANT_Utf8));
    };
    // A reference to the very entries that a declaration names needs no text compared.
    if (std::binary_search(members.indexes.begin(), members.indexes.end(),
                           (quint32(nameIndex) << 16) | typeIndex))
        return true;
    const std::pair<RawText, RawText> rawKey(rawAt(nameIndex), rawAt(typeIndex));
    // Two ASCII texts decode alike exactly when their bytes are alike, and an ASCII text equals
    // no decoded text that has other bytes, so the bytes decide.
    if (isAscii(rawKey.first) && isAscii(rawKey.second)) {
        if (!members.rawMade) {
            members.rawMade = true;
            forEachOwn(members, [&](const member_info* member) {
                members.raw.emplace_back(rawAt(member->name_index),
                                         rawAt(member->descriptor_index));
            });
            std::sort(members.raw.begin(), members.raw.end(), rawPairLess);
        }
        const auto it =
            std::lower_bound(members.raw.begin(), members.raw.end(), rawKey, rawPairLess);
        return it != members.raw.end() && compareRaw(it->first, rawKey.first) == 0 &&
               compareRaw(it->second, rawKey.second) == 0;
    }
    const auto less = [](const std::pair<const QString*, const QString*>& a,
                         const std::pair<const QString*, const QString*>& b) {
        const int c = QString::compare(*a.first, *b.first);
        return c != 0 ? c < 0 : QString::compare(*a.second, *b.second) < 0;
    };
    if (!members.textsMade) {
        members.textsMade = true;
        static const QString none;
        forEachOwn(members, [&](const member_info* member) {
            const QString* n = utf8At(member->name_index);
            const QString* t = utf8At(member->descriptor_index);
            members.texts.emplace_back(n ? n : &none, t ? t : &none);
        });
        std::sort(members.texts.begin(), members.texts.end(), less);
    }
    const std::pair<const QString*, const QString*> key(&name, &descriptor);
    const auto it = std::lower_bound(members.texts.begin(), members.texts.end(), key, less);
    return it != members.texts.end() && *it->first == name && *it->second == descriptor;
}

bool DependencyExtractor::isOwnClass(const Piece* owner, int ownerCount) const
{
    int size = 0;
    for (int i = 0; i < ownerCount; ++i)
        size += owner[i].size;
    if (size != own.size())
        return false;
    if (ownerCount == 3 && !owner[1].dotsAsSlashes) {
        // "L" + name + ";", the usual shape: the name is compared as it stands.
        return own.at(0) == QLatin1Char('L') && own.at(size - 1) == QLatin1Char(';') &&
               std::memcmp(own.constData() + 1, owner[1].data,
                           size_t(owner[1].size) * sizeof(QChar)) == 0;
    }
    const Piece ownPiece = pieceOf(own);
    return comparePieces(owner, ownerCount, &ownPiece, 1) == 0;
}

void DependencyExtractor::addField(const Piece* owner, int ownerCount, const QString& name,
                                   const QString& type, quint16 nameIndex, quint16 typeIndex,
                                   quint64 seq)
{
    // The class's own fields are no dependencies; a field it inherits, used through its own
    // name, is one.
    if (isOwnClass(owner, ownerCount) && declares(*ownFields, nameIndex, typeIndex, name, type))
        return;
    Piece parts[5];
    qint64 size = 0;
    for (int i = 0; i < ownerCount; ++i) {
        parts[i] = owner[i];
        size += owner[i].size;
    }
    parts[ownerCount] = pieceOf(name);
    parts[ownerCount + 1] = pieceOf(type);
    if (!charge(size + name.size() + type.size()) || !collecting)
        return;
    keep(fields, fieldIndex, parts, ownerCount + 2,
         {0, quint32(size + name.size() + type.size()), quint32(size), &name, &type, seq});
}

void DependencyExtractor::addMethod(const QString& ownerName, const QString& name,
                                    const QString& descriptor, quint16 nameIndex, quint16 typeIndex,
                                    quint64 seq)
{
    const Piece owner[3] = {literal(letterL), pieceOf(ownerName), literal(semicolon)};
    if (isOwnClass(owner, 3) && declares(*ownMethods, nameIndex, typeIndex, name, descriptor))
        return;
    // An enum's constructor passes name and ordinal to Enum's protected constructor; that call
    // is part of every enum and is not counted, whichever class the reference names.
    if (enumParent && name == QLatin1String("<init>") &&
        descriptor == QLatin1String("(Ljava/lang/String;I)V"))
        return;
    const Piece parts[5] = {owner[0], owner[1], owner[2], pieceOf(name), pieceOf(descriptor)};
    const qint64 size = qint64(ownerName.size()) + 2 + name.size() + descriptor.size();
    if (!charge(size) || !collecting)
        return;
    keep(methods, methodIndex, parts, 5,
         {0, quint32(size), quint32(ownerName.size() + 2), &name, &descriptor, seq});
}

// What an instruction's operand contributes, the first time an instruction uses the entry.
void DependencyExtractor::addUsedEntry(quint32 index, quint32 order)
{
    const cp_info* entry = file.constant_pool.at(int(index - 1));
    const quint64 seq = sequence(ClassesOfWalk, 0, order, 0);
    if (entry->tag == CONSTANT_Class) {
        // new, anewarray, checkcast, instanceof, multianewarray: only class types count.
        const QString* name = utf8At(static_cast<const CONSTANT_Class_info*>(entry)->name_index);
        if (name && !name->startsWith(QLatin1Char('[')))
            addClassName(*name, seq);
        return;
    }
    const RefParts parts = partsOf(index);
    const QString& className = *parts.className;
    const bool arrayOwner = className.startsWith(QLatin1Char('['));
    if (entry->tag == CONSTANT_Fieldref) {
        addFieldType(*parts.type, 0, parts.type->size(), seq, false);
        // The pool stage has added the field under the owner's name with '.' read as '/', at
        // an earlier place. The owner as the reference names it (an array descriptor as it
        // stands) is another key only when the name holds a '.' or is an array's.
        if (!arrayOwner && !className.contains(QLatin1Char('.')))
            return;
        const Piece owner[3] = {arrayOwner ? pieceOf(className) : literal(letterL),
                                arrayOwner ? Piece() : pieceOf(className),
                                arrayOwner ? Piece() : literal(semicolon)};
        addField(owner, arrayOwner ? 1 : 3, *parts.name, *parts.type, parts.nameIndex,
                 parts.typeIndex, sequence(MembersOfWalk, 0, order, 0));
        return;
    }
    // A method called on an array (clone) is no method dependency; the element class is.
    addClassName(className, seq);
    if (arrayOwner)
        return;
    addSignatureTypes(*parts.type, seq + 1, false);
    // The method itself is no new key: the pool stage has added every sound reference, at an
    // earlier place.
}

// ---------------------------------------------------------------------------------------------
// The bytecode walk

void DependencyExtractor::codeError(const QString& message)
{
    if (charge(message.size()))
        codeErrors << message;
}

namespace {

// Whether a constant-pool entry with the tag fits an instruction's operand kind.
bool fitsOperand(quint8 tag, int operandKind)
{
    switch (operandKind) {
    case Opcode::FieldRef:
        return tag == CONSTANT_Fieldref;
    case Opcode::MethodRef:
        return tag == CONSTANT_Methodref;
    case Opcode::AnyMethodRef:
        // Since class-file version 52, invokespecial and invokestatic may name interface
        // methods (default and static methods of interfaces).
        return tag == CONSTANT_Methodref || tag == CONSTANT_InterfaceMethodref;
    case Opcode::InterfaceMethodRef:
        return tag == CONSTANT_InterfaceMethodref;
    case Opcode::ClassRef:
        return tag == CONSTANT_Class;
    default:
        return false;
    }
}

// What an operand kind expects, as messages name it.
QString expectedOperand(int operandKind)
{
    switch (operandKind) {
    case Opcode::FieldRef:
        return constantInfoToString(CONSTANT_Fieldref);
    case Opcode::MethodRef:
        return constantInfoToString(CONSTANT_Methodref);
    case Opcode::AnyMethodRef:
        return QStringLiteral("%1 or %2")
            .arg(constantInfoToString(CONSTANT_Methodref),
                 constantInfoToString(CONSTANT_InterfaceMethodref));
    case Opcode::InterfaceMethodRef:
        return constantInfoToString(CONSTANT_InterfaceMethodref);
    default:
        return constantInfoToString(CONSTANT_Class);
    }
}

} // namespace

bool DependencyExtractor::checkOperand(const method_info* method, quint16 index, quint32 pos,
                                       const char* mnemonic, int operandKind)
{
    const auto where = [&] {
        return QStringLiteral("Error parsing code segment of %1 - %2 at offset %3 names constant "
                              "pool index %4")
            .arg(FileCheckLog::abbreviate(file.getMethodName(method)), QLatin1String(mnemonic))
            .arg(pos)
            .arg(index);
    };
    if (index == 0 || index > quint32(file.constant_pool.size())) {
        codeError(QStringLiteral("%1, which does not exist").arg(where()));
        return false;
    }
    const quint8 tag = file.constant_pool.at(index - 1)->tag;
    if (!fitsOperand(tag, operandKind)) {
        codeError(QStringLiteral("%1, a %2 where %3 is expected")
                      .arg(where(), constantInfoToString(tag), expectedOperand(operandKind)));
        return false;
    }
    if (tag == CONSTANT_Class &&
        !file.entryAt(
            static_cast<const CONSTANT_Class_info*>(file.constant_pool.at(index - 1))->name_index,
            CONSTANT_Utf8)) {
        codeError(QStringLiteral("%1, a %2 without a %3 name")
                      .arg(where(), constantInfoToString(CONSTANT_Class),
                           constantInfoToString(CONSTANT_Utf8)));
        return false;
    }
    return true;
}

void DependencyExtractor::overrun(const method_info* method, const Opcode* op, quint64 pos,
                                  quint64 needed, quint64 length)
{
    codeError(
        QStringLiteral("Error parsing code segment of %1 - %2 at offset %3 needs %4 "
                       "bytes but the code ends at %5")
            .arg(FileCheckLog::abbreviate(file.getMethodName(method)), QLatin1String(op->name))
            .arg(pos)
            .arg(needed)
            .arg(length));
}

bool DependencyExtractor::skipSwitch(const method_info* method, ByteReader& code, const Opcode* op,
                                     quint64 pos)
{
    const quint64 length = quint64(code.offset()) + code.bytesLeft();
    // The fields after the opcode start at the next multiple of 4 above it.
    const quint64 d = (pos + 4) & ~quint64(3);
    const bool table = op->operand == Opcode::TableSwitch;
    const quint64 fixed = table ? 12 : 8;
    if (d + fixed > length) {
        overrun(method, op, pos, d + fixed - pos, length);
        return false;
    }
    code.skip(quint32(d + 4 - (pos + 1)), "switch padding and default");
    quint64 size;
    if (table) {
        const qint64 low = code.readI4("tableswitch low");
        const qint64 high = code.readI4("tableswitch high");
        const qint64 offsets = high - low + 1;
        if (offsets < 0) {
            codeError(QStringLiteral("Error parsing code segment of %1 - tableswitch at offset %2 "
                                     "has low %3 and high %4, a negative number of jump offsets")
                          .arg(FileCheckLog::abbreviate(file.getMethodName(method)))
                          .arg(pos)
                          .arg(low)
                          .arg(high));
            return false;
        }
        size = 4 * quint64(offsets);
    } else {
        const qint64 npairs = code.readI4("lookupswitch npairs");
        if (npairs < 0) {
            codeError(QStringLiteral("Error parsing code segment of %1 - lookupswitch at offset "
                                     "%2 has a negative npairs (%3)")
                          .arg(FileCheckLog::abbreviate(file.getMethodName(method)))
                          .arg(pos)
                          .arg(npairs));
            return false;
        }
        size = 8 * quint64(npairs);
    }
    if (size > code.bytesLeft()) {
        overrun(method, op, pos, d + fixed + size - pos, length);
        return false;
    }
    code.skip(quint32(size), "switch table");
    return true;
}

void DependencyExtractor::walk(const method_info* method)
{
    if (!method || (method->access_flags & (ACC_NATIVE | ACC_ABSTRACT)))
        return;
    // The reader makes a Code_attribute for every attribute named Code.
    const auto* codeAttr = static_cast<const Code_attribute*>(file.getMethodCodeAttr(method));
    if (!codeAttr) {
        codeError(QStringLiteral("%1 has no code segment but is not abstract")
                      .arg(FileCheckLog::abbreviate(file.getMethodName(method))));
        return;
    }
    ByteReader code(codeAttr->code);
    const quint64 length = code.bytesLeft();

    // Every step moves forward by at least one byte and never past the code, so the walk ends
    // after at most code_length steps. Every read below has been checked against what is left,
    // so the reader never throws here.
    while (!code.atEnd()) {
        if (exhausted)
            return;
        const quint64 pos = quint64(code.offset());
        const Opcode* op = Opcode::find(code.readU1("opcode"));
        if (!op) {
            codeError(QStringLiteral("Error parsing code segment"));
            return;
        }
        if (op->operand == Opcode::TableSwitch || op->operand == Opcode::LookupSwitch) {
            if (!skipSwitch(method, code, op, pos))
                return;
            continue;
        }
        quint64 size = quint64(op->length) - 1; // the opcode has been read
        if (op->operand == Opcode::Wide) {
            if (code.bytesLeft() < 1) {
                overrun(method, op, pos, 2, length);
                return;
            }
            size = Opcode::wideLength(code.peekU1("wide opcode"));
            if (size == 0) {
                codeError(QStringLiteral("Error parsing wide instruction in code segment"));
                size = 1; // go on with the byte after the wide opcode
            }
            size -= 1; // the wide opcode has been read
        }
        if (size > code.bytesLeft()) {
            overrun(method, op, pos, size + (quint64(code.offset()) - pos), length);
            return;
        }
        if (op->operand >= Opcode::FieldRef && op->operand <= Opcode::ClassRef) {
            const quint16 index = code.readU2("constant pool index");
            size -= 2;
            // The operand kind is checked at every use: an index that one instruction uses
            // rightly can be wrong for the next.
            if (!checkOperand(method, index, quint32(pos), op->name, op->operand))
                return;
            if (useOrder.empty())
                useOrder.resize(size_t(file.constant_pool.size()) + 1);
            if (useOrder[index] == 0)
                useOrder[index] = ++uses;
        }
        code.skip(quint32(size), "operands");
    }
}

// ---------------------------------------------------------------------------------------------
// The run

void DependencyExtractor::prepareStages()
{
    if (collecting)
        keys.reserve(1024);
    // The class's own descriptor and whether its parent is Enum, as the file's queries give
    // them, from the texts of this run.
    const QString* ownName = utf8At(classNameIndex(file.this_class));
    if (ownName && ownName->startsWith(QLatin1Char('[')))
        own = *ownName;
    else
        own = QLatin1Char('L') + (ownName ? *ownName : QString()) + QLatin1Char(';');
    const cp_info* parentName = file.entryAt(classNameIndex(file.super_class), CONSTANT_Utf8);
    enumParent = parentName && static_cast<const CONSTANT_Utf8_info*>(parentName)
                                   ->equals("java/lang/Enum", int(std::strlen("java/lang/Enum")));
    const auto collect = [&](const auto& declared) {
        std::unique_ptr<OwnMembers> members(new OwnMembers(&arena));
        for (const member_info* member : declared) {
            members->indexes.push_back((quint32(member->name_index) << 16) |
                                       member->descriptor_index);
        }
        std::sort(members->indexes.begin(), members->indexes.end());
        return members;
    };
    ownFields = collect(file.fields);
    ownMethods = collect(file.methods);
}

void DependencyExtractor::run(Mode mode)
{
    run(mode, Lists());
}

void DependencyExtractor::run(Mode mode, const Lists& lists)
{
    out = lists;
    checking = mode != Build;
    collecting = mode != Check;
    budget = textBudgetPerByte * file.readSize + textBudgetBase;

    References fieldRefs(&arena);
    References methodRefs(&arena);
    scanPool(fieldRefs, methodRefs);
    if (checking) {
        for (const QStringList* errors : {&fieldErrors, &methodErrors, &interfaceMethodErrors}) {
            for (const QString& message : *errors)
                file.checkLog.error(message);
        }
    }

    walkAll(mode);
    if (checking) {
        for (const QString& message : qAsConst(codeErrors))
            file.checkLog.error(message);
    }

    // A check needs the later stages only for the bound on the names they handle; when even
    // an upper bound of what they can charge fits the budget left, they cannot exhaust it.
    if (collecting || exhausted || bound + declarationBound() > budget) {
        prepareStages();
        addPoolMembers(fieldRefs, methodRefs);
        addUsedEntries();
        addDeclarations();
    }

    if (collecting)
        build();
    if (exhausted && checking)
        file.checkLog.error(QStringLiteral("Dependency extraction stopped - the names that the "
                                           "class refers to add up to more than %1 characters")
                                .arg(textBudgetPerByte * file.readSize + textBudgetBase));
}

void DependencyExtractor::walkAll(Mode mode)
{
    if (mode == Build && file.walkRecorded) {
        // The check that create ran walked the same code: take what it met instead of walking
        // again. It ended with budget to spare, so this run does too.
        if (!file.walkUses.empty()) {
            useOrder.resize(size_t(file.constant_pool.size()) + 1);
            for (quint16 index : file.walkUses)
                useOrder[index] = ++uses;
        }
        budget -= file.walkCharge;
        return;
    }
    const qint64 before = budget;
    for (const method_info* method : qAsConst(file.methods)) {
        if (exhausted)
            break;
        walk(method);
    }
    if (mode == Check && !exhausted) {
        // Kept for the lists, in the order of first use: a few bytes per entry used.
        std::vector<quint16> uses(size_t(this->uses));
        for (size_t index = 1; index < useOrder.size(); ++index) {
            if (useOrder[index])
                uses[useOrder[index] - 1] = quint16(index);
        }
        file.walkUses.swap(uses);
        file.walkCharge = before - budget;
        file.walkRecorded = true;
    }
}

void DependencyExtractor::scanPool(References& fieldRefs, References& methodRefs)
{
    const int poolSize = file.constant_pool.size();
    // One pass over the pool: the malformed references are reported, the sound ones keyed by
    // the texts they combine. Two references to the same texts record the same things, so each
    // combination is handled once (a hostile file can repeat one in thousands of entries).
    for (int i = 0; i < poolSize && !exhausted; ++i) {
        const cp_info* entry = file.constant_pool.at(i);
        if (entry->tag != CONSTANT_Fieldref && entry->tag != CONSTANT_Methodref &&
            entry->tag != CONSTANT_InterfaceMethodref)
            continue;
        const auto& ref = *static_cast<const CONSTANT_Fieldref_info*>(entry);
        const bool isMethod = entry->tag != CONSTANT_Fieldref;
        RefParts parts;
        if (!isSound(ref, parts)) {
            RefParts texts; // the message shows the parts that do resolve
            resolve(ref, isMethod, texts);
            reportMalformed(ref, texts);
            continue;
        }
        // What the later stages can charge for this reference at most, counting a byte of the
        // file as one character (decoding never makes a text longer): the pool stage adds the
        // owner twice, the name once and the type twice, the walk at most once more. Only a
        // check that builds nothing needs it.
        if (!collecting)
            bound +=
                2 * (2 * qint64(utf8Length(parts.classNameIndex)) + utf8Length(parts.nameIndex) +
                     2 * qint64(utf8Length(parts.typeIndex)) + 4);
        const quint64 key = (quint64(parts.classNameIndex) << 32) |
                            (quint64(parts.nameIndex) << 16) | parts.typeIndex;
        if (refKeys.empty())
            refKeys.resize(size_t(poolSize) + 1);
        refKeys[size_t(i) + 1] = key | (quint64(isMethod ? 2 : 1) << 56);
        // Interface-method references come after the method references in the rules' order.
        const quint32 order =
            quint32(i + 1) | (entry->tag == CONSTANT_InterfaceMethodref ? 0x80000000u : 0u);
        (entry->tag == CONSTANT_Fieldref ? fieldRefs : methodRefs).emplace_back(key, order);
    }
}

void DependencyExtractor::markFirstOfEachKey(const References& refs,
                                             std::pmr::vector<quint8>& first)
{
    References byKey(refs.begin(), refs.end(), &arena);
    std::sort(byKey.begin(), byKey.end());
    for (size_t k = 0; k < byKey.size(); ++k) {
        if (k == 0 || byKey[k].first != byKey[k - 1].first)
            first[byKey[k].second & 0x7FFFFFFFu] = 1;
    }
}

DependencyExtractor::RefParts DependencyExtractor::partsOf(quint32 index) const
{
    const quint64 key = refKeys[index];
    RefParts parts;
    parts.classNameIndex = quint16(key >> 32);
    parts.nameIndex = quint16(key >> 16);
    parts.typeIndex = quint16(key);
    parts.className = utf8At(parts.classNameIndex);
    parts.name = utf8At(parts.nameIndex);
    parts.type = utf8At(parts.typeIndex);
    return parts;
}

void DependencyExtractor::addPoolMembers(const References& fieldRefs, const References& methodRefs)
{
    // Each key once, at its first place; in the order of the places, so that a text is handled
    // at its first place and passed over at the later ones.
    std::pmr::vector<quint8> first(size_t(file.constant_pool.size()) + 1, 0, &arena);
    markFirstOfEachKey(fieldRefs, first);
    markFirstOfEachKey(methodRefs, first);
    for (const auto& r : fieldRefs) {
        if (exhausted)
            break;
        if (!first[r.second])
            continue;
        const quint32 index = r.second;
        const RefParts parts = partsOf(index);
        // The owner as a binary name would spell it: dots read as slashes.
        const Piece owner[3] = {literal(letterL), pieceOf(*parts.className, 0, -1, true),
                                literal(semicolon)};
        addField(owner, 3, *parts.name, *parts.type, parts.nameIndex, parts.typeIndex,
                 sequence(MembersOfPool, 0, index, 0));
        const quint64 work = sequence(ClassesOfWork, WorkFieldRefs, index, 0);
        addClassName(*parts.className, work);
        addFieldType(*parts.type, 0, parts.type->size(), work + 1, true);
    }
    // The method references, then the interface-method references.
    for (const bool interfaces : {false, true}) {
        for (const auto& r : methodRefs) {
            const quint32 index = r.second & 0x7FFFFFFFu;
            if (exhausted)
                return;
            if (!first[index] || bool(r.second & 0x80000000u) != interfaces)
                continue;
            const RefParts parts = partsOf(index);
            if (parts.className->startsWith(QLatin1Char('[')))
                continue; // a method of an array class (clone) is no dependency here
            addMethod(*parts.className, *parts.name, *parts.type, parts.nameIndex, parts.typeIndex,
                      sequence(interfaces ? MembersOfInterfacePool : MembersOfPool, 0, index, 0));
            addClassName(
                *parts.className,
                sequence(ClassesOfWork, interfaces ? WorkInterfaceRefs : WorkMethodRefs, index, 0));
        }
    }
}

void DependencyExtractor::addUsedEntries()
{
    // What the instructions use, each entry once with the order of its first use; entries that
    // combine the same texts record the same things and are handled once, at their first use,
    // so that a text is handled there and passed over at the later uses.
    if (useOrder.empty())
        return;
    std::pmr::vector<quint16> inOrder(uses, 0, &arena);
    for (size_t index = 1; index < useOrder.size(); ++index) {
        if (useOrder[index])
            inOrder[useOrder[index] - 1] = quint16(index);
    }
    References byKey(&arena); // the key and the place in inOrder
    for (quint32 k = 0; k < uses; ++k) {
        const cp_info* entry = file.constant_pool.at(inOrder[k] - 1);
        const quint64 key = entry->tag == CONSTANT_Class
                                ? (quint64(CONSTANT_Class) << 56) |
                                      static_cast<const CONSTANT_Class_info*>(entry)->name_index
                                : (refKeys.empty() ? 0 : refKeys[inOrder[k]]);
        // A reference whose parts do not resolve has been reported by the pool scan.
        if (key != 0)
            byKey.emplace_back(key, k);
    }
    std::sort(byKey.begin(), byKey.end());
    std::pmr::vector<quint8> first(uses, 0, &arena);
    for (size_t k = 0; k < byKey.size(); ++k) {
        if (k == 0 || byKey[k].first != byKey[k - 1].first)
            first[byKey[k].second] = 1;
    }
    for (quint32 k = 0; k < uses && !exhausted; ++k) {
        if (first[k])
            addUsedEntry(inOrder[k], k + 1);
    }
}

void DependencyExtractor::addDeclarations()
{
    const int poolSize = file.constant_pool.size();
    // The declarations, on the work list in their order: parent, interfaces, field types, and
    // per method its return type, parameters and declared exceptions.
    std::pmr::vector<quint8> seen(size_t(poolSize) + 1, 0, &arena);
    const auto once = [&](quint32 index, quint8 bit) {
        if (index >= quint32(seen.size()) || (seen[int(index)] & bit))
            return false;
        seen[int(index)] |= bit;
        return true;
    };
    quint64 position = 0;
    const auto work = [&]() { return sequence(ClassesOfWork, WorkDeclarations, position++, 0); };
    if (file.super_class != 0) {
        const quint16 name = classNameIndex(file.super_class);
        const QString* text = utf8At(name);
        if (text && once(name, SeenClassName))
            addClassName(*text, work());
    }
    for (const cp_info* entry : qAsConst(file.interfaces)) {
        const quint16 name = static_cast<const CONSTANT_Class_info*>(entry)->name_index;
        const QString* text = utf8At(name);
        if (!text) {
            // An interface whose name does not resolve is recorded as the empty name.
            static const QString empty;
            addClassName(empty, work());
        } else if (once(name, SeenClassName)) {
            addClassName(*text, work());
        }
    }
    for (const field_info* field : qAsConst(file.fields)) {
        if (exhausted)
            break;
        const QString* type = utf8At(field->descriptor_index);
        if (type && once(field->descriptor_index, SeenFieldType))
            addFieldType(*type, 0, type->size(), work(), true);
    }
    for (const method_info* method : qAsConst(file.methods)) {
        if (exhausted)
            break;
        const QString* descriptor = utf8At(method->descriptor_index);
        if (descriptor && once(method->descriptor_index, SeenSignature))
            addSignatureTypes(*descriptor, work(), true);
        for (const attribute_info* attribute : method->attributes) {
            if (!file.isAttrNamed(attribute, "Exceptions"))
                continue;
            for (quint16 index :
                 static_cast<const Exceptions_attribute*>(attribute)->exception_index_table) {
                const quint16 name = classNameIndex(index);
                const QString* text = utf8At(name);
                if (text && once(name, SeenClassName))
                    addClassName(*text, work());
            }
        }
    }
}

quint32 DependencyExtractor::appendKey(const Piece* pieces, int count)
{
    const size_t offset = keys.size();
    size_t size = 0;
    for (int i = 0; i < count; ++i)
        size += size_t(pieces[i].size);
    keys.resize(offset + size);
    QChar* out = keys.data() + offset;
    for (int i = 0; i < count; ++i) {
        const Piece& p = pieces[i];
        std::copy(p.data, p.data + p.size, out);
        if (p.dotsAsSlashes) {
            // A plain loop over the copy, which the compiler turns into vector code.
            ushort* units = reinterpret_cast<ushort*>(out);
            for (int k = 0; k < p.size; ++k)
                units[k] = units[k] == '.' ? '/' : units[k];
        }
        out += p.size;
    }
    return quint32(offset);
}

// Most candidates repeat a key met before (String is a parameter of many methods). They are
// merged at once through a hash of their keys, keeping the one the rules meet first, so that
// only distinct keys are sorted. A key of one piece that reads as it stands is looked up where
// it lies and copied into keys only when it is new.
template <typename Candidate>
void DependencyExtractor::keep(std::pmr::vector<Candidate>& list, HashIndex& index,
                               const Piece* pieces, int count, Candidate candidate)
{
    index.makeRoom(quint32(list.size()), [&](quint32 entry) {
        return HashIndex::hash(keys.data() + list[entry - 1].keyOffset, list[entry - 1].keyLength);
    });
    const bool inPlace =
        count == 1 && (!pieces[0].dotsAsSlashes ||
                       QStringView(pieces[0].data, pieces[0].size).indexOf(QLatin1Char('.')) < 0);
    if (!inPlace)
        candidate.keyOffset = appendKey(pieces, count);
    const QChar* key = inPlace ? pieces[0].data : keys.data() + candidate.keyOffset;
    const size_t slot = index.find(HashIndex::hash(key, candidate.keyLength), [&](quint32 entry) {
        const Candidate& other = list[entry - 1];
        return other.keyLength == candidate.keyLength &&
               std::memcmp(keys.data() + other.keyOffset, key,
                           candidate.keyLength * sizeof(QChar)) == 0;
    });
    if (index.at(slot) == 0) {
        if (inPlace)
            candidate.keyOffset = appendKey(pieces, count);
        list.push_back(candidate);
        index.set(slot, quint32(list.size()));
        return;
    }
    Candidate& other = list[index.at(slot) - 1];
    if (candidate.seq < other.seq) {
        const quint32 offset = other.keyOffset;
        other = candidate;
        other.keyOffset = offset;
    }
    if (!inPlace)
        keys.resize(candidate.keyOffset); // the same text is there already
}

// Sorts each candidate list by key and adds the values in ascending order. The candidates have
// distinct keys (keep() merged the others), so the sorted candidates are the sets.
void DependencyExtractor::build()
{
    TypeTable types(&arena);
    buildClasses(types);
    buildMembers(types);
}

template <typename Candidate>
void DependencyExtractor::sortByKey(std::pmr::vector<Candidate>& candidates) const
{
    const QChar* base = keys.data();
    std::sort(candidates.begin(), candidates.end(), [base](const Candidate& a, const Candidate& b) {
        return QStringView(base + a.keyOffset, qsizetype(a.keyLength))
                   .compare(QStringView(base + b.keyOffset, qsizetype(b.keyLength))) < 0;
    });
}

void DependencyExtractor::buildClasses(TypeTable& types)
{
    sortByKey(classes);
    const bool setWasEmpty = file.dependentClasses.isEmpty();
    if (out.classes)
        out.classes->reserve(int(classes.size()));
    for (const ClassCandidate& c : qAsConst(classes)) {
        QString wrapped;
        QStringView descriptor = QStringView(*c.source).mid(c.from, c.size);
        if (c.wrapped) {
            wrapped.reserve(c.size + 2);
            wrapped.append(QLatin1Char('L'));
            wrapped.append(descriptor.data(), c.size);
            wrapped.append(QLatin1Char(';'));
            descriptor = wrapped;
        }
        const TypeDescriptor& value = types.get(descriptor, c.wrapped ? &wrapped : nullptr);
        if (out.classes)
            out.classes->append(value);
        else if (setWasEmpty)
            file.dependentClasses.insert(file.dependentClasses.cend(), value, true);
        else
            file.dependentClasses.insert(value, true);
    }
}

void DependencyExtractor::buildMembers(TypeTable& types)
{
    // Puts the members in key order into the getter's list or into the file's set. A value goes
    // into a list as a copy of an empty one that is then filled in, which copies no strings.
    const auto place = [&](std::pmr::vector<MemberCandidate>& candidates, auto* list, auto& set,
                           const auto& empty, const auto& fill) {
        sortByKey(candidates);
        const bool setWasEmpty = set.isEmpty();
        if (list)
            list->reserve(int(candidates.size()));
        for (const MemberCandidate& c : candidates) {
            const TypeDescriptor& owner =
                types.get(QStringView(keys.data() + c.keyOffset, qsizetype(c.ownerLength)));
            if (list) {
                list->append(empty);
                fill(list->last(), c, owner);
                continue;
            }
            auto value = empty;
            fill(value, c, owner);
            if (setWasEmpty)
                set.insert(set.cend(), value, true);
            else
                set.insert(value, true);
        }
    };
    const TypeDescriptor none{QString()};
    place(fields, out.fields, file.dependentFields, DepField(none, QString(), none),
          [&](DepField& value, const MemberCandidate& c, const TypeDescriptor& owner) {
              value.owner = owner;
              value.name = *c.name;
              value.type = types.get(*c.descriptor);
          });
    // A descriptor is shared by many methods; its signature is made once. Descriptors are pool
    // texts, found by their place in the table of decoded texts.
    std::pmr::vector<int> signatureOfText(&arena);
    std::pmr::deque<MethodSignature> signatures(&arena); // stable: handed out by reference
    const auto signatureOf = [&](const QString* text) -> const MethodSignature& {
        const int index = textIndex(*text);
        if (index < 0) {
            signatures.push_back(types.signature(*text));
            return signatures.back();
        }
        if (signatureOfText.empty())
            signatureOfText.assign(texts.size(), -1);
        int& slot = signatureOfText[size_t(index)];
        if (slot < 0) {
            slot = int(signatures.size());
            signatures.push_back(types.signature(*text));
        }
        return signatures[size_t(slot)];
    };
    place(methods, out.methods, file.dependentMethods,
          DepMethod(none, QString(), MethodSignature(QString())),
          [&](DepMethod& value, const MemberCandidate& c, const TypeDescriptor& owner) {
              value.owner = owner;
              value.name = *c.name;
              value.signature = signatureOf(c.descriptor);
          });
}
