#include "Class.h"
#include "Field.h"
#include "Method.h"
#include "Permission.h"

#include "FakeViews.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

using TestField = FakeField;
using TestMethod = FakeMethod;
using TestClass = FakeClass;

TEST(ClassTest, DefaultDependencyListsAreEmpty)
{
    const TestClass cls({}, {});
    EXPECT_TRUE(cls.getDependentClasses().isEmpty());
    EXPECT_TRUE(cls.getDependentFields().isEmpty());
    EXPECT_TRUE(cls.getDependentMethods().isEmpty());
}

TEST(ClassTest, LookupsOnEmptyClass)
{
    const TestClass cls({}, {});
    EXPECT_EQ(cls.getFieldByName("x"), nullptr);
    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("()V")), nullptr);
    EXPECT_TRUE(cls.getMethodsByName("m").isEmpty());
}

TEST(ClassTest, FieldByNameFirstExactMatch)
{
    Field* first = new TestField("count", "I");
    Field* second = new TestField("count", "J");
    const TestClass cls({new TestField("Count"), first, second}, {});
    EXPECT_EQ(cls.getFieldByName("count"), first);
    EXPECT_EQ(cls.getFieldByName("COUNT"), nullptr);
    EXPECT_EQ(cls.getFieldByName("coun"), nullptr);
}

TEST(ClassTest, OverloadsToldApartByDescriptor)
{
    Method* intVersion = new TestMethod("m", "(I)V");
    Method* longVersion = new TestMethod("m", "(J)V");
    const TestClass cls({}, {new TestMethod("n", "(J)V"), intVersion, longVersion});

    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("(J)V")), longVersion);
    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("(I)V")), intVersion);
    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("(S)V")), nullptr);
    EXPECT_EQ(cls.getMethodByNameAndSignature("M", MethodSignature("(I)V")), nullptr);
    EXPECT_EQ(cls.getMethodsByName("m"), QList<Method*>({intVersion, longVersion}));
}

TEST(ClassTest, SignatureComparedAsExactText)
{
    // Same parsed types, different text: no match.
    Method* method = new TestMethod("m", "(Ixyz)V");
    const TestClass cls({}, {method});
    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("(I)V")), nullptr);
    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("(Ixyz)V")), method);
}

TEST(ClassTest, SignaturePolymorphicMatchesAnySignature)
{
    Method* plain = new TestMethod("invoke", "(I)V");
    Method* polymorphic = new TestMethod("invoke", "([Ljava/lang/Object;)Ljava/lang/Object;", true);
    Method* later = new TestMethod("invoke", "(J)V");
    const TestClass cls({}, {plain, polymorphic, later});

    // The non-polymorphic method before it with a different descriptor is skipped ...
    EXPECT_EQ(cls.getMethodByNameAndSignature("invoke", MethodSignature("(J)V")), polymorphic);
    EXPECT_EQ(cls.getMethodByNameAndSignature("invoke", MethodSignature("")), polymorphic);
    // ... but one that matches exactly comes first and wins.
    EXPECT_EQ(cls.getMethodByNameAndSignature("invoke", MethodSignature("(I)V")), plain);
    // Polymorphism does not reach other names.
    EXPECT_EQ(cls.getMethodByNameAndSignature("invokeExact", MethodSignature("(J)V")), nullptr);
}

TEST(ClassTest, FirstOfDuplicateMethodsWins)
{
    Method* first = new TestMethod("m", "()V");
    Method* second = new TestMethod("m", "()V");
    const TestClass cls({}, {first, second});
    EXPECT_EQ(cls.getMethodByNameAndSignature("m", MethodSignature("()V")), first);
    EXPECT_EQ(cls.getMethodsByName("m").size(), 2);
}

} // namespace
