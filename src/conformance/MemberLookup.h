#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QtGlobal>

class Class;
class Field;
class Method;
class MethodSignature;

// Member lookups by name that answer exactly as Class::getFieldByName,
// Class::getMethodByNameAndSignature and Class::getMethodsByName do, over an index built once per
// class. The tests look up many members of the same class (every reference member of a class,
// every use of a popular API class); the class's own lookups scan its whole member list each time.
//
// The index keeps pointers to the classes it has seen and to their members without owning them:
// clear() it before the loader that owns those classes is deleted.
class MemberLookup
{
public:
    MemberLookup() = default;

    // The first field of the class named exactly `name`; null when there is none.
    Field* fieldByName(const Class& cls, const QString& name);
    // The first method named exactly `name` that is signature-polymorphic or has exactly the
    // descriptor text of `signature`; null when there is none.
    Method* methodByNameAndSignature(const Class& cls, const QString& name,
                                     const MethodSignature& signature);
    // Every method named exactly `name`, in the class's list order.
    QList<Method*> methodsByName(const Class& cls, const QString& name);

    // Forgets every class seen so far.
    void clear();

private:
    struct Members
    {
        QHash<QString, Field*> firstFieldByName;
        QHash<QString, QList<Method*>> methodsByName;
    };

    const Members& membersOf(const Class& cls);

    QHash<const Class*, Members> index;

    Q_DISABLE_COPY(MemberLookup)
};
