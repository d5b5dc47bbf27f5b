#include "Permission.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Field.h"
#include "Method.h"
#include "TypeDescriptor.h"

#include <QSet>

namespace {

// Constant-initialised objects with static storage: the shared pointers are valid during the
// static initialisation of every other unit and are never freed.
constexpr Permission privateLevel(0);
constexpr Permission protectedLevel(1);
constexpr Permission publicLevel(2);
constexpr Permission packageLevel(3);

} // namespace

const Permission* const Permission::PRIVATE = &privateLevel;
const Permission* const Permission::PROTECTED = &protectedLevel;
const Permission* const Permission::PUBLIC = &publicLevel;
const Permission* const Permission::PACKAGE = &packageLevel;

const Permission* Permission::fromInt(int level)
{
    switch (level) {
    case 0:
        return PRIVATE;
    case 1:
        return PROTECTED;
    case 2:
        return PUBLIC;
    case 3:
        return PACKAGE;
    default:
        return PUBLIC;
    }
}

QString Permission::toString() const
{
    switch (level) {
    case 0:
        return QStringLiteral("private");
    case 1:
        return QStringLiteral("protected");
    case 2:
        return QStringLiteral("public");
    case 3:
        return QStringLiteral("package");
    default:
        return QStringLiteral("invalid");
    }
}

namespace {

bool isLevel(const Permission* permission, const Permission* level)
{
    return permission && *permission == *level;
}

bool sameClass(const Class& a, const Class& b)
{
    return a.getName().descriptor == b.getName().descriptor;
}

// Whether `b` is `a` or one of its superclasses. Class files name their superclass freely, so
// a hierarchy may lead back to itself; a class met twice ends the walk.
bool isInstanceOf(ClassLoader& loader, const Class& a, const Class& b)
{
    const QString wanted = b.getName().descriptor;
    QSet<QString> visited;
    TypeDescriptor current = a.getName();
    while (current.kind == 'L') {
        if (current.descriptor == wanted)
            return true;
        if (visited.contains(current.descriptor))
            return false;
        visited.insert(current.descriptor);
        const Class* cls = loader.loadClass(current.descriptor);
        if (!cls)
            return false;
        current = cls->getParent();
    }
    return false;
}

template <typename Member>
bool memberAccessible(ClassLoader& loader, const Class& from, const Class& target,
                      const Member& member)
{
    if (sameClass(from, target))
        return true;
    if (!Permission::accessible(loader, from, target))
        return false;
    const Permission* permission = member.getPermission();
    if (isLevel(permission, Permission::PUBLIC))
        return true;
    const bool samePackage = from.getPackage() == target.getPackage();
    if (isLevel(permission, Permission::PACKAGE) && samePackage)
        return true;
    if (!isLevel(permission, Permission::PROTECTED))
        return false;
    if (isInstanceOf(loader, from, target))
        return true;
    return samePackage;
}

} // namespace

bool Permission::accessible(ClassLoader&, const Class& from, const Class& target)
{
    if (sameClass(from, target))
        return true;
    if (isLevel(target.getPermission(), PUBLIC))
        return true;
    return from.getPackage() == target.getPackage();
}

bool Permission::accessible(ClassLoader& loader, const Class& from, const Class& target,
                            const Field& member)
{
    return memberAccessible(loader, from, target, member);
}

bool Permission::accessible(ClassLoader& loader, const Class& from, const Class& target,
                            const Method& member)
{
    return memberAccessible(loader, from, target, member);
}
