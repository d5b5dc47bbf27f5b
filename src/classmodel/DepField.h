#pragma once

#include "TypeDescriptor.h"

#include <QString>

// A field that a class's bytecode uses. Entries are ordered and identified by one text: the
// owner's descriptor, the name and the type's descriptor joined without separator, so two entries
// whose joined texts coincide are the same entry even if their parts differ.
class DepField
{
public:
    // The class named by the reference, as a class descriptor ('Ljava/lang/String;').
    TypeDescriptor owner;
    QString name;
    TypeDescriptor type;

    DepField(const TypeDescriptor& owner, const QString& name, const TypeDescriptor& type);

    bool operator<(const DepField& other) const;
    bool operator==(const DepField& other) const;
};
