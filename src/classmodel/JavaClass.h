#pragma once

#include "Class.h"

class JavaClassFile;

// The view of a class read from a class file. It owns the parsed class file, which must have
// read without an error (checkLog.hasError unset), and one JavaField and JavaMethod per field
// and method of the file, in file order. Immutable after construction.
class JavaClass : public Class
{
public:
    // Takes ownership of file.
    explicit JavaClass(const JavaClassFile* file);
    ~JavaClass() override;

    int getMajorVersion() const override;
    QString getPackage() const override;
    TypeDescriptor getName() const override;
    bool isAbstract() const override;
    bool isInterface() const override;
    TypeDescriptor getParent() const override;
    bool hasParent() const override;
    const QList<TypeDescriptor>& getInterfaces() const override;
    // PUBLIC or PACKAGE; a top-level class is never private or protected.
    const Permission* getPermission() const override;
    bool isFinal() const override;
    // Always false: the class file's own flags do not say whether a nested class is static.
    bool isStatic() const override;
    const QList<Field*>& getFields() const override;
    const QList<Method*>& getMethods() const override;
    QList<TypeDescriptor> getDependentClasses() const override;
    QList<DepField> getDependentFields() const override;
    QList<DepMethod> getDependentMethods() const override;

private:
    const JavaClassFile* file;
    QList<TypeDescriptor> interfaces;
    QList<Field*> fields;
    QList<Method*> methods;
};
