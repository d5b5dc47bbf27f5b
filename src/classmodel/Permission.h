#pragma once

#include <QString>

class Class;
class ClassLoader;
class Field;
class Method;

// The Java access level of a class, field or method. The numbers match the gold schema's
// permission enumeration: 0 private, 1 protected, 2 public, 3 package.
//
// The model hands out only the four shared constants below, which live for the whole process;
// comparing their pointers therefore gives the same answer as operator==.
class Permission
{
public:
    int level;

    constexpr explicit Permission(int level) : level(level) {}

    static const Permission* const PRIVATE;
    static const Permission* const PROTECTED;
    static const Permission* const PUBLIC;
    static const Permission* const PACKAGE;

    // 0 to 3 give the matching constant; any other number gives PUBLIC.
    static const Permission* fromInt(int level);

    // "private", "protected", "public", "package", or "invalid" for any other number.
    QString toString() const;

    bool operator==(const Permission& other) const { return level == other.level; }

    // The Java access rules: whether code in `from` may use the class `target`, or one of its
    // members. Superclasses are found through `loader` (which caches every class met on the way);
    // a superclass it cannot find, or a hierarchy that leads back to a class already met, ends
    // the walk as "not a subclass". Implemented interfaces are never consulted.
    static bool accessible(ClassLoader& loader, const Class& from, const Class& target);
    static bool accessible(ClassLoader& loader, const Class& from, const Class& target,
                           const Field& member);
    static bool accessible(ClassLoader& loader, const Class& from, const Class& target,
                           const Method& member);
};
