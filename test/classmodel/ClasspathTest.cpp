#include "Classpath.h"

#include <gtest/gtest.h>

TEST(ClasspathTest, AppendSplitsOnColonsAndDropsEmptyParts)
{
    Classpath cp;
    cp.append("a::b:");
    EXPECT_EQ(cp.entries, QStringList({"a", "b"}));
    EXPECT_EQ(cp.toString(), QString("a:b"));

    cp.append(":::");
    EXPECT_EQ(cp.entries.size(), 2);
    cp.append("/opt/lib/x.jar:data/j.javagold");
    EXPECT_EQ(cp.toString(), QString("a:b:/opt/lib/x.jar:data/j.javagold"));
}

TEST(ClasspathTest, EmptyClasspathPrintsTheNullText)
{
    Classpath cp;
    EXPECT_TRUE(cp.toString().isNull());
    cp.append("");
    EXPECT_TRUE(cp.entries.isEmpty());
    EXPECT_TRUE(cp.toString().isNull());
}

TEST(ClasspathTest, DuplicatesAndMissingPathsStay)
{
    Classpath cp;
    cp.append("x");
    cp.append("x:/does/not/exist");
    EXPECT_EQ(cp.entries, QStringList({"x", "x", "/does/not/exist"}));
}
