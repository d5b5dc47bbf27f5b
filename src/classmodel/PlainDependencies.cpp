#include "PlainDependencies.h"

#include "ClassFileStructures.h"
#include "DepField.h"
#include "DepMethod.h"
#include "JavaClassFile.h"
#include "TypeTable.h"

#include <algorithm>
#include <cstring>

namespace {

// What has been done with a text already, so that each source kind handles it once.
enum : quint8 {
    DoneClassName = 1,
    DoneFieldType = 2,        // as a whole field descriptor, arrays contributing their element
    DoneFieldClassType = 4,   // as a whole field descriptor, class types only
    DoneSignature = 8,        // as a method descriptor, arrays contributing their element
    DoneSignatureClasses = 16 // as a method descriptor, class types only
};

enum : quint8 { Unknown = 0, Ascii = 1, Unusable = 2 };

bool isAscii(const char* data, int size)
{
    // Eight bytes at a time: a byte of 0x80 and above has its top bit set.
    quint64 any = 0;
    int i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, sizeof word);
        any |= word;
    }
    for (; i < size; ++i)
        any |= quint8(data[i]);
    return (any & 0x8080808080808080ull) == 0;
}

int compareBytes(const char* a, int na, const char* b, int nb)
{
    const int c = std::memcmp(a, b, size_t(std::min(na, nb)));
    return c != 0 ? c : na - nb;
}

} // namespace

struct PlainDependencies::ClassCandidate
{
    quint32 keyOffset; // the printed name: the descriptor's inner text, '/' read as '.'
    quint32 keyLength;
    Text source; // the name of a Class entry (wrapped), or the descriptor itself
    bool wrapped;
};

struct PlainDependencies::MemberCandidate
{
    quint32 keyOffset; // "L" + class name + ";" + name + descriptor
    quint32 keyLength;
    quint16 className;
    quint16 name;
    quint16 type;
};

struct PlainDependencies::OwnMember
{
    quint16 name;
    quint16 type;
    Text nameText;
    Text typeText;
};

// Whether two candidates stand for one descriptor: "L" + name + ";" or that very text.
bool PlainDependencies::sameDescriptor(const ClassCandidate& a, const ClassCandidate& b)
{
    const auto at = [](const ClassCandidate& c, int i) {
        if (!c.wrapped)
            return c.source.data[i];
        return i == 0 ? 'L' : i == c.source.size + 1 ? ';' : c.source.data[i - 1];
    };
    const int na = a.wrapped ? a.source.size + 2 : a.source.size;
    const int nb = b.wrapped ? b.source.size + 2 : b.source.size;
    if (na != nb)
        return false;
    for (int i = 0; i < na; ++i) {
        if (at(a, i) != at(b, i))
            return false;
    }
    return true;
}

PlainDependencies::PlainDependencies(const JavaClassFile& file)
    : file(file), state(&arena), done(&arena), texts(&arena), owners(&arena), ownFields(&arena),
      ownMethods(&arena), classes(&arena), classSlots(&arena), fields(&arena), methods(&arena),
      keys(&arena)
{
}

PlainDependencies::~PlainDependencies() = default;

bool PlainDependencies::text(quint32 index, Text* out)
{
    const cp_info* entry = file.entryAt(index, CONSTANT_Utf8);
    if (!entry)
        return false;
    const auto* utf8 = static_cast<const CONSTANT_Utf8_info*>(entry);
    quint8& known = state[index];
    if (known == Unknown)
        known = isAscii(utf8->bytes(), utf8->length) ? Ascii : Unusable;
    out->data = utf8->bytes();
    out->size = utf8->length;
    return known == Ascii;
}

quint16 PlainDependencies::classNameIndex(quint32 classIndex) const
{
    const cp_info* entry = file.entryAt(classIndex, CONSTANT_Class);
    return entry ? static_cast<const CONSTANT_Class_info*>(entry)->name_index : 0;
}

bool PlainDependencies::resolve(quint32 refIndex, quint16* className, quint16* name,
                                quint16* type) const
{
    const auto* ref = static_cast<const CONSTANT_Fieldref_info*>(file.entryAt(refIndex));
    const cp_info* nat = file.entryAt(ref->name_and_type_index, CONSTANT_NameAndType);
    if (!nat)
        return false;
    *className = classNameIndex(ref->class_index);
    *name = static_cast<const CONSTANT_NameAndType_info*>(nat)->name_index;
    *type = static_cast<const CONSTANT_NameAndType_info*>(nat)->descriptor_index;
    return file.entryAt(*className, CONSTANT_Utf8) && file.entryAt(*name, CONSTANT_Utf8) &&
           file.entryAt(*type, CONSTANT_Utf8);
}

// ---------------------------------------------------------------------------------------------
// Candidates

void PlainDependencies::addClassText(Text source, bool wrapped)
{
    ClassCandidate c;
    c.source = source;
    c.wrapped = wrapped;
    // The printed name: a Class entry's whole name, or the text between a descriptor's first
    // and last character.
    const char* inner = wrapped ? source.data : source.data + (source.size < 2 ? 0 : 1);
    const int size = wrapped ? source.size : (source.size < 2 ? 0 : source.size - 2);
    c.keyOffset = quint32(keys.size());
    c.keyLength = quint32(size);
    keys.resize(keys.size() + size_t(size));
    char* key = keys.data() + c.keyOffset;
    for (int i = 0; i < size; ++i)
        key[i] = inner[i] == '/' ? '.' : inner[i];

    // Most names come again and again; each key is kept once, and must be one descriptor.
    if (classSlots.size() < 2 * (classes.size() + 1)) {
        size_t slots = 64;
        while (slots < 4 * (classes.size() + 1))
            slots *= 2;
        classSlots.assign(slots, 0);
        for (quint32 k = 0; k < classes.size(); ++k) {
            size_t h =
                TypeTable::hashBytes(keys.data() + classes[k].keyOffset, classes[k].keyLength);
            while (classSlots[h & (slots - 1)] != 0)
                ++h;
            classSlots[h & (slots - 1)] = k + 1;
        }
    }
    const size_t mask = classSlots.size() - 1;
    for (size_t h = TypeTable::hashBytes(key, c.keyLength);; ++h) {
        quint32& slot = classSlots[h & mask];
        if (slot == 0) {
            classes.push_back(c);
            slot = quint32(classes.size());
            return;
        }
        const ClassCandidate& other = classes[slot - 1];
        if (other.keyLength == c.keyLength &&
            std::memcmp(keys.data() + other.keyOffset, key, c.keyLength) == 0) {
            if (!sameDescriptor(other, c))
                clash = true;
            keys.resize(c.keyOffset);
            return;
        }
    }
}

void PlainDependencies::addFieldType(Text text, int from, int size, bool arrays)
{
    if (size <= 0)
        return;
    const char first = text.data[from];
    if (first == 'L') {
        addClassText({text.data + from, size}, false);
    } else if (arrays && first == '[') {
        // An array type contributes its element class, read from the rest of the text.
        int pos = from;
        const int end = from + size;
        while (pos < end && text.data[pos] == '[')
            ++pos;
        if (pos < end && text.data[pos] == 'L')
            addFieldType(text, pos, end - pos, false);
    }
}

void PlainDependencies::addArrayElement(Text text)
{
    int pos = 0;
    while (pos < text.size && text.data[pos] == '[')
        ++pos;
    if (pos < text.size && text.data[pos] == 'L')
        addFieldType(text, pos, text.size - pos, false);
}

bool PlainDependencies::addClassName(quint16 index)
{
    Text name;
    if (!text(index, &name))
        return false;
    if (done[index] & DoneClassName)
        return true;
    done[index] |= DoneClassName;
    // An internal name stands for "L<name>;", an array descriptor for its element class.
    if (name.size > 0 && name.data[0] == '[')
        addArrayElement(name);
    else
        addClassText(name, true);
    return true;
}

bool PlainDependencies::addSignatureTypes(quint16 index, bool arrays)
{
    Text descriptor;
    if (!text(index, &descriptor))
        return false;
    const quint8 bit = arrays ? DoneSignature : DoneSignatureClasses;
    if (done[index] & bit)
        return true;
    done[index] |= bit;
    // The return type is everything after the first ')', or the whole text without one; the
    // parameters lie between the first character and that ')', split as descriptors are.
    const char* d = descriptor.data;
    const int size = descriptor.size;
    const char* closing = static_cast<const char*>(std::memchr(d, ')', size_t(size)));
    const int close = closing ? int(closing - d) : -1;
    const int paramsEnd = close <= 0 ? size : close;
    addFieldType(descriptor, close + 1, size - (close + 1), arrays);
    int pos = 1;
    while (pos < paramsEnd) {
        int end = pos;
        if (d[pos] == '[') {
            while (end < paramsEnd && d[end] == '[')
                ++end;
            if (end == paramsEnd)
                break;
        }
        if (d[end] == 'L') {
            const char* semi =
                static_cast<const char*>(std::memchr(d + end, ';', size_t(size - end)));
            if (!semi || semi - d >= paramsEnd)
                break;
            end = int(semi - d);
        }
        addFieldType(descriptor, pos, end - pos + 1, arrays);
        pos = end + 1;
    }
    return true;
}

bool PlainDependencies::declares(const std::pmr::vector<OwnMember>& members, quint16 name,
                                 quint16 type)
{
    Text n;
    Text t;
    text(name, &n);
    text(type, &t);
    const auto less = [](const OwnMember& m, const std::pair<Text, Text>& key) {
        const int c =
            compareBytes(m.nameText.data, m.nameText.size, key.first.data, key.first.size);
        return c != 0 ? c < 0
                      : compareBytes(m.typeText.data, m.typeText.size, key.second.data,
                                     key.second.size) < 0;
    };
    const auto it = std::lower_bound(members.begin(), members.end(), std::make_pair(n, t), less);
    return it != members.end() &&
           compareBytes(it->nameText.data, it->nameText.size, n.data, n.size) == 0 &&
           compareBytes(it->typeText.data, it->typeText.size, t.data, t.size) == 0;
}

bool PlainDependencies::addMember(bool isField, quint16 className, quint16 name, quint16 type)
{
    Text owner;
    Text n;
    Text t;
    if (!text(className, &owner) || !text(name, &n) || !text(type, &t))
        return false;
    // A class name with a '.' is spelt two ways among the members; the extractor sorts that out.
    if (std::memchr(owner.data, '.', size_t(owner.size)))
        return false;
    // The class's own members are no dependencies; one it inherits, used through its own name,
    // is one.
    Text own;
    text(ownName, &own);
    if (compareBytes(owner.data, owner.size, own.data, own.size) == 0 &&
        declares(isField ? ownFields : ownMethods, name, type))
        return true;
    // An enum's constructor passes name and ordinal to Enum's protected constructor; that call
    // is part of every enum and is not counted.
    static const char enumInit[] = "(Ljava/lang/String;I)V";
    if (!isField && enumParent && n.size == 6 && std::memcmp(n.data, "<init>", 6) == 0 &&
        t.size == int(sizeof enumInit - 1) && std::memcmp(t.data, enumInit, size_t(t.size)) == 0)
        return true;
    MemberCandidate c;
    c.keyOffset = quint32(keys.size());
    c.keyLength = quint32(owner.size + 2 + n.size + t.size);
    c.className = className;
    c.name = name;
    c.type = type;
    keys.push_back('L');
    keys.insert(keys.end(), owner.data, owner.data + owner.size);
    keys.push_back(';');
    keys.insert(keys.end(), n.data, n.data + n.size);
    keys.insert(keys.end(), t.data, t.data + t.size);
    (isField ? fields : methods).push_back(c);
    return true;
}

// References that combine the same texts contribute the same things, so each combination is
// handled once: a file may repeat one reference to huge names in thousands of entries.
enum : quint64 { FieldKind = 1, MethodKind = 2, ClassKind = 3 };

quint64 PlainDependencies::referenceKey(quint32 index, bool* usable) const
{
    const cp_info* entry = file.entryAt(index);
    quint16 className;
    quint16 name;
    quint16 type;
    if (!entry) {
        *usable = false;
        return 0;
    }
    if (entry->tag == CONSTANT_Class)
        return (ClassKind << 48) | classNameIndex(index);
    *usable = resolve(index, &className, &name, &type);
    const quint64 kind = entry->tag == CONSTANT_Fieldref ? FieldKind : MethodKind;
    return (kind << 48) | (quint64(className) << 32) | (quint64(name) << 16) | type;
}

void PlainDependencies::uniqueKeys(std::pmr::vector<quint64>& keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
}

bool PlainDependencies::addPoolReferences()
{
    std::pmr::vector<quint64> references(&arena);
    bool usable = true;
    for (int i = 0; i < file.constant_pool.size() && usable; ++i) {
        const quint8 tag = file.constant_pool.at(i)->tag;
        if (tag == CONSTANT_Fieldref || tag == CONSTANT_Methodref ||
            tag == CONSTANT_InterfaceMethodref)
            references.push_back(referenceKey(quint32(i + 1), &usable));
    }
    if (!usable)
        return false;
    uniqueKeys(references);
    for (const quint64 key : qAsConst(references)) {
        const quint16 className = quint16(key >> 32);
        const quint16 name = quint16(key >> 16);
        const quint16 type = quint16(key);
        Text owner;
        if (!text(className, &owner))
            return false;
        const bool isArray = owner.size > 0 && owner.data[0] == '[';
        if (key >> 48 == FieldKind) {
            // A field of an array class is left to the extractor.
            if (isArray || !addMember(true, className, name, type) || !addClassName(className))
                return false;
            Text t;
            text(type, &t);
            if (!(done[type] & DoneFieldType)) {
                done[type] |= DoneFieldType;
                addFieldType(t, 0, t.size, true);
            }
        } else if (!isArray) {
            // A method of an array class (clone) is no dependency here.
            if (!addMember(false, className, name, type) || !addClassName(className))
                return false;
        }
    }
    return true;
}

bool PlainDependencies::addUsedEntries()
{
    // What instructions use; the order of first use decides nothing here.
    std::pmr::vector<quint64> used(&arena);
    bool usable = true;
    for (const quint16 index : file.walkUses)
        used.push_back(referenceKey(index, &usable));
    if (!usable)
        return false;
    uniqueKeys(used);
    for (const quint64 key : qAsConst(used)) {
        if (key >> 48 == ClassKind) {
            // new, anewarray, checkcast, instanceof, multianewarray: only class types count.
            const quint16 name = quint16(key);
            Text t;
            if (!text(name, &t))
                return false;
            if (!(t.size > 0 && t.data[0] == '[') && !addClassName(name))
                return false;
            continue;
        }
        const quint16 className = quint16(key >> 32);
        const quint16 name = quint16(key >> 16);
        const quint16 type = quint16(key);
        Text owner;
        Text t;
        if (!text(className, &owner) || !text(type, &t))
            return false;
        const bool isArray = owner.size > 0 && owner.data[0] == '[';
        if (key >> 48 == FieldKind) {
            if (isArray || !addMember(true, className, name, type))
                return false;
            if (!(done[type] & DoneFieldClassType)) {
                done[type] |= DoneFieldClassType;
                if (t.size > 0 && t.data[0] == 'L')
                    addFieldType(t, 0, t.size, false);
            }
        } else if (isArray) {
            // A method called on an array (clone) is no method dependency; the element class is.
            addArrayElement(owner);
        } else if (!addClassName(className) || !addSignatureTypes(type, false)) {
            return false;
        }
        // The method itself is among the pool's references already.
    }
    return true;
}

bool PlainDependencies::addDeclarations()
{
    // Parent, interfaces, field types, and per method its return type, parameters and declared
    // exceptions.
    Text t;
    if (file.super_class != 0) {
        const quint16 name = classNameIndex(file.super_class);
        if (file.entryAt(name, CONSTANT_Utf8) && !addClassName(name))
            return false;
    }
    for (const cp_info* entry : file.interfaces) {
        // An interface whose name does not resolve stands as the empty name: left to the
        // extractor.
        if (!addClassName(static_cast<const CONSTANT_Class_info*>(entry)->name_index))
            return false;
    }
    for (const field_info* field : file.fields) {
        if (!text(field->descriptor_index, &t))
            return false;
        if (!(done[field->descriptor_index] & DoneFieldType)) {
            done[field->descriptor_index] |= DoneFieldType;
            addFieldType(t, 0, t.size, true);
        }
    }
    for (const method_info* method : file.methods) {
        if (!addSignatureTypes(method->descriptor_index, true))
            return false;
        for (const attribute_info* attribute : method->attributes) {
            if (!file.isAttrNamed(attribute, "Exceptions"))
                continue;
            for (quint16 index :
                 static_cast<const Exceptions_attribute*>(attribute)->exception_index_table) {
                const quint16 name = classNameIndex(index);
                if (file.entryAt(name, CONSTANT_Utf8) && !addClassName(name))
                    return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Merging and building

bool PlainDependencies::mergeClasses()
{
    // The candidates have distinct keys already (addClassText merged the others).
    const char* base = keys.data();
    std::sort(classes.begin(), classes.end(),
              [base](const ClassCandidate& a, const ClassCandidate& b) {
                  return compareBytes(base + a.keyOffset, int(a.keyLength), base + b.keyOffset,
                                      int(b.keyLength)) < 0;
              });
    return !clash;
}

bool PlainDependencies::mergeMembers(std::pmr::vector<MemberCandidate>& members)
{
    const char* base = keys.data();
    std::sort(members.begin(), members.end(),
              [base](const MemberCandidate& a, const MemberCandidate& b) {
                  return compareBytes(base + a.keyOffset, int(a.keyLength), base + b.keyOffset,
                                      int(b.keyLength)) < 0;
              });
    const auto sameText = [this](quint16 a, quint16 b) {
        Text x;
        Text y;
        text(a, &x);
        text(b, &y);
        return compareBytes(x.data, x.size, y.data, y.size) == 0;
    };
    size_t kept = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const MemberCandidate& c = members[i];
        if (kept > 0) {
            const MemberCandidate& last = members[kept - 1];
            if (c.keyLength == last.keyLength &&
                std::memcmp(base + c.keyOffset, base + last.keyOffset, c.keyLength) == 0) {
                // One key, made of other parts, would be two values.
                if (!sameText(c.className, last.className) || !sameText(c.name, last.name) ||
                    !sameText(c.type, last.type))
                    return false;
                continue;
            }
        }
        members[kept++] = c;
    }
    members.resize(kept);
    return true;
}

const TypeDescriptor& PlainDependencies::ownerOf(TypeTable& types, const MemberCandidate& c)
{
    // Members sorted by key come grouped by owner, and most owners are the same few classes.
    const TypeDescriptor*& owner = owners[c.className];
    if (!owner) {
        // The key begins with "L" + class name + ";".
        const int size = static_cast<const CONSTANT_Utf8_info*>(file.entryAt(c.className))->length;
        QString text = QString::fromLatin1(keys.data() + c.keyOffset, size + 2);
        owner = &types.get(text, &text);
    }
    return *owner;
}

const QString& PlainDependencies::decoded(quint16 index)
{
    QString& t = texts[index];
    if (t.isNull()) {
        const auto* utf8 = static_cast<const CONSTANT_Utf8_info*>(file.entryAt(index));
        // ASCII reads the same as Latin-1 and as UTF-8.
        t = QString::fromLatin1(utf8->bytes(), utf8->length);
        if (t.isNull())
            t = QLatin1String("");
    }
    return t;
}

void PlainDependencies::buildClasses(TypeTable& types, QList<TypeDescriptor>* out)
{
    out->reserve(int(classes.size()));
    for (const ClassCandidate& c : qAsConst(classes)) {
        QString descriptor;
        if (c.wrapped) {
            descriptor.reserve(c.source.size + 2);
            descriptor.append(QLatin1Char('L'));
            descriptor.append(QLatin1String(c.source.data, c.source.size));
            descriptor.append(QLatin1Char(';'));
        } else {
            descriptor = QString::fromLatin1(c.source.data, c.source.size);
        }
        out->append(types.get(descriptor, &descriptor));
    }
}

void PlainDependencies::buildFields(TypeTable& types, QList<DepField>* out)
{
    const TypeDescriptor none{QString()};
    const DepField empty(none, QString(), none);
    out->reserve(int(fields.size()));
    for (const MemberCandidate& c : qAsConst(fields)) {
        out->append(empty);
        DepField& value = out->last();
        value.owner = ownerOf(types, c);
        value.name = decoded(c.name);
        value.type = types.get(decoded(c.type));
    }
}

void PlainDependencies::buildMethods(TypeTable& types, QList<DepMethod>* out)
{
    const TypeDescriptor none{QString()};
    const DepMethod empty(none, QString(), MethodSignature(QString()));
    // A descriptor is shared by many methods; its signature is made once.
    std::pmr::vector<int> signatureOf(file.constant_pool.size() + 1, -1, &arena);
    std::pmr::vector<MethodSignature> signatures(&arena);
    signatures.reserve(methods.size());
    out->reserve(int(methods.size()));
    for (const MemberCandidate& c : qAsConst(methods)) {
        if (signatureOf[c.type] < 0) {
            signatureOf[c.type] = int(signatures.size());
            signatures.push_back(types.signature(decoded(c.type)));
        }
        out->append(empty);
        DepMethod& value = out->last();
        value.owner = ownerOf(types, c);
        value.name = decoded(c.name);
        value.signature = signatures[size_t(signatureOf[c.type])];
    }
}

bool PlainDependencies::run(QList<TypeDescriptor>* classesOut, QList<DepField>* fieldsOut,
                            QList<DepMethod>* methodsOut)
{
    // A file with errors keeps the lists that the extractor's bound leaves it.
    if (!file.walkRecorded || file.checkLog.hasError)
        return false;
    const size_t poolSize = size_t(file.constant_pool.size()) + 1;
    state.assign(poolSize, Unknown);
    done.assign(poolSize, 0);
    keys.reserve(4096);

    // The class itself: its name, its parent, its own members.
    ownName = classNameIndex(file.this_class);
    Text own;
    if (!text(ownName, &own) || (own.size > 0 && own.data[0] == '['))
        return false;
    Text parent;
    const quint16 parentName = classNameIndex(file.super_class);
    enumParent = file.super_class != 0 && file.entryAt(parentName, CONSTANT_Utf8) &&
                 text(parentName, &parent) && parent.size == 14 &&
                 std::memcmp(parent.data, "java/lang/Enum", 14) == 0;
    const auto collect = [this](const auto& members, std::pmr::vector<OwnMember>& out) {
        for (const member_info* member : members) {
            OwnMember m;
            m.name = member->name_index;
            m.type = member->descriptor_index;
            text(m.name, &m.nameText);
            text(m.type, &m.typeText);
            out.push_back(m);
        }
        std::sort(out.begin(), out.end(), [](const OwnMember& a, const OwnMember& b) {
            const int c =
                compareBytes(a.nameText.data, a.nameText.size, b.nameText.data, b.nameText.size);
            return c != 0 ? c < 0
                          : compareBytes(a.typeText.data, a.typeText.size, b.typeText.data,
                                         b.typeText.size) < 0;
        });
    };
    collect(file.fields, ownFields);
    collect(file.methods, ownMethods);

    if (!addPoolReferences() || !addUsedEntries() || !addDeclarations() || !mergeClasses() ||
        !mergeMembers(fields) || !mergeMembers(methods))
        return false;

    texts.resize(poolSize);
    owners.assign(poolSize, nullptr);
    TypeTable types(&arena);
    classesOut->clear();
    fieldsOut->clear();
    methodsOut->clear();
    buildClasses(types, classesOut);
    buildFields(types, fieldsOut);
    buildMethods(types, methodsOut);
    return true;
}
