#include "Permission.h"

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
