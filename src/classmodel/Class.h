#pragma once

#include "DepField.h"
#include "DepMethod.h"
#include "MethodSignature.h"
#include "TypeDescriptor.h"

#include <QList>
#include <QString>
#include <QtGlobal>

class Field;
class Method;
class Permission;

// Read-only view of one Java class, whatever its source (class file or gold file). Tests and the
// access rules see classes only through it.
//
// Ownership: a class loader creates each Class and deletes it through the virtual destructor. A
// Class owns its Field and Method objects; every pointer obtained from getFields, getMethods and
// the lookups below, and every list returned by reference, stays valid while the Class lives.
class Class
{
public:
    Class() = default;
    virtual ~Class();

    virtual int getMajorVersion() const = 0;
    virtual QString getPackage() const = 0;
    // The class's own type, in 'Lpkg/Name;' form.
    virtual TypeDescriptor getName() const = 0;
    virtual bool isAbstract() const = 0;
    virtual bool isInterface() const = 0;
    // The superclass; a descriptor of the empty text (kind -1) when there is none.
    virtual TypeDescriptor getParent() const = 0;
    virtual bool hasParent() const = 0;
    virtual const QList<TypeDescriptor>& getInterfaces() const = 0;
    // One of the four shared Permission constants; never null.
    virtual const Permission* getPermission() const = 0;
    virtual bool isFinal() const = 0;
    virtual bool isStatic() const = 0;
    virtual const QList<Field*>& getFields() const = 0;
    virtual const QList<Method*>& getMethods() const = 0;
    // What the class's code uses, each list sorted and free of duplicates. Views that cannot tell
    // answer with empty lists.
    virtual QList<TypeDescriptor> getDependentClasses() const;
    virtual QList<DepField> getDependentFields() const;
    virtual QList<DepMethod> getDependentMethods() const;

    // The first field of getFields named exactly `name`; null when there is none.
    Field* getFieldByName(const QString& name) const;
    // The first method of getMethods named exactly `name` that is signature-polymorphic or whose
    // signature has exactly the descriptor text of `signature`; null when there is none.
    Method* getMethodByNameAndSignature(const QString& name,
                                        const MethodSignature& signature) const;
    // Every method of getMethods named exactly `name`, in list order.
    QList<Method*> getMethodsByName(const QString& name) const;

private:
    Q_DISABLE_COPY(Class)
};
