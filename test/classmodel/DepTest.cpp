#include "DepField.h"
#include "DepMethod.h"

#include "QStringPrinter.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

DepField field(const char* owner, const char* name, const char* type)
{
    return DepField(TypeDescriptor(owner), name, TypeDescriptor(type));
}

DepMethod method(const char* owner, const char* name, const char* signature)
{
    return DepMethod(TypeDescriptor(owner), name, MethodSignature(signature));
}

TEST(DepFieldTest, CoincidingJoinedTextsAreOneEntry)
{
    const DepField a = field("La;", "xL", "Lb;");
    const DepField b = field("La;", "x", "LLb;");
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b);
    EXPECT_FALSE(b < a);

    QMap<DepField, bool> set;
    set.insert(a, true);
    if (!set.contains(b))
        set.insert(b, true);
    ASSERT_EQ(set.size(), 1);
    EXPECT_EQ(set.firstKey().name, "xL");
}

TEST(DepFieldTest, OrderedByJoinedDescriptorsNotPrintedForms)
{
    // By printed form 'int' < 'java...', but the joined texts compare 'I' > 'L'.
    QMap<DepField, bool> set;
    set.insert(field("Lp/C;", "f", "I"), true);
    set.insert(field("Lp/C;", "f", "Ljava/lang/Object;"), true);
    set.insert(field("Lp/B;", "z", "I"), true);
    set.insert(field("Lp/C;", "f", "I"), true);
    const QList<DepField> keys = set.keys();
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys.at(0).owner.descriptor, "Lp/B;");
    EXPECT_EQ(keys.at(1).type.descriptor, "I");
    EXPECT_EQ(keys.at(2).type.descriptor, "Ljava/lang/Object;");
}

TEST(DepFieldTest, SlashAndDotOwnersDiffer)
{
    // Unlike dependent classes, entries compare descriptor texts, not printed forms.
    EXPECT_FALSE(field("La/b;", "f", "I") == field("La.b;", "f", "I"));
    EXPECT_TRUE(field("La.b;", "f", "I") < field("La/b;", "f", "I"));
}

TEST(DepMethodTest, OrderAndIdentity)
{
    QMap<DepMethod, bool> set;
    set.insert(method("Ljava/lang/Object;", "<init>", "()V"), true);
    set.insert(method("Ljava/io/PrintStream;", "println", "(Ljava/lang/String;)V"), true);
    set.insert(method("Ljava/io/PrintStream;", "println", "(I)V"), true);
    set.insert(method("Ljava/lang/Object;", "<init>", "()V"), true);
    const QList<DepMethod> keys = set.keys();
    ASSERT_EQ(keys.size(), 3);
    EXPECT_EQ(keys.at(0).signature.descriptor, "(I)V");
    EXPECT_EQ(keys.at(1).signature.descriptor, "(Ljava/lang/String;)V");
    EXPECT_EQ(keys.at(2).name, "<init>");

    EXPECT_TRUE(method("La;", "mI", "()V") == method("La;", "m", "I()V"));
    EXPECT_FALSE(method("La;", "m", "(I)V") == method("La;", "m", "(J)V"));
}

TEST(DepMethodTest, OrderAgreesWithTheJoinedTextsOnEveryPair)
{
    // Parts whose boundaries fall at different places in texts that join alike or nearly so.
    const char* owners[] = {"La;", "La;x", "Lb;", "L"};
    const char* names[] = {"", "x", "xy", "m"};
    const char* signatures[] = {"()V", "(I)V", "y()V", ""};
    QList<DepMethod> all;
    for (const char* o : owners)
        for (const char* n : names)
            for (const char* s : signatures)
                all << method(o, n, s);
    for (const DepMethod& a : all) {
        for (const DepMethod& b : all) {
            const QString ja = a.owner.descriptor + a.name + a.signature.descriptor;
            const QString jb = b.owner.descriptor + b.name + b.signature.descriptor;
            EXPECT_EQ(a < b, ja < jb) << ja.toStdString() << " " << jb.toStdString();
            EXPECT_EQ(a == b, ja == jb) << ja.toStdString() << " " << jb.toStdString();
        }
    }
}

} // namespace
