// Dependency extraction: what real classes evidently use, the recording rules, malformed
// references, and the bytecode walk over well-formed and hostile code.

#include "ClassFileBuilder.h"
#include "JavaClassFile.h"
#include "JavaFixtureSupport.h"

#include <gtest/gtest.h>

#include <QFile>

#include <functional>
#include <memory>

namespace {

using B = ClassFileBuilder;
using FilePtr = std::unique_ptr<JavaClassFile>;

FilePtr parse(const QByteArray& bytes)
{
    return FilePtr(JavaClassFile::create(bytes));
}

QStringList classesOf(const JavaClassFile& f)
{
    QStringList out;
    for (const TypeDescriptor& t : f.getDependentClasses())
        out << t.descriptor;
    return out;
}

QStringList fieldsOf(const JavaClassFile& f)
{
    QStringList out;
    for (const DepField& d : f.getDependentFields())
        out << d.owner.descriptor + " " + d.name + " " + d.type.descriptor;
    return out;
}

QStringList methodsOf(const JavaClassFile& f)
{
    QStringList out;
    for (const DepMethod& d : f.getDependentMethods())
        out << d.owner.descriptor + " " + d.name + " " + d.signature.descriptor;
    return out;
}

FilePtr fixture(const char* path)
{
    FilePtr f = parse(readFixtureClass(path));
    EXPECT_FALSE(f->checkLog.hasError) << path;
    return f;
}

// ---------------------------------------------------------------------------------------------
// Real classes

TEST(DependenciesOfFixtures, StringSwitch)
{
    const FilePtr f = fixture("fixtures/Switches.class");
    EXPECT_EQ(classesOf(*f), (QStringList{"Ljava/lang/Object;", "Ljava/lang/String;"}));
    EXPECT_EQ(fieldsOf(*f), QStringList());
    EXPECT_EQ(methodsOf(*f), (QStringList{"Ljava/lang/Object; <init> ()V",
                                          "Ljava/lang/String; equals (Ljava/lang/Object;)Z",
                                          "Ljava/lang/String; hashCode ()I"}));
}

TEST(DependenciesOfFixtures, ExceptionsThrownCaughtAndDeclared)
{
    const FilePtr f = fixture("fixtures/Failures.class");
    EXPECT_EQ(classesOf(*f),
              (QStringList{"Lfixtures/Failures;", "Lfixtures/Failures$FixtureException;",
                           "Ljava/io/IOException;", "Ljava/io/PrintStream;", "Ljava/lang/Object;",
                           "Ljava/lang/String;", "Ljava/lang/System;"}));
    EXPECT_EQ(fieldsOf(*f), QStringList{"Ljava/lang/System; out Ljava/io/PrintStream;"});
    EXPECT_EQ(methodsOf(*f),
              (QStringList{"Lfixtures/Failures$FixtureException; <init> (Ljava/lang/String;)V",
                           "Ljava/io/IOException; <init> (Ljava/lang/String;)V",
                           "Ljava/io/PrintStream; println (Ljava/lang/String;)V",
                           "Ljava/lang/Object; <init> ()V"}));
}

TEST(DependenciesOfFixtures, EnumLeavesOutItsCallOfEnumsConstructor)
{
    const FilePtr f = fixture("fixtures/Planet.class");
    EXPECT_EQ(classesOf(*f), (QStringList{"Lfixtures/Planet;", "Ljava/lang/Class;",
                                          "Ljava/lang/Enum;", "Ljava/lang/String;"}));
    EXPECT_EQ(
        methodsOf(*f),
        QStringList{
            "Ljava/lang/Enum; valueOf (Ljava/lang/Class;Ljava/lang/String;)Ljava/lang/Enum;"});
    EXPECT_EQ(fieldsOf(*f), QStringList()); // only its own fields
}

TEST(DependenciesOfFixtures, ArraysGiveTheirElementClassesButNoMethods)
{
    const FilePtr f = fixture("fixtures/ArrayUse.class");
    // clone on String[] and int[], new int[][], new Thread[n], instanceof Number[][]
    EXPECT_EQ(classesOf(*f),
              (QStringList{"Ljava/lang/Object;", "Ljava/lang/String;", "Ljava/lang/Thread;"}));
    EXPECT_EQ(methodsOf(*f), QStringList{"Ljava/lang/Object; <init> ()V"});
}

TEST(DependenciesOfFixtures, LambdasAndMethodReferences)
{
    const FilePtr f = fixture("fixtures/Lambdas.class");
    const QStringList methods = methodsOf(*f);
    EXPECT_TRUE(methods.contains("Ljava/lang/String; length ()I"));
    EXPECT_TRUE(methods.contains("Ljava/lang/String; toUpperCase ()Ljava/lang/String;"));
    EXPECT_TRUE(methods.contains("Ljava/lang/StringBuilder; <init> ()V"));
    EXPECT_TRUE(methods.contains("Ljava/util/List; forEach (Ljava/util/function/Consumer;)V"));
    EXPECT_TRUE(methods.contains("Ljava/util/ArrayList; <init> ()V"));
    const QStringList classes = classesOf(*f);
    for (const char* c : {"Ljava/util/function/Function;", "Ljava/util/function/Supplier;",
                          "Ljava/util/function/Consumer;", "Ljava/lang/invoke/LambdaMetafactory;"})
        EXPECT_TRUE(classes.contains(c)) << c;
    for (const QString& m : methods)
        EXPECT_FALSE(m.startsWith("Lfixtures/Lambdas;")) << m.toStdString();
}

TEST(DependenciesOfFixtures, OwnMembersAreLeftOutButInterfaceCallsAreKept)
{
    const FilePtr f = fixture("fixtures/Members.class");
    EXPECT_EQ(fieldsOf(*f), QStringList());
    EXPECT_EQ(methodsOf(*f),
              (QStringList{
                  "Lfixtures/Greeter; greet ()Ljava/lang/String;",
                  "Lfixtures/Greeter; of (Ljava/lang/String;)Lfixtures/Greeter;",
                  "Ljava/lang/Object; <init> ()V", "Ljava/lang/StringBuilder; <init> ()V",
                  "Ljava/lang/StringBuilder; append (Ljava/lang/String;)Ljava/lang/StringBuilder;",
                  "Ljava/lang/StringBuilder; toString ()Ljava/lang/String;"}));
    EXPECT_TRUE(classesOf(*f).contains("Lfixtures/Members;"));
    EXPECT_TRUE(classesOf(*f).contains("Ljava/io/Serializable;"));
}

TEST(DependenciesOfFixtures, InheritedMembersUsedThroughTheOwnNameAreKept)
{
    // javac names the calling class as the owner of an unqualified use of an inherited member;
    // only the members the class declares itself are left out.
    const FilePtr f = fixture("fixtures/Inherits.class");
    EXPECT_EQ(fieldsOf(*f), QStringList{"Lfixtures/Inherits; modCount I"});
    EXPECT_EQ(methodsOf(*f), (QStringList{"Lfixtures/Inherits; removeRange (II)V",
                                          "Ljava/util/AbstractList; <init> ()V"}));
}

TEST(DependenciesOfFixtures, DeclaredArrayTypesGiveTheirElementClasses)
{
    // Thread is named only by a field of type Thread[], Number and Date only by parameters.
    const FilePtr f = fixture("fixtures/DeclaredArrays.class");
    const QStringList classes = classesOf(*f);
    for (const char* c : {"Ljava/lang/Thread;", "Ljava/lang/Number;", "Ljava/util/Date;"})
        EXPECT_TRUE(classes.contains(c)) << c;
}

TEST(DependenciesOfFixtures, OwnFieldDoesNotHideTheFieldOfAnotherClass)
{
    // The class declares a field out of System.out's type; System.out is still a dependency.
    const FilePtr f = fixture("fixtures/DeclaredArrays.class");
    EXPECT_EQ(fieldsOf(*f), QStringList{"Ljava/lang/System; out Ljava/io/PrintStream;"});
}

TEST(DependenciesOfFixtures, GettersAskedInAnyOrderAndAgainGiveTheSets)
{
    // After a clean read the getters work the lists out when asked; in any order, and again,
    // they give what findDependencies() puts into the sets.
    for (const char* path : {"fixtures/Members.class", "fixtures/Lambdas.class",
                             "fixtures/Inherits.class", "fixtures/Planet.class"}) {
        const FilePtr asked = fixture(path);
        const QStringList methods = methodsOf(*asked);
        const QStringList fields = fieldsOf(*asked);
        const QStringList classes = classesOf(*asked);
        EXPECT_EQ(methodsOf(*asked), methods) << path;
        EXPECT_EQ(classesOf(*asked), classes) << path;

        const FilePtr filled = fixture(path);
        filled->findDependencies();
        EXPECT_TRUE(filled->checkLog.messages.isEmpty()) << path;
        EXPECT_EQ(filled->dependentMethods.size(), methods.size()) << path;
        EXPECT_EQ(methodsOf(*filled), methods) << path;
        EXPECT_EQ(fieldsOf(*filled), fields) << path;
        EXPECT_EQ(classesOf(*filled), classes) << path;
    }
}

TEST(DependenciesOfFixtures, UnusualSpellingsGiveWhatTheSetsHold)
{
    // The getters work the lists out after the read's check, reusing what its walk met; for
    // unusual spellings too they are what findDependencies() puts into the sets.
    const auto withCode = [](const std::function<QByteArray(B&)>& code) {
        B b;
        b.addCodeMethod(code(b) + B::u1(177));
        return b.build();
    };
    const auto getField = [](B& b, const QString& owner, const QString& name, const QString& type) {
        return B::u1(178) + B::u2(b.fieldref(owner, name, type)) + B::u1(87);
    };
    const QList<QByteArray> files = {
        // A class name spelt with dots, and the same class with slashes.
        withCode([&](B& b) {
            return getField(b, "a.b/C", "x", "I") + B::u1(187) + B::u2(b.classEntry("a/b/C")) +
                   B::u1(87);
        }),
        // Two descriptors of one printed name.
        withCode([&](B& b) {
            return getField(b, "p/Q", "y", "La/b;") + B::u1(187) + B::u2(b.classEntry("a.b")) +
                   B::u1(87);
        }),
        // Two fields whose parts join to one text.
        withCode(
            [&](B& b) { return getField(b, "a", "xL", "Lb;") + getField(b, "a", "x", "LLb;"); }),
        // Names beyond ASCII, and a plain file.
        withCode([&](B& b) {
            return getField(b, QStringLiteral("p/\u00dcber"), QStringLiteral("\u00e9"), "I");
        }),
        withCode(
            [&](B& b) { return getField(b, "java/lang/System", "out", "Ljava/io/PrintStream;"); }),
    };
    for (const QByteArray& bytes : files) {
        const FilePtr asked = parse(bytes);
        ASSERT_FALSE(asked->checkLog.hasError) << asked->checkLog.messages.join('\n').toStdString();
        const FilePtr filled = parse(bytes);
        filled->findDependencies();
        EXPECT_EQ(classesOf(*asked), classesOf(*filled));
        EXPECT_EQ(fieldsOf(*asked), fieldsOf(*filled));
        EXPECT_EQ(methodsOf(*asked), methodsOf(*filled));
    }
}

// ---------------------------------------------------------------------------------------------
// Recording rules, on hand-built classes

TEST(DependencyRules, EnumConstructorCallIsLeftOutOnlyInEnums)
{
    const auto build = [](const QString& parent) {
        B b("test/Sample", parent);
        const quint16 m = b.methodref("other/Thing", "<init>", "(Ljava/lang/String;I)V");
        b.addCodeMethod(B::u1(183) + B::u2(m) + B::u1(177));
        return parse(b.build());
    };
    EXPECT_EQ(methodsOf(*build("java/lang/Enum")), QStringList());
    EXPECT_EQ(methodsOf(*build("java/lang/Object")),
              QStringList{"Lother/Thing; <init> (Ljava/lang/String;I)V"});
}

TEST(DependencyRules, MethodsCalledOnArrays)
{
    const auto classesForCloneOn = [](const QString& owner) {
        B b;
        const quint16 m = b.methodref(owner, "clone", "()Ljava/lang/Object;");
        b.addCodeMethod(B::u1(182) + B::u2(m) + B::u1(87) + B::u1(177));
        const FilePtr f = parse(b.build());
        EXPECT_EQ(methodsOf(*f), QStringList());
        return classesOf(*f);
    };
    EXPECT_EQ(classesForCloneOn("[Ljava/lang/String;"),
              (QStringList{"Ljava/lang/Object;", "Ljava/lang/String;"}));
    EXPECT_EQ(classesForCloneOn("[I"), QStringList{"Ljava/lang/Object;"});
}

TEST(DependencyRules, ClassInstructionsRecordOnlyClassTypes)
{
    B b;
    const quint16 string = b.classEntry("java/lang/String");
    const quint16 list = b.classEntry("java/util/ArrayList");
    const quint16 stringArray = b.classEntry("[Ljava/lang/Number;");
    const quint16 grid = b.classEntry("[[Ljava/lang/Thread;");
    b.addCodeMethod(B::u1(3) + B::u1(189) + B::u2(string) + // anewarray String
                    B::u1(187) + B::u2(list) +              // new ArrayList
                    B::u1(192) + B::u2(stringArray) +       // checkcast Number[]
                    B::u1(193) + B::u2(stringArray) +       // instanceof Number[]
                    B::u1(197) + B::u2(grid) + B::u1(2) +   // multianewarray Thread[][]
                    B::u1(177));
    const FilePtr f = parse(b.build());
    EXPECT_TRUE(f->checkLog.messages.isEmpty()) << f->checkLog.messages.join('\n').toStdString();
    EXPECT_EQ(classesOf(*f),
              (QStringList{"Ljava/lang/Object;", "Ljava/lang/String;", "Ljava/util/ArrayList;"}));
}

TEST(DependencyRules, FieldReferencesNameTheirOwnerAsADescriptor)
{
    B b;
    const quint16 out = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
    const quint16 own = b.fieldref("test/Sample", "count", "I");
    b.addField(0x0008, "count", "I");
    b.addCodeMethod(B::u1(178) + B::u2(out) + B::u1(178) + B::u2(own) + B::u1(177));
    const FilePtr f = parse(b.build());
    EXPECT_EQ(fieldsOf(*f), QStringList{"Ljava/lang/System; out Ljava/io/PrintStream;"});
    // A reference to its own member puts the class's own type on the list.
    EXPECT_EQ(classesOf(*f), (QStringList{"Ljava/io/PrintStream;", "Ljava/lang/Object;",
                                          "Ljava/lang/System;", "Ltest/Sample;"}));
}

TEST(DependencyRules, EntriesWhoseTextsCoincideAreOne)
{
    // Two fields whose parts join to one text, and two declared types that print alike: the
    // entry met first stays.
    B b;
    b.fieldref("a", "xL", "Lb;");
    b.fieldref("a", "x", "LLb;");
    b.addField(0x0000, "first", "La/b;");
    b.addField(0x0000, "second", "La.b;");
    const FilePtr f = parse(b.build());
    ASSERT_EQ(f->getDependentFields().size(), 1);
    EXPECT_EQ(f->getDependentFields()[0].name, "xL");
    QStringList printedAB;
    for (const TypeDescriptor& t : f->getDependentClasses()) {
        if (t.toString() == "a.b")
            printedAB << t.descriptor;
    }
    EXPECT_EQ(printedAB, QStringList{"La/b;"});
}

TEST(DependencyRules, ManyCombinationsOfHugeNamesStopTheExtraction)
{
    // Each reference is a few bytes, but it combines huge names into a text not seen before:
    // without a bound, a small file would cost gigabytes.
    B b;
    QList<quint16> texts;
    QList<quint16> owners;
    for (int k = 0; k < 6; ++k) {
        texts << b.utf8(QString(40000, QChar('a' + k)));
        owners << b.classEntryAt(texts.last());
    }
    for (quint16 owner : owners) {
        for (quint16 name : texts) {
            for (quint16 type : texts)
                b.refAt(9, owner, b.nameAndTypeAt(name, type));
        }
    }
    const QByteArray bytes = b.build();
    const FilePtr f = parse(bytes);
    EXPECT_TRUE(f->checkLog.hasError);
    EXPECT_EQ(f->checkLog.messages,
              QList<QString>{QString("Warning - Dependency extraction stopped - the names that the "
                                     "class refers to add up to more than %1 characters")
                                 .arg(32 * bytes.size() + (1 << 20))});
    EXPECT_LE(f->getDependentFields().size(), 80);
}

TEST(DependencyRules, NamesUpToExactlyTheBudgetPassOneCharacterMoreStops)
{
    // 24 names of 4000 characters, each a class and a field name, combined into 576 field
    // references of type I; one more reference with a name of 1 + a characters, and an unused
    // text of b characters that only makes the file (and so the budget) larger.
    const int k = 24;
    const int n = 4000;
    const auto build = [&](int a, int b) {
        B builder;
        QList<quint16> names;
        QList<quint16> owners;
        for (int i = 0; i < k; ++i) {
            names << builder.utf8(QString(n, QChar('a' + i)));
            owners << builder.classEntryAt(names.last());
        }
        const quint16 type = builder.utf8("I");
        for (quint16 owner : owners) {
            for (quint16 name : names)
                builder.refAt(9, owner, builder.nameAndTypeAt(name, type));
        }
        builder.refAt(9, owners[0],
                      builder.nameAndTypeAt(builder.utf8(QString(1 + a, QChar('z'))), type));
        builder.utf8(QString(b, QChar('p')));
        return builder.build();
    };
    // What extraction charges: each distinct field reference its owner's descriptor, its name
    // and its type; each class name its descriptor once; the parent's name once.
    const auto charged = [&](int a) {
        return qint64(k) * k * ((n + 2) + n + 1) + k * (n + 2) + ((n + 2) + (1 + a) + 1) +
               qint64(QString("Ljava/lang/Object;").size());
    };
    const auto budget = [](const QByteArray& bytes) {
        return 32 * qint64(bytes.size()) + (1 << 20);
    };
    // A character more in the name charges 1 and adds 32 to the budget, one more in the unused
    // text adds 32 alone: together they reach any excess.
    const auto withExcess = [&](qint64 excess) {
        const qint64 base = charged(0) - budget(build(0, 0));
        const int a = int(((excess - base) % 32 + 32) % 32);
        const int b = int((base - 31 * a - excess) / 32);
        const QByteArray bytes = build(a, b);
        EXPECT_EQ(charged(a) - budget(bytes), excess);
        return bytes;
    };

    // Accepted at no excess and stopped at one character over: only an exact count passes both.
    const QByteArray exact = withExcess(0);
    const FilePtr accepted = parse(exact);
    EXPECT_EQ(accepted->checkLog.messages, QList<QString>());
    EXPECT_EQ(accepted->getDependentFields().size(), k * k + 1);

    const QByteArray over = withExcess(1);
    const FilePtr refused = parse(over);
    EXPECT_TRUE(refused->checkLog.hasError);
    EXPECT_EQ(refused->checkLog.messages,
              QList<QString>{QString("Warning - Dependency extraction stopped - the names that the "
                                     "class refers to add up to more than %1 characters")
                                 .arg(budget(over))});
}

TEST(DependencyRules, TextsSharedByManyMembersAreCountedOnce)
{
    // An interface of 500 abstract methods sharing one descriptor of 200 long parameter types,
    // and 400 references to one huge name: each distinct text is counted once.
    B b;
    b.accessFlags = 0x0601;
    QString descriptor = "(";
    for (int k = 0; k < 200; ++k)
        descriptor += QString("Lpkg/%1%2;").arg(QString(220, QLatin1Char('P'))).arg(k);
    descriptor += ")V";
    const quint16 shared = b.utf8(descriptor);
    for (int k = 0; k < 500; ++k)
        b.methods << B::member(0x0401, b.utf8(QString("m%1").arg(k)), shared);
    const QString huge(60000, QLatin1Char('h'));
    const quint16 owner = b.classEntry(huge);
    const quint16 name = b.utf8(huge);
    const quint16 type = b.utf8("L" + huge + ";");
    for (int k = 0; k < 400; ++k)
        b.refAt(9, owner, b.nameAndTypeAt(name, type));
    const QByteArray bytes = b.build();
    ASSERT_LT(bytes.size(), 60 * 1024 + 3 * 60000);
    const FilePtr f = parse(bytes);
    EXPECT_EQ(f->checkLog.messages, QList<QString>());
    EXPECT_EQ(f->getDependentClasses().size(), 202); // 200 parameters, Object and the huge name
    EXPECT_EQ(f->getDependentFields().size(), 1);
}

TEST(DependencyRules, ADescriptorSharedByManyCalledMethodsIsCountedOnce)
{
    // javac's class of 80 methods of one 200-parameter descriptor, each called once: the
    // descriptor's text is far below the budget, but once per call it would exceed it.
    QFile file(QStringLiteral(VELM_SHARED_DESCRIPTOR_CLASS));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const FilePtr f = parse(file.readAll());
    EXPECT_EQ(f->checkLog.messages, QList<QString>());
    const QString own = "Lfixtures/" + QString(230, QLatin1Char('L'));
    EXPECT_EQ(classesOf(*f), (QStringList{own + ";", own + "$A;", own + "$B;", own + "$C;",
                                          own + "$D;", "Ljava/lang/Object;"}));
    EXPECT_EQ(fieldsOf(*f), QStringList());
    EXPECT_EQ(methodsOf(*f), QStringList{"Ljava/lang/Object; <init> ()V"});
}

// ---------------------------------------------------------------------------------------------
// Malformed references

struct BadRef
{
    const char* name;
    // Adds the malformed reference to the builder.
    std::function<void(B&)> add;
    const char* message;
};

// Pool of every builder below: 1 "test/Sample", 2 its Class, 3 "java/lang/Object", 4 its Class.
const BadRef badReferences[] = {
    {"FieldClassIndexZero", [](B& b) { b.refAt(9, 0, b.nameAndType("count", "I")); },
     "Malformed field reference. Class: invalid class index Field: count Descriptor: I"},
    {"FieldClassIndexNamesUtf8", [](B& b) { b.refAt(9, 1, b.nameAndType("count", "I")); },
     "Malformed field reference. Class: class index is not class info Field: count Descriptor: I"},
    {"FieldClassNameIsInteger",
     [](B& b) { b.refAt(9, b.classEntryAt(b.integer(1)), b.nameAndType("count", "I")); },
     "Malformed field reference. Class: class name info is not a string Field: count Descriptor: "
     "I"},
    {"FieldNameAndTypeIsClass", [](B& b) { b.refAt(9, 4, 4); },
     "Malformed field reference. Class: java/lang/Object Field: name and type index is not name "
     "and type info Descriptor: name and type index is not name and type info"},
    {"FieldNameIndexZero", [](B& b) { b.refAt(9, 4, b.nameAndTypeAt(0, b.utf8("I"))); },
     "Malformed field reference. Class: java/lang/Object Field: invalid field name index "
     "Descriptor: I"},
    {"FieldDescriptorIsClass", [](B& b) { b.refAt(9, 4, b.nameAndTypeAt(b.utf8("n"), 2)); },
     "Malformed field reference. Class: java/lang/Object Field: n Descriptor: field descriptor "
     "info is not a string"},
    {"MethodClassIndexZero", [](B& b) { b.refAt(10, 0, b.nameAndType("length", "()I")); },
     "Malformed method reference. Class: Linvalid class index; Method: length Method Signature: "
     "()I"},
    {"MethodNameIsClass", [](B& b) { b.refAt(10, 4, b.nameAndTypeAt(4, b.utf8("()I"))); },
     "Malformed method reference. Class: Ljava/lang/Object; Method: method name info is not a "
     "string Method Signature: ()I"},
    {"MethodSignatureIndexZero", [](B& b) { b.refAt(10, 4, b.nameAndTypeAt(b.utf8("m"), 0)); },
     "Malformed method reference. Class: Ljava/lang/Object; Method: m Method Signature: invalid "
     "method signature index"},
    {"InterfaceMethodNameIndexZero",
     [](B& b) {
         b.refAt(11, b.classEntry("java/lang/Runnable"), b.nameAndTypeAt(0, b.utf8("()V")));
     },
     "Malformed interface method reference. Class: Ljava/lang/Runnable; Method: invalid method "
     "name index Method Signature: ()V"},
};

class MalformedReference : public testing::TestWithParam<BadRef>
{
};

TEST_P(MalformedReference, IsRecordedAsAnErrorAndAddsNothing)
{
    B b;
    GetParam().add(b);
    const FilePtr f = parse(b.build());
    EXPECT_TRUE(f->checkLog.hasError);
    EXPECT_EQ(f->checkLog.messages,
              QList<QString>{QStringLiteral("Warning - ") + GetParam().message});
    EXPECT_EQ(fieldsOf(*f), QStringList());
    EXPECT_EQ(methodsOf(*f), QStringList());
    EXPECT_EQ(classesOf(*f), QStringList{"Ljava/lang/Object;"});
}

INSTANTIATE_TEST_SUITE_P(, MalformedReference, testing::ValuesIn(badReferences),
                         [](const testing::TestParamInfo<BadRef>& info) {
                             return std::string(info.param.name);
                         });

TEST(MalformedReferences, AreReportedInOrderAndTheScanGoesOn)
{
    B b;
    b.refAt(11, 0, 0);
    b.refAt(10, 0, 0);
    const quint16 good = b.fieldref("java/lang/System", "err", "Ljava/io/PrintStream;");
    b.refAt(9, 0, 0);
    // The walk meets a reference whose parts do not resolve: the pool scan has reported it.
    b.addCodeMethod(B::u1(178) + B::u2(good) + B::u1(178) + B::u2(good + 1) + B::u1(177));
    b.addMethod(0x0001, "noCode", "()V");
    const FilePtr f = parse(b.build());
    const QString none = "invalid name and type index";
    EXPECT_EQ(f->checkLog.messages,
              (QList<QString>{
                  "Warning - Malformed field reference. Class: invalid class index Field: " + none +
                      " Descriptor: " + none,
                  "Warning - Malformed method reference. Class: Linvalid class index; Method: " +
                      none + " Method Signature: " + none,
                  "Warning - Malformed interface method reference. Class: Linvalid class index; "
                  "Method: " +
                      none + " Method Signature: " + none,
                  "Warning - noCode has no code segment but is not abstract"}));
    EXPECT_EQ(fieldsOf(*f), QStringList{"Ljava/lang/System; err Ljava/io/PrintStream;"});
}

// ---------------------------------------------------------------------------------------------
// The bytecode walk

struct Walk
{
    const char* name;
    // Builds the code of method "run" and returns the messages expected for it.
    std::function<QStringList(B&, QByteArray&)> build;
};

QByteArray s4(qint32 v)
{
    return B::u4(quint32(v));
}

QString walkError(const QString& detail)
{
    return "Warning - Error parsing code segment of run - " + detail;
}

const Walk walks[] = {
    {"WideFollowedByZeroReadsTheZeroNext",
     [](B&, QByteArray& code) {
         code = B::u1(196) + B::u1(0) + B::u1(177);
         return QStringList{"Warning - Error parsing wide instruction in code segment"};
     }},
    {"WideFormsOfLoadStoreRetAndIinc",
     [](B&, QByteArray& code) {
         code = B::u1(196) + B::u1(21) + B::u2(300) + B::u1(196) + B::u1(58) + B::u2(1) +
                B::u1(196) + B::u1(169) + B::u2(2) + B::u1(196) + B::u1(132) + B::u2(1) + B::u2(5) +
                B::u1(177);
         return QStringList();
     }},
    {"WideAsTheLastByte",
     [](B&, QByteArray& code) {
         code = B::u1(0) + B::u1(196);
         return QStringList{walkError("wide at offset 1 needs 2 bytes but the code ends at 2")};
     }},
    {"OpcodeAbove201",
     [](B&, QByteArray& code) {
         code = B::u1(0) + B::u1(202) + B::u1(177);
         return QStringList{"Warning - Error parsing code segment"};
     }},
    {"OperandPastTheEnd",
     [](B&, QByteArray& code) {
         code = B::u1(178) + B::u1(0);
         return QStringList{
             walkError("getstatic at offset 0 needs 3 bytes but the code ends at 2")};
     }},
    {"OperandIndexZero",
     [](B&, QByteArray& code) {
         code = B::u1(180) + B::u2(0) + B::u1(177);
         return QStringList{
             walkError("getfield at offset 0 names constant pool index 0, which does not exist")};
     }},
    {"FieldInstructionNamingUtf8",
     [](B&, QByteArray& code) {
         code = B::u1(181) + B::u2(1) + B::u1(177);
         return QStringList{walkError("putfield at offset 0 names constant pool index 1, a "
                                      "CONSTANT_Utf8 where CONSTANT_Fieldref is expected")};
     }},
    {"InvokevirtualNamingAnInterfaceMethod",
     [](B& b, QByteArray& code) {
         const quint16 m = b.interfaceMethodref("java/lang/Runnable", "run", "()V");
         code = B::u1(182) + B::u2(m) + B::u1(177);
         return QStringList{
             walkError(QString("invokevirtual at offset 0 names constant pool index %1, a "
                               "CONSTANT_InterfaceMethodref where CONSTANT_Methodref is expected")
                           .arg(m))};
     }},
    {"FieldUsedRightlyThenAsAMethod",
     [](B& b, QByteArray& code) {
         // The second use of the same index is checked as thoroughly as the first.
         const quint16 f = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
         code = B::u1(178) + B::u2(f) + B::u1(182) + B::u2(f) + B::u1(177);
         return QStringList{
             walkError(QString("invokevirtual at offset 3 names constant pool index %1, a "
                               "CONSTANT_Fieldref where CONSTANT_Methodref is expected")
                           .arg(f))};
     }},
    {"InvokestaticNamingAField",
     [](B& b, QByteArray& code) {
         const quint16 m = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
         code = B::u1(184) + B::u2(m) + B::u1(177);
         return QStringList{walkError(
             QString("invokestatic at offset 0 names constant pool index %1, a CONSTANT_Fieldref "
                     "where CONSTANT_Methodref or CONSTANT_InterfaceMethodref is expected")
                 .arg(m))};
     }},
    {"NewNamingAPlaceholder",
     [](B& b, QByteArray& code) {
         const quint16 placeholder = b.longEntry(1) + 1;
         code = B::u1(187) + B::u2(placeholder) + B::u1(177);
         return QStringList{walkError(
             QString("new at offset 0 names constant pool index %1, a CONSTANT_UNDEFINED! where "
                     "CONSTANT_Class is expected")
                 .arg(placeholder))};
     }},
    {"NewNamingAClassWithoutName",
     [](B& b, QByteArray& code) {
         const quint16 c = b.classEntryAt(b.integer(3));
         code = B::u1(0) + B::u1(187) + B::u2(c) + B::u1(177);
         return QStringList{walkError(
             QString("new at offset 1 names constant pool index %1, a CONSTANT_Class without a "
                     "CONSTANT_Utf8 name")
                 .arg(c))};
     }},
    {"TableswitchAtZeroHasThreePaddingBytes",
     [](B& b, QByteArray& code) {
         const quint16 f = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
         code = B::u1(170) + QByteArray(3, 0) + s4(20) + s4(0) + s4(1) + s4(20) + s4(20) +
                B::u1(178) + B::u2(f) + B::u1(177);
         return QStringList();
     }},
    {"TableswitchAtThreeHasNoPadding",
     [](B& b, QByteArray& code) {
         const quint16 f = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
         code = QByteArray(3, 0) + B::u1(170) + s4(20) + s4(-2) + s4(-1) + s4(20) + s4(20) +
                B::u1(178) + B::u2(f) + B::u1(177);
         return QStringList();
     }},
    {"LookupswitchAtOne",
     [](B& b, QByteArray& code) {
         const quint16 f = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
         code = B::u1(0) + B::u1(171) + QByteArray(2, 0) + s4(20) + s4(2) + s4(-5) + s4(20) +
                s4(7) + s4(20) + B::u1(178) + B::u2(f) + B::u1(177);
         return QStringList();
     }},
    {"TableswitchHighBelowLow",
     [](B&, QByteArray& code) {
         code = B::u1(170) + QByteArray(3, 0) + s4(12) + s4(5) + s4(3) + B::u1(177);
         return QStringList{"Warning - Error parsing code segment of run - tableswitch at offset "
                            "0 has low 5 and high 3, a negative number of jump offsets"};
     }},
    {"TableswitchExtremeBoundsPastTheEnd",
     [](B&, QByteArray& code) {
         code = B::u1(170) + QByteArray(3, 0) + s4(12) + s4(INT_MIN) + s4(INT_MAX) + B::u1(177);
         return QStringList{
             walkError("tableswitch at offset 0 needs 17179869200 bytes but the code ends at 17")};
     }},
    {"LookupswitchNegativeNpairs",
     [](B&, QByteArray& code) {
         code = B::u1(171) + QByteArray(3, 0) + s4(12) + s4(-1) + B::u1(177);
         return QStringList{"Warning - Error parsing code segment of run - lookupswitch at offset "
                            "0 has a negative npairs (-1)"};
     }},
};

class BytecodeWalk : public testing::TestWithParam<Walk>
{
};

TEST_P(BytecodeWalk, RecordsWhatTheCodeEvidentlyHolds)
{
    B b;
    QByteArray code;
    const QStringList expected = GetParam().build(b, code);
    b.addCodeMethod(code);
    // A second method that is walked after the first, whatever became of the first.
    const quint16 later = b.methodref("java/lang/Thread", "yield", "()V");
    b.addCodeMethod(B::u1(184) + B::u2(later) + B::u1(177), "later");
    const FilePtr f = parse(b.build());
    EXPECT_EQ(QStringList(f->checkLog.messages), expected);
    EXPECT_EQ(f->checkLog.hasError, !expected.isEmpty());
    EXPECT_TRUE(methodsOf(*f).contains("Ljava/lang/Thread; yield ()V"));
    // Where the code holds a field access after a switch, the walk found it at the right place.
    if (code.contains(char(178)) && expected.isEmpty()) {
        EXPECT_EQ(fieldsOf(*f), QStringList{"Ljava/lang/System; out Ljava/io/PrintStream;"});
    }
}

INSTANTIATE_TEST_SUITE_P(, BytecodeWalk, testing::ValuesIn(walks),
                         [](const testing::TestParamInfo<Walk>& info) {
                             return std::string(info.param.name);
                         });

TEST(BytecodeWalkMethods, NativeAndAbstractMethodsAreNotWalked)
{
    B b;
    const QByteArray garbage = b.code(B::u1(0xFF) + B::u1(196));
    b.addMethod(0x0101, "nat", "()V", {garbage});
    b.addMethod(0x0401, "abs", "()V", {garbage});
    b.addMethod(0x0101, "natWithoutCode", "()V");
    b.addMethod(0x0001, "plain", "()V");
    const FilePtr f = parse(b.build());
    EXPECT_EQ(f->checkLog.messages,
              QList<QString>{"Warning - plain has no code segment but is not abstract"});
}

} // namespace
