#pragma once

#include "Class.h"

#include <QList>
#include <QString>

#include <string>

class JClass;

// A class read from a gold file: the Class view over one JClass message.
//
// The message is borrowed: it belongs to the JClasses that the gold-file loader holds, which must
// outlive every query. The destructor does not touch the message, so a ProtoClass may be deleted
// after its messages are gone. Gold-backed classes carry no bytecode and so report no
// dependencies.
class ProtoClass : public Class
{
public:
    explicit ProtoClass(const JClass& message);
    ~ProtoClass() override;

    int getMajorVersion() const override;
    // The stored package text; empty when the message holds none.
    QString getPackage() const override;
    TypeDescriptor getName() const override;
    bool isAbstract() const override;
    bool isInterface() const override;
    // Kind -1 when `parent` is absent or empty.
    TypeDescriptor getParent() const override;
    // Whether `parent` is present, even when it is empty.
    bool hasParent() const override;
    const QList<TypeDescriptor>& getInterfaces() const override;
    // PUBLIC for a stored JP_PUBLIC (or no permission at all), PACKAGE for anything else: a
    // top-level class can be nothing else.
    const Permission* getPermission() const override;
    bool isFinal() const override;
    bool isStatic() const override;
    const QList<Field*>& getFields() const override;
    const QList<Method*>& getMethods() const override;

    // A stored string as text: its bytes up to the first zero byte, decoded as UTF-8. Invalid
    // sequences become replacement characters, so any bytes at all give some text.
    static QString text(const std::string& stored);

private:
    const JClass* message;
    QList<TypeDescriptor> interfaces;
    QList<Field*> fields;
    QList<Method*> methods;
};
