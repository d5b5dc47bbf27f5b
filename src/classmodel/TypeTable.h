#pragma once

#include "MethodSignature.h"
#include "TypeDescriptor.h"

#include <QString>
#include <QStringView>

#include <deque>
#include <memory_resource>
#include <vector>

// The type values that one class file's dependency lists are made of, by their descriptor
// texts: each distinct text is parsed once, and every value built from it shares its strings.
// Values stay where they are while the table lives.
class TypeTable
{
public:
    explicit TypeTable(std::pmr::memory_resource* memory);

    // The value of a descriptor text. owned, when given, holds the same text and becomes the
    // new value's descriptor, so that it is not copied again.
    const TypeDescriptor& get(QStringView text, QString* owned = nullptr);

    // The signature of a method descriptor, its types taken from the table. The parameters are
    // split as TypeDescriptor::toDescriptorList splits them; a run that list would mark invalid
    // (a trailing '[' run, a class type without its ';') is left to MethodSignature itself.
    MethodSignature signature(const QString& text);

    // A hash of a text for tables of short names and descriptors, eight bytes at a time mixed
    // by a multiply (qHash takes one code unit at a time); of UTF-16 text, or of bytes.
    static size_t hash(const QChar* data, quint32 size);
    static size_t hashBytes(const char* data, size_t size);

private:
    size_t freeSlot(const QString& text) const;

    std::pmr::deque<TypeDescriptor> values;
    std::pmr::vector<quint32> slots; // value + 1, 0 for a free slot
};
