#pragma once

#include "MethodSignature.h"
#include "TypeDescriptor.h"

#include <QList>
#include <QString>
#include <QtGlobal>

class Permission;

// Read-only view of one method of a Java class, whatever its source (class file or gold file).
// A method belongs to its class, which creates and deletes it; the view is valid while the class
// lives.
class Method
{
public:
    Method() = default;
    virtual ~Method() = default;

    // "<init>" for constructors.
    virtual QString getName() const = 0;
    virtual MethodSignature getSignature() const = 0;
    // One of the four shared Permission constants; never null.
    virtual const Permission* getPermission() const = 0;
    virtual bool isFinal() const = 0;
    virtual bool isStatic() const = 0;
    virtual bool isNative() const = 0;
    // The declared thrown exception types.
    virtual QList<TypeDescriptor> getExceptions() const = 0;
    // Whether a call of this method needs a human's review.
    virtual bool requireInspection() const = 0;
    // Whether the method accepts any signature; such a method matches every signature lookup
    // under its name.
    virtual bool signaturePolymorphic() const = 0;

private:
    Q_DISABLE_COPY(Method)
};
