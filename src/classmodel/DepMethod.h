#pragma once

#include "MethodSignature.h"
#include "TypeDescriptor.h"

#include <QString>

// A method that a class's bytecode calls. Entries are ordered and identified by one text: the
// owner's descriptor, the name and the signature's descriptor joined without separator.
class DepMethod
{
public:
    // The class named by the reference.
    TypeDescriptor owner;
    // The method name; "<init>" for constructors.
    QString name;
    MethodSignature signature;

    DepMethod(const TypeDescriptor& owner, const QString& name, const MethodSignature& signature);

    bool operator<(const DepMethod& other) const;
    bool operator==(const DepMethod& other) const;
};
