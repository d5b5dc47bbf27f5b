#pragma once

#include "TypeDescriptor.h"

#include <QList>
#include <QString>

// A parsed method descriptor ('(ILjava/lang/String;)V'). Signatures are compared elsewhere by
// their descriptor texts; nothing is rejected, malformed parts become descriptors of kind -1.
class MethodSignature
{
public:
    // The method-descriptor text as given.
    QString descriptor;
    TypeDescriptor returnType;
    // The parameter types in order.
    QList<TypeDescriptor> parameters;

    explicit MethodSignature(const QString& descriptorText);

    // The printed parameter types joined by ", " ('int, java.lang.String'); empty when there are
    // none.
    QString getParameterString() const;
};
