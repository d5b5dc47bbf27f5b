#include "Permission.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

// Read during static initialisation of this unit: the shared constants must already be set.
const Permission* const publicSeenEarly = Permission::PUBLIC;

TEST(PermissionTest, ConstantsExistBeforeMain)
{
    ASSERT_NE(publicSeenEarly, nullptr);
    EXPECT_EQ(publicSeenEarly, Permission::PUBLIC);
}

TEST(PermissionTest, ConstantsHoldTheirNumbersAndTexts)
{
    EXPECT_EQ(Permission::PRIVATE->level, 0);
    EXPECT_EQ(Permission::PROTECTED->level, 1);
    EXPECT_EQ(Permission::PUBLIC->level, 2);
    EXPECT_EQ(Permission::PACKAGE->level, 3);
    EXPECT_EQ(Permission::PRIVATE->toString(), "private");
    EXPECT_EQ(Permission::PROTECTED->toString(), "protected");
    EXPECT_EQ(Permission::PUBLIC->toString(), "public");
    EXPECT_EQ(Permission::PACKAGE->toString(), "package");
}

TEST(PermissionTest, FromIntGivesSharedConstants)
{
    EXPECT_EQ(Permission::fromInt(0), Permission::PRIVATE);
    EXPECT_EQ(Permission::fromInt(1), Permission::PROTECTED);
    EXPECT_EQ(Permission::fromInt(2), Permission::PUBLIC);
    EXPECT_EQ(Permission::fromInt(3), Permission::PACKAGE);
    EXPECT_EQ(Permission::fromInt(3)->toString(), "package");
}

TEST(PermissionTest, UnknownNumbersReadAsPublicAndPrintInvalid)
{
    for (int level : {7, 4, -1, 255, -2147483647 - 1})
        EXPECT_EQ(Permission::fromInt(level), Permission::PUBLIC) << level;
    EXPECT_EQ(Permission(7).toString(), "invalid");
    EXPECT_EQ(Permission(-1).toString(), "invalid");
}

TEST(PermissionTest, EqualityByNumber)
{
    EXPECT_TRUE(Permission(2) == *Permission::PUBLIC);
    EXPECT_TRUE(*Permission::fromInt(1) == *Permission::PROTECTED);
    EXPECT_FALSE(*Permission::PACKAGE == *Permission::PRIVATE);
    EXPECT_FALSE(Permission(7) == *Permission::fromInt(7));
}

} // namespace
