#pragma once

#include "HashIndex.h"
#include "MethodSignature.h"
#include "TypeDescriptor.h"

#include <QString>
#include <QStringView>

#include <deque>
#include <memory_resource>

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
    // split as MethodSignature splits them; a run that it would mark invalid (a trailing '['
    // run, a class type without its ';') is left to MethodSignature itself.
    MethodSignature signature(const QString& text);

private:
    std::pmr::deque<TypeDescriptor> values;
    HashIndex index; // over values
};
