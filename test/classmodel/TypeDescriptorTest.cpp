#include "TypeDescriptor.h"

#include "QStringPrinter.h"

#include <QMap>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct PrintCase
{
    const char* name;
    QString descriptor;
    int kind;
    QString printed;
};

class TypeDescriptorPrintTest : public ::testing::TestWithParam<PrintCase>
{
};

TEST_P(TypeDescriptorPrintTest, KindAndPrintedForm)
{
    const PrintCase& c = GetParam();
    const TypeDescriptor type(c.descriptor);
    EXPECT_EQ(type.descriptor, c.descriptor);
    EXPECT_EQ(type.kind, c.kind);
    EXPECT_EQ(type.toString(), c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Valid, TypeDescriptorPrintTest,
    ::testing::Values(PrintCase{"Byte", "B", 'B', "byte"}, PrintCase{"Char", "C", 'C', "char"},
                      PrintCase{"Double", "D", 'D', "double"},
                      PrintCase{"Float", "F", 'F', "float"}, PrintCase{"Int", "I", 'I', "int"},
                      PrintCase{"Long", "J", 'J', "long"}, PrintCase{"Short", "S", 'S', "short"},
                      PrintCase{"Void", "V", 'V', "void"},
                      PrintCase{"Boolean", "Z", 'Z', "boolean"},
                      PrintCase{"Class", "Ljava/lang/String;", 'L', "java.lang.String"},
                      PrintCase{"IntArray", "[I", '[', "int[]"},
                      PrintCase{"ClassArray2", "[[Ljava/lang/String;", '[',
                                "java.lang.String[][]"}),
    [](const ::testing::TestParamInfo<PrintCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Tolerated, TypeDescriptorPrintTest,
    ::testing::Values(
        // Only the first letter of a primitive is looked at.
        PrintCase{"TrailingAfterPrimitive", "Ixyz", 'I', "int"},
        // A missing ';' is not detected: the last character is cut regardless.
        PrintCase{"ClassWithoutSemicolon", "Ljava/lang/String", 'L', "java.lang.Strin"},
        PrintCase{"LoneL", "L", 'L', ""}, PrintCase{"EmptyClass", "L;", 'L', ""},
        PrintCase{"ArrayElementIgnoresRest", "[Ixyz", '[', "int[]"}),
    [](const ::testing::TestParamInfo<PrintCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Invalid, TypeDescriptorPrintTest,
                         ::testing::Values(PrintCase{"Empty", "", -1, "ERROR "},
                                           PrintCase{"UnknownLetter", "Q", -1, "ERROR Q"},
                                           PrintCase{"LowerCase", "i", -1, "ERROR i"},
                                           PrintCase{"BadArrayElement", "[X", '[', "ERROR X[]"},
                                           PrintCase{"NonLatin1First", QString(QChar(0x0130)), -1,
                                                     QString("ERROR ") + QChar(0x0130)},
                                           // Only '[' characters: no element type to print.
                                           PrintCase{"LoneBracket", "[", '[', "ERROR []"},
                                           PrintCase{"BracketRun", "[[[", '[', "ERROR [][][]"}),
                         [](const ::testing::TestParamInfo<PrintCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(TypeDescriptorTest, ClassMembers)
{
    const TypeDescriptor type("Ljava/lang/String;");
    EXPECT_EQ(type.className, "java.lang.String");
    EXPECT_EQ(type.dimensions, 0);
    EXPECT_EQ(type.element, nullptr);
}

TEST(TypeDescriptorTest, ArrayMembers)
{
    const TypeDescriptor type("[[Ljava/lang/String;");
    EXPECT_EQ(type.dimensions, 2);
    ASSERT_NE(type.element, nullptr);
    EXPECT_EQ(type.element->descriptor, "Ljava/lang/String;");
    EXPECT_EQ(type.element->kind, 'L');
    EXPECT_EQ(type.element->className, "java.lang.String");
}

TEST(TypeDescriptorTest, ArrayElementOfOneCharacter)
{
    const TypeDescriptor type("[Ixyz");
    ASSERT_NE(type.element, nullptr);
    EXPECT_EQ(type.element->descriptor, "I");

    const TypeDescriptor bad("[X");
    ASSERT_NE(bad.element, nullptr);
    EXPECT_EQ(bad.element->kind, -1);
    EXPECT_EQ(bad.element->descriptor, "X");
}

TEST(TypeDescriptorTest, ArrayElementOutsideLatin1StandsAsCodeZero)
{
    const TypeDescriptor type(QString("[") + QChar(0x0130));
    ASSERT_NE(type.element, nullptr);
    EXPECT_EQ(type.element->kind, -1);
    EXPECT_EQ(type.element->descriptor, QString(QChar(0)));
}

TEST(TypeDescriptorTest, BracketsOnlyHaveAnEmptyElement)
{
    const TypeDescriptor type("[[");
    EXPECT_EQ(type.dimensions, 2);
    ASSERT_NE(type.element, nullptr);
    EXPECT_EQ(type.element->kind, -1);
    EXPECT_TRUE(type.element->descriptor.isEmpty());
    EXPECT_EQ(type.element->element, nullptr);
}

TEST(TypeDescriptorTest, LongBracketRunIsBounded)
{
    const QString text(100000, QLatin1Char('['));
    const TypeDescriptor type(text);
    EXPECT_EQ(type.dimensions, 100000);
    const TypeDescriptor copy = type;
    EXPECT_EQ(copy.toString().size(), QString("ERROR ").size() + 2 * 100000);
}

TEST(TypeDescriptorTest, CopyKeepsElementAfterSourceIsGone)
{
    auto source = std::make_unique<TypeDescriptor>("[[Ljava/lang/String;");
    const TypeDescriptor copy(*source);
    EXPECT_NE(copy.element, source->element);
    source.reset();
    ASSERT_NE(copy.element, nullptr);
    EXPECT_EQ(copy.element->descriptor, "Ljava/lang/String;");
    EXPECT_EQ(copy.toString(), "java.lang.String[][]");
}

TEST(TypeDescriptorTest, AssignmentReplacesElement)
{
    TypeDescriptor target("[I");
    {
        const TypeDescriptor source("[[J");
        target = source;
    }
    EXPECT_EQ(target.toString(), "long[][]");

    // Array to non-array frees the old element; non-array to array creates one.
    target = TypeDescriptor("Lp/C;");
    EXPECT_EQ(target.element, nullptr);
    EXPECT_EQ(target.className, "p.C");
    target = TypeDescriptor("[");
    ASSERT_NE(target.element, nullptr);
    EXPECT_EQ(target.toString(), "ERROR []");
}

TEST(TypeDescriptorTest, SelfAndElementAssignment)
{
    TypeDescriptor type("[Ljava/lang/Object;");
    const TypeDescriptor& alias = type;
    type = alias;
    EXPECT_EQ(type.toString(), "java.lang.Object[]");

    // Assigning a descriptor its own element must not read the freed element.
    type = *type.element;
    EXPECT_EQ(type.kind, 'L');
    EXPECT_EQ(type.element, nullptr);
    EXPECT_EQ(type.toString(), "java.lang.Object");
}

TEST(TypeDescriptorTest, NameSpellings)
{
    EXPECT_EQ(TypeDescriptor::fromClassFileName("java/lang/Object.class").descriptor,
              "Ljava/lang/Object;");
    EXPECT_EQ(TypeDescriptor::fromClassBinaryName("java.lang.Object").descriptor,
              "Ljava/lang/Object;");
    EXPECT_EQ(TypeDescriptor::fromMungedClassDescriptorName("[I").descriptor, "[I");
    EXPECT_EQ(TypeDescriptor::fromMungedClassDescriptorName("java/lang/Object").descriptor,
              "Ljava/lang/Object;");
    EXPECT_EQ(TypeDescriptor::fromMungedClassDescriptorName("").descriptor, "L;");
    EXPECT_EQ(TypeDescriptor::fromClassDescriptorName("[[J").descriptor, "[[J");
    EXPECT_EQ(TypeDescriptor::fromClassDescriptorName("[[J").dimensions, 2);
}

TEST(TypeDescriptorTest, ClassFileNameDropsEveryDotClass)
{
    // Removed wherever it stands, case-sensitively; dots of a directory become '/'.
    EXPECT_EQ(TypeDescriptor::fromClassFileName("a.class/B.class").descriptor, "La/B;");
    EXPECT_EQ(TypeDescriptor::fromClassFileName("p/q.r/C.class").descriptor, "Lp/q/r/C;");
    EXPECT_EQ(TypeDescriptor::fromClassFileName("p/C.CLASS").descriptor, "Lp/C/CLASS;");
}

QStringList descriptorsOf(const QList<TypeDescriptor>& types)
{
    QStringList texts;
    for (const TypeDescriptor& type : types)
        texts.append(type.descriptor);
    return texts;
}

TEST(TypeDescriptorListTest, SplitsMixedRun)
{
    const QList<TypeDescriptor> types =
        TypeDescriptor::toDescriptorList("ILjava/lang/String;[[JZ[Ljava/lang/Object;");
    EXPECT_EQ(descriptorsOf(types),
              QStringList({"I", "Ljava/lang/String;", "[[J", "Z", "[Ljava/lang/Object;"}));
    EXPECT_EQ(types.at(2).dimensions, 2);
}

TEST(TypeDescriptorListTest, EightPrimitives)
{
    const QList<TypeDescriptor> types = TypeDescriptor::toDescriptorList("BCDFIJSZ");
    ASSERT_EQ(types.size(), 8);
    for (const TypeDescriptor& type : types)
        EXPECT_NE(type.kind, -1) << type.descriptor.toStdString();
}

TEST(TypeDescriptorListTest, EmptyTextGivesEmptyList)
{
    EXPECT_TRUE(TypeDescriptor::toDescriptorList("").isEmpty());
}

TEST(TypeDescriptorListTest, UnknownCharacterIsOneInvalidDescriptor)
{
    const QList<TypeDescriptor> types = TypeDescriptor::toDescriptorList("I)");
    ASSERT_EQ(types.size(), 2);
    EXPECT_EQ(types.at(0).kind, 'I');
    EXPECT_EQ(types.at(1).kind, -1);
    EXPECT_EQ(types.at(1).toString(), "ERROR )");
}

TEST(TypeDescriptorListTest, ArrayElementIsOneCharacter)
{
    EXPECT_EQ(descriptorsOf(TypeDescriptor::toDescriptorList("[IJ")), QStringList({"[I", "J"}));
    const QList<TypeDescriptor> types = TypeDescriptor::toDescriptorList("[XI");
    ASSERT_EQ(types.size(), 2);
    EXPECT_EQ(types.at(0).toString(), "ERROR X[]");
}

TEST(TypeDescriptorListTest, TrailingBracketsGetCodeZeroElement)
{
    const QList<TypeDescriptor> types = TypeDescriptor::toDescriptorList("I[[");
    ASSERT_EQ(types.size(), 2);
    const TypeDescriptor& array = types.at(1);
    EXPECT_EQ(array.descriptor, QString("[[") + QChar(0));
    EXPECT_EQ(array.kind, '[');
    EXPECT_EQ(array.dimensions, 2);
    ASSERT_NE(array.element, nullptr);
    EXPECT_EQ(array.element->kind, -1);
}

TEST(TypeDescriptorListTest, UnterminatedClassTakesRestAsInvalid)
{
    const QList<TypeDescriptor> types = TypeDescriptor::toDescriptorList("ILjava/lang/String");
    ASSERT_EQ(types.size(), 2);
    EXPECT_EQ(types.at(1).descriptor, "Ljava/lang/String");
    EXPECT_EQ(types.at(1).kind, -1);
    EXPECT_TRUE(types.at(1).className.isEmpty());
    EXPECT_EQ(types.at(1).toString(), "ERROR Ljava/lang/String");

    const QList<TypeDescriptor> lone = TypeDescriptor::toDescriptorList("L");
    ASSERT_EQ(lone.size(), 1);
    EXPECT_EQ(lone.at(0).toString(), "ERROR L");
}

TEST(TypeDescriptorListTest, UnterminatedClassArrayTakesRestAsInvalid)
{
    const QList<TypeDescriptor> types = TypeDescriptor::toDescriptorList("[[Ljava/lang/Str");
    ASSERT_EQ(types.size(), 1);
    EXPECT_EQ(types.at(0).descriptor, "[[Ljava/lang/Str");
    EXPECT_EQ(types.at(0).kind, -1);
    EXPECT_EQ(types.at(0).element, nullptr);
    EXPECT_EQ(types.at(0).toString(), "ERROR [[Ljava/lang/Str");

    // Copies of the list stay sound.
    const QList<TypeDescriptor> copy = types;
    EXPECT_EQ(copy.at(0).toString(), "ERROR [[Ljava/lang/Str");
}

TEST(TypeDescriptorOrderTest, SortsByPrintedForm)
{
    std::vector<TypeDescriptor> types{TypeDescriptor("Ljava/lang/String;"), TypeDescriptor("I"),
                                      TypeDescriptor("[I")};
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types.at(0).descriptor, "I");
    EXPECT_EQ(types.at(1).descriptor, "[I");
    EXPECT_EQ(types.at(2).descriptor, "Ljava/lang/String;");
}

TEST(TypeDescriptorOrderTest, OrderAndEqualityPartOnSlashAndDot)
{
    const TypeDescriptor slash("La/b;");
    const TypeDescriptor dot("La.b;");
    EXPECT_FALSE(slash < dot);
    EXPECT_FALSE(dot < slash);
    EXPECT_FALSE(slash == dot);
    EXPECT_TRUE(slash == TypeDescriptor("La/b;"));
}

TEST(TypeDescriptorOrderTest, MapKeyKeepsFirstOfEquivalentTypes)
{
    QMap<TypeDescriptor, bool> set;
    set.insert(TypeDescriptor("Ljava/lang/String;"), true);
    set.insert(TypeDescriptor("Ljava/lang/Object;"), true);
    set.insert(TypeDescriptor("La/b;"), true);
    if (!set.contains(TypeDescriptor("La.b;")))
        set.insert(TypeDescriptor("La.b;"), true);
    const QList<TypeDescriptor> keys = set.keys();
    EXPECT_EQ(descriptorsOf(keys),
              QStringList({"La/b;", "Ljava/lang/Object;", "Ljava/lang/String;"}));
}

TEST(TypeDescriptorOrderTest, ListComparisonUsesDescriptors)
{
    const QList<TypeDescriptor> a{TypeDescriptor("I"), TypeDescriptor("La/b;")};
    const QList<TypeDescriptor> b{TypeDescriptor("I"), TypeDescriptor("La/b;")};
    const QList<TypeDescriptor> c{TypeDescriptor("I"), TypeDescriptor("La.b;")};
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == c);
    EXPECT_TRUE(a.contains(TypeDescriptor("La/b;")));
}

TEST(TypeDescriptorOrderTest, AgreesWithThePrintedFormsOnEveryPair)
{
    // Short class texts over characters that sort around '.' and '/' and past the end, plus
    // the degenerate 'L' forms and other kinds: every pair must order as their printed forms.
    QStringList texts{"L", "L;", "Lx", "I", "[I", "[La/b;", "Q", ""};
    const QString alphabet = QStringLiteral("./-0a\u00e9");
    for (const QChar a : alphabet) {
        texts << QString("L%1;").arg(a);
        for (const QChar b : alphabet)
            texts << QString("L%1%2;").arg(a).arg(b);
    }
    for (const QString& x : texts) {
        for (const QString& y : texts) {
            const TypeDescriptor tx(x);
            const TypeDescriptor ty(y);
            EXPECT_EQ(tx < ty, tx.toString() < ty.toString())
                << x.toStdString() << " " << y.toStdString();
        }
    }
}

} // namespace
