#pragma once

#include <QString>

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
};
