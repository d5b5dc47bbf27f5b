#pragma once

#include "Class.h"
#include "Field.h"
#include "Method.h"
#include "MethodSignature.h"
#include "Permission.h"
#include "TypeDescriptor.h"

#include <QList>
#include <QString>

// Views with fixed answers, for tests of code that only reads members and classes: public,
// neither final nor static.

class FakeField : public Field
{
public:
    explicit FakeField(const QString& name, const QString& type = "I") : name(name), type(type) {}
    QString getName() const override { return name; }
    TypeDescriptor getType() const override { return TypeDescriptor(type); }
    const Permission* getPermission() const override { return Permission::PUBLIC; }
    bool isFinal() const override { return false; }
    bool isStatic() const override { return false; }

private:
    QString name;
    QString type;
};

class FakeMethod : public Method
{
public:
    FakeMethod(const QString& name, const QString& descriptor, bool polymorphic = false)
        : name(name), descriptor(descriptor), polymorphic(polymorphic)
    {
    }
    QString getName() const override { return name; }
    MethodSignature getSignature() const override { return MethodSignature(descriptor); }
    const Permission* getPermission() const override { return Permission::PUBLIC; }
    bool isFinal() const override { return false; }
    bool isStatic() const override { return false; }
    bool isNative() const override { return false; }
    QList<TypeDescriptor> getExceptions() const override { return QList<TypeDescriptor>(); }
    bool requireInspection() const override { return false; }
    bool signaturePolymorphic() const override { return polymorphic; }

private:
    QString name;
    QString descriptor;
    bool polymorphic;
};

// A class that owns the members handed to it, as the real views do.
class FakeClass : public Class
{
public:
    FakeClass(const QList<Field*>& fields, const QList<Method*>& methods)
        : fields(fields), methods(methods)
    {
    }
    ~FakeClass() override
    {
        qDeleteAll(fields);
        qDeleteAll(methods);
    }
    int getMajorVersion() const override { return 52; }
    QString getPackage() const override { return "p"; }
    TypeDescriptor getName() const override { return TypeDescriptor("Lp/C;"); }
    bool isAbstract() const override { return false; }
    bool isInterface() const override { return false; }
    TypeDescriptor getParent() const override { return TypeDescriptor("Ljava/lang/Object;"); }
    bool hasParent() const override { return true; }
    const QList<TypeDescriptor>& getInterfaces() const override { return interfaces; }
    const Permission* getPermission() const override { return Permission::PUBLIC; }
    bool isFinal() const override { return false; }
    bool isStatic() const override { return false; }
    const QList<Field*>& getFields() const override { return fields; }
    const QList<Method*>& getMethods() const override { return methods; }

private:
    QList<TypeDescriptor> interfaces;
    QList<Field*> fields;
    QList<Method*> methods;
};
