#pragma once

#include "TypeDescriptor.h"

#include <QString>
#include <QtGlobal>

class Permission;

// Read-only view of one field of a Java class, whatever its source (class file or gold file).
// A field belongs to its class, which creates and deletes it; the view is valid while the class
// lives.
class Field
{
public:
    Field() = default;
    virtual ~Field() = default;

    virtual QString getName() const = 0;
    virtual TypeDescriptor getType() const = 0;
    // One of the four shared Permission constants; never null.
    virtual const Permission* getPermission() const = 0;
    virtual bool isFinal() const = 0;
    virtual bool isStatic() const = 0;

private:
    Q_DISABLE_COPY(Field)
};
