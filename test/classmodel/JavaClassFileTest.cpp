// The class-file reader: real class files, the structure it keeps, and malformed files, each of
// which must end in a rejected file with a clear message and never in a read outside the bytes.

#include "JavaClassFile.h"
#include "ClassFileBuilder.h"
#include "Field.h"
#include "JavaClass.h"
#include "JavaFixtureSupport.h"
#include "Method.h"
#include "RecordStorage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

namespace {

using B = ClassFileBuilder;
using FilePtr = std::unique_ptr<JavaClassFile>;

FilePtr parse(const QByteArray& bytes)
{
    return FilePtr(JavaClassFile::create(bytes));
}

QString utf8Value(const JavaClassFile& f, int index)
{
    const cp_info* e = f.constant_pool.value(index - 1);
    return e && e->tag == CONSTANT_Utf8 ? static_cast<const CONSTANT_Utf8_info*>(e)->value()
                                        : QString();
}

const method_info* methodNamed(const JavaClassFile& f, const QString& name)
{
    for (const method_info* m : f.methods) {
        if (f.getMethodName(m) == name)
            return m;
    }
    return nullptr;
}

const attribute_info* attributeNamed(const JavaClassFile& f, const QList<attribute_info*>& list,
                                     const QString& name)
{
    for (const attribute_info* a : list) {
        if (f.isAttr(a, name))
            return a;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Real class files

TEST(ClassFileReaderFixtures, EveryFixtureReadsWithoutAMessage)
{
    const QStringList paths = fixtureClassPaths();
    ASSERT_GE(paths.size(), 18) << "fixture classes missing from "
                                << javaFixturesDir().toStdString();
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const FilePtr f = parse(readFixtureClass(path));
        EXPECT_TRUE(f->checkLog.messages.isEmpty())
            << f->checkLog.messages.join('\n').toStdString();
        EXPECT_FALSE(f->checkLog.hasError);
        EXPECT_FALSE(f->checkLog.hasWarning);
        EXPECT_EQ(f->magic, 0xCAFEBABE);
        EXPECT_EQ(f->major_version, 52);
        EXPECT_EQ(f->getName() + ".class", path);
    }
}

TEST(ClassFileReaderFixtures, LongAndDoubleConstantsAreFollowedByPlaceholders)
{
    const FilePtr f = parse(readFixtureClass("fixtures/Constants.class"));
    bool sawLong = false, sawDouble = false, sawFloat = false, sawInt = false;
    for (int i = 0; i < f->constant_pool.size(); ++i) {
        const cp_info* e = f->constant_pool[i];
        if (e->tag == CONSTANT_Long || e->tag == CONSTANT_Double) {
            ASSERT_LT(i + 1, f->constant_pool.size());
            EXPECT_EQ(f->constant_pool[i + 1]->tag, CONSTANT_Placeholder);
        }
        if (e->tag == CONSTANT_Long &&
            static_cast<const CONSTANT_Long_info*>(e)->value == 0x123456789ABCDEFLL)
            sawLong = true;
        if (e->tag == CONSTANT_Double &&
            static_cast<const CONSTANT_Double_info*>(e)->value == 3.14159)
            sawDouble = true;
        if (e->tag == CONSTANT_Float && static_cast<const CONSTANT_Float_info*>(e)->value == 0.5f)
            sawFloat = true;
        if (e->tag == CONSTANT_Integer && static_cast<const CONSTANT_Integer_info*>(e)->value == 42)
            sawInt = true;
    }
    EXPECT_TRUE(sawLong);
    EXPECT_TRUE(sawDouble);
    EXPECT_TRUE(sawFloat);
    EXPECT_TRUE(sawInt);

    // The ConstantValue of BIG names the Long entry itself, so indexes after it line up.
    const field_info* big = nullptr;
    for (const field_info* field : f->fields) {
        if (f->getFieldName(field) == "BIG")
            big = field;
    }
    ASSERT_NE(big, nullptr);
    const auto* cv = static_cast<const ConstantValue_attribute*>(
        attributeNamed(*f, big->attributes, "ConstantValue"));
    ASSERT_NE(cv, nullptr);
    const cp_info* value = f->constant_pool.value(cv->constantvalue_index - 1);
    ASSERT_NE(value, nullptr);
    ASSERT_EQ(value->tag, CONSTANT_Long);
    EXPECT_EQ(static_cast<const CONSTANT_Long_info*>(value)->value, 0x123456789ABCDEFLL);
}

TEST(ClassFileReaderFixtures, CodeKeepsItsOwnAttributesAndTheClassItsSourceFile)
{
    const FilePtr f = parse(readFixtureClass("fixtures/Switches.class"));
    const method_info* dense = methodNamed(*f, "dense");
    ASSERT_NE(dense, nullptr);
    const auto* code = static_cast<const Code_attribute*>(f->getMethodCodeAttr(dense));
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->code_length, quint32(code->code.size()));
    EXPECT_EQ(quint8(code->code.at(1)), 170) << "dense switch compiles to tableswitch";
    EXPECT_NE(attributeNamed(*f, code->attributes, "LineNumberTable"), nullptr);
    EXPECT_EQ(attributeNamed(*f, dense->attributes, "LineNumberTable"), nullptr);

    const method_info* sparse = methodNamed(*f, "sparse");
    ASSERT_NE(sparse, nullptr);
    const auto* sparseCode = static_cast<const Code_attribute*>(f->getMethodCodeAttr(sparse));
    EXPECT_EQ(quint8(sparseCode->code.at(1)), 171) << "sparse switch compiles to lookupswitch";

    const auto* source = static_cast<const ConstantValue_attribute*>(
        attributeNamed(*f, f->attributes, "SourceFile"));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(utf8Value(*f, source->constantvalue_index), "Switches.java");
}

TEST(ClassFileReaderFixtures, NestedClassAttributes)
{
    const FilePtr outer = parse(readFixtureClass("fixtures/Outer.class"));
    const auto* inner = static_cast<const InnerClasses_attribute*>(
        attributeNamed(*outer, outer->attributes, "InnerClasses"));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->classes.size(), 4); // Nested, Inner, the anonymous and the local class

    const FilePtr local = parse(readFixtureClass("fixtures/Outer$1Local.class"));
    const auto* enclosing = static_cast<const EnclosingMethod_attribute*>(
        attributeNamed(*local, local->attributes, "EnclosingMethod"));
    ASSERT_NE(enclosing, nullptr);
    const cp_info* owner = local->constant_pool.value(enclosing->class_index - 1);
    ASSERT_EQ(owner->tag, CONSTANT_Class);
    EXPECT_EQ(
        local->getClassTypeDescriptor(*static_cast<const CONSTANT_Class_info*>(owner)).descriptor,
        "Lfixtures/Outer;");
    const cp_info* nat = local->constant_pool.value(enclosing->method_index - 1);
    ASSERT_EQ(nat->tag, CONSTANT_NameAndType);
    EXPECT_EQ(utf8Value(*local, static_cast<const CONSTANT_NameAndType_info*>(nat)->name_index),
              "local");
}

// ---------------------------------------------------------------------------------------------
// Hand-built files that are accepted

TEST(ClassFileReaderAccepted, TheCheckLogPrefixesAreKeptAsLogsCarryThem)
{
    FileCheckLog log;
    EXPECT_TRUE(log.messages.isEmpty());
    EXPECT_FALSE(log.hasError);
    EXPECT_FALSE(log.hasWarning);
    log.error("broken %1");
    EXPECT_TRUE(log.hasError);
    EXPECT_FALSE(log.hasWarning);
    log.warning("odd");
    EXPECT_TRUE(log.hasWarning);
    EXPECT_EQ(log.messages, (QList<QString>{"Warning - broken %1", "Error - odd"}));
}

TEST(ClassFileReaderAccepted, HugeNamesAreCutInMessages)
{
    const QString limit(FileCheckLog::maxShownLength, QLatin1Char('n'));
    EXPECT_EQ(FileCheckLog::abbreviate(limit), limit);
    EXPECT_EQ(FileCheckLog::abbreviate(limit + "m"), limit + "...");

    // One huge name repeated by many attributes must not be copied into every message in full.
    B b;
    const quint16 name = b.utf8(QString(60000, QLatin1Char('x')));
    for (int k = 0; k < 3; ++k)
        b.classAttributes << b.attributeAt(name, "");
    const FilePtr f = parse(b.build());
    EXPECT_FALSE(f->checkLog.hasError);
    const QString expected = "Error - Unknown attribute - " +
                             QString(FileCheckLog::maxShownLength, QLatin1Char('x')) + "...";
    EXPECT_EQ(f->checkLog.messages, (QList<QString>{expected, expected, expected}));
}

TEST(ClassFileReaderAccepted, ConstantInfoNames)
{
    EXPECT_EQ(constantInfoToString(1), "CONSTANT_Utf8");
    EXPECT_EQ(constantInfoToString(3), "CONSTANT_Integer");
    EXPECT_EQ(constantInfoToString(4), "CONSTANT_Float");
    EXPECT_EQ(constantInfoToString(5), "CONSTANT_Long");
    EXPECT_EQ(constantInfoToString(6), "CONSTANT_Double");
    EXPECT_EQ(constantInfoToString(7), "CONSTANT_Class");
    EXPECT_EQ(constantInfoToString(8), "CONSTANT_String");
    EXPECT_EQ(constantInfoToString(9), "CONSTANT_Fieldref");
    EXPECT_EQ(constantInfoToString(10), "CONSTANT_Methodref");
    EXPECT_EQ(constantInfoToString(11), "CONSTANT_InterfaceMethodref");
    EXPECT_EQ(constantInfoToString(12), "CONSTANT_NameAndType");
    for (int tag : {0, 2, 15, 16, 18, 255})
        EXPECT_EQ(constantInfoToString(quint8(tag)), "CONSTANT_UNDEFINED!") << tag;
}

TEST(ClassFileReaderAccepted, ALongInTheLastSlotStillGetsItsPlaceholder)
{
    B b;
    b.longEntry(7);
    b.poolCount = b.nextIndex() - 1; // the Long takes the last index the count allows
    const FilePtr f = parse(b.build());
    EXPECT_FALSE(f->checkLog.hasError) << f->checkLog.messages.join('\n').toStdString();
    ASSERT_EQ(f->constant_pool.size(), b.poolCount);
    EXPECT_EQ(f->constant_pool.last()->tag, CONSTANT_Placeholder);
}

TEST(ClassFileReaderAccepted, AnUnknownAttributeIsAWarningAndIsNotKept)
{
    B b;
    b.addField(0x0001, "f", "I", {b.attribute("Custom", "xyz"), b.attribute("Synthetic", "")});
    const FilePtr f = parse(b.build());
    EXPECT_FALSE(f->checkLog.hasError);
    EXPECT_TRUE(f->checkLog.hasWarning);
    EXPECT_EQ(f->checkLog.messages, QList<QString>{"Error - Unknown attribute - Custom"});
    ASSERT_EQ(f->fields.size(), 1);
    ASSERT_EQ(f->fields[0]->attributes.size(), 1);
    EXPECT_TRUE(f->isAttr(f->fields[0]->attributes[0], "Synthetic"));
}

TEST(ClassFileReaderAccepted, CodeInLowerCaseIsUnknownSoTheMethodHasNoCode)
{
    B b;
    const QByteArray body = B::u2(1) + B::u2(1) + B::u4(1) + B::u1(177) + B::u2(0) + B::u2(0);
    b.addMethod(0x0009, "run", "()V", {b.attribute("code", body)});
    const FilePtr f = parse(b.build());
    EXPECT_EQ(f->checkLog.messages,
              (QList<QString>{"Error - Unknown attribute - code",
                              "Warning - run has no code segment but is not abstract"}));
    EXPECT_EQ(f->getMethodCodeAttr(f->methods.value(0)), nullptr);
}

TEST(ClassFileReaderAccepted, SkippedAndDebugAttributesAreKept)
{
    B b;
    b.classAttributes << b.attribute("SourceDebugExtension", "SMAP\nx\n")
                      << b.attribute("RuntimeVisibleAnnotations", B::u2(0))
                      << b.attribute("Deprecated", "");
    const FilePtr f = parse(b.build());
    ASSERT_FALSE(f->checkLog.hasError);
    ASSERT_EQ(f->attributes.size(), 3);
    const auto* debug = static_cast<const SourceDebugExtension_attribute*>(f->attributes[0]);
    EXPECT_EQ(debug->debug_extension, QByteArray("SMAP\nx\n"));
    EXPECT_EQ(debug->attribute_length, 7u);
    EXPECT_EQ(f->attributes[1]->attribute_length, 2u);
    EXPECT_TRUE(f->isAttr(f->attributes[2], "Deprecated"));
}

// The reader sets aside room for every record it can make; a record beyond the room goes on the
// heap all the same, and both kinds are released where they live (ASan reports a destructor that
// does not run, or a record freed as the wrong kind).
TEST(ClassFileReaderAccepted, RecordsBeyondTheirStorageGoOnTheHeapAndAllAreReleased)
{
    using S = RecordStorage;
    RecordStorage storage;
    // Room for the first record and not quite for the second.
    storage.reserve(S::slotSize<Exceptions_attribute>() + S::slotSize<Code_attribute>() - 8);
    auto* inside = storage.create<Exceptions_attribute>();
    auto* beyond = storage.create<Code_attribute>();
    EXPECT_TRUE(storage.holds(inside));
    EXPECT_FALSE(storage.holds(beyond));
    inside->exception_index_table = {1, 2, 3};
    beyond->code = QByteArray(100, 'b');

    // Cut to the room taken; the records are where moved() says, whether or not the C library
    // moved them to cut it (it does under ASan).
    const bool inPlace = storage.fit();
    inside = storage.moved(inside);
    beyond = storage.moved(beyond);
    EXPECT_TRUE(storage.holds(inside));
    EXPECT_FALSE(storage.holds(beyond));
    EXPECT_EQ(inside->exception_index_table, (QList<unsigned short>{1, 2, 3}))
        << (inPlace ? "in place" : "moved");
    EXPECT_EQ(beyond->code, QByteArray(100, 'b'));
    storage.release<attribute_info>(inside);
    storage.release<attribute_info>(beyond);
}

// ---------------------------------------------------------------------------------------------
// Malformed files: each is rejected with one message naming what is wrong and where.

struct Malformed
{
    const char* name;
    std::function<QByteArray()> bytes;
    // The expected last message; computed from the bytes when it depends on offsets.
    std::function<QString(const QByteArray&)> message;
};

QString fixed(const char* text)
{
    return QStringLiteral("Warning - ") + QString::fromUtf8(text);
}

// A file without a constant pool beyond its count: magic, version, count, then the given tail.
QByteArray headerWithPoolCount(quint16 count, const QByteArray& tail)
{
    return B::u4(0xCAFEBABE) + B::u2(0) + B::u2(52) + B::u2(count) + tail;
}

// Nests Code attributes depth levels deep, each holding the next.
QByteArray nestedCode(B& b, int depth)
{
    if (depth == 0)
        return b.code(B::u1(177));
    return b.code(B::u1(177), {nestedCode(b, depth - 1)});
}

const Malformed malformedFiles[] = {
    {"EmptyFile", [] { return QByteArray(); },
     [](const QByteArray&) { return fixed("Not a Java class file - bad magic (0x0)"); }},
    {"ZipArchive", [] { return QByteArray("PK\x03\x04\x14\x00\x08\x00", 8); },
     [](const QByteArray&) { return fixed("Not a Java class file - bad magic (0x504b0304)"); }},
    {"PoolTag2", [] { return headerWithPoolCount(2, B::u1(2) + B::u2(0)); },
     [](const QByteArray&) {
         return fixed("Class file format error - unknown constant pool tag (2)");
     }},
    {"PoolCountBeyondFile", [] { return headerWithPoolCount(1000, B::u1(1) + B::u2(0)); },
     [](const QByteArray&) {
         return fixed("Class file format error - constant_pool_count (1000) at offset 10 needs at "
                      "least 2997 bytes but only 3 are left in the class file");
     }},
    {"PoolEntryCut", [] { return headerWithPoolCount(2, B::u1(1) + B::u2(5) + "ab"); },
     [](const QByteArray&) {
         return fixed("Class file format error - CONSTANT_Utf8 bytes at offset 13 needs 5 bytes "
                      "but only 2 are left in the class file");
     }},
    {"EmptyPool",
     [] { return headerWithPoolCount(0, B::u2(0x21) + B::u2(1) + B::u2(0) + QByteArray(8, 0)); },
     [](const QByteArray&) {
         return fixed("Class file format error - this_class index (1) does not exist");
     }},
    {"EndsAfterPool",
     [] {
         B b;
         const QByteArray all = b.build();
         return all.left(all.size() - 14); // flags, this, super and the four counts are gone
     },
     [](const QByteArray& bytes) {
         return fixed(
                    "Class file format error - access_flags at offset %1 needs 2 bytes but only 0 "
                    "are left in the class file")
             .arg(bytes.size());
     }},
    {"ThisClassZero",
     [] {
         B b;
         b.thisClass = 0;
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - this_class index (0) does not exist");
     }},
    {"ThisClassNameIsInteger",
     [] {
         B b;
         b.thisClass = b.classEntryAt(b.integer(5));
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - this_class name index (5) does not point to "
                      "CONSTANT_Utf8 found CONSTANT_Integer");
     }},
    {"SuperClassBeyondPool",
     [] {
         B b;
         b.superClass = 999;
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - super_class index (999) does not exist");
     }},
    {"SecondInterfaceNamesUtf8",
     [] {
         B b;
         b.interfaces << b.classEntry("java/lang/Runnable") << 1;
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - interface[1] index (1) does not point to "
                      "CONSTANT_Class found CONSTANT_Utf8");
     }},
    {"InterfaceIndexIsPlaceholder",
     [] {
         B b;
         b.interfaces << quint16(b.longEntry(1) + 1);
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - interface[0] index (6) does not point to "
                      "CONSTANT_Class found CONSTANT_UNDEFINED!");
     }},
    {"FieldNameIsClass",
     [] {
         B b;
         b.fields << B::member(0, 2, b.utf8("I"));
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - Field[0] index (2) does not point to "
                      "CONSTANT_Utf8 found CONSTANT_Class");
     }},
    {"FieldNameIsLongPlaceholder",
     [] {
         B b;
         b.utf8("x");
         const quint16 placeholder = b.longEntry(1) + 1;
         b.fields << B::member(0, placeholder, 1);
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - Field[0] index (7) does not point to "
                      "CONSTANT_Utf8 found CONSTANT_UNDEFINED!");
     }},
    {"FieldDescriptorIsInteger",
     [] {
         B b;
         const quint16 name = b.utf8("f");
         b.fields << B::member(0, name, b.integer(3));
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - Field[0] descriptor index (6) does not point to "
                      "CONSTANT_Utf8 found CONSTANT_Integer");
     }},
    {"AttributeNameIsClass",
     [] {
         B b;
         b.classAttributes << b.attributeAt(2, B::u2(1));
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - Attr[0] index (2) does not point to "
                      "CONSTANT_Utf8 found CONSTANT_Class");
     }},
    {"NestedAttributeLabelsCountFromZero",
     [] {
         B b;
         const QByteArray content = B::u2(1) + B::u2(1) + B::u4(1) + B::u1(177) + B::u2(0) +
                                    B::u2(1) + b.attributeAt(0, "");
         b.addMethod(0x0009, "run", "()V",
                     {b.attribute("Synthetic", ""), b.attribute("Code", content)});
         return b.build();
     },
     [](const QByteArray&) {
         return fixed("Class file format error - Attr[0] index (0) does not exist");
     }},
    {"CodeLengthOf4GiB",
     [] {
         B b;
         const QByteArray content = B::u2(1) + B::u2(1) + B::u4(0xFFFFFFFF) + B::u1(177);
         b.addMethod(0x0009, "run", "()V", {b.attribute("Code", content)});
         return b.build();
     },
     [](const QByteArray& bytes) {
         return fixed("Class file format error - code at offset %1 needs 4294967295 bytes but "
                      "only 1 are left in the \"Code\" attribute")
             .arg(bytes.indexOf(B::u4(0xFFFFFFFF)) + 4);
     }},
    {"AttributeLengthOf4GiB",
     [] {
         B b;
         b.addMethod(0x0009, "run", "()V", {b.attribute("Code", B::u2(1), 0xFFFFFFFF)});
         return b.build();
     },
     [](const QByteArray& bytes) {
         const int at = bytes.indexOf(B::u4(0xFFFFFFFF)) + 4;
         return fixed("Class file format error - \"Code\" attribute at offset %1 needs 4294967295 "
                      "bytes but only %2 are left in the class file")
             .arg(at)
             .arg(bytes.size() - at);
     }},
    {"AttributeShorterThanItsContent",
     [] {
         B b;
         b.addField(0x0019, "F", "I", {b.attribute("ConstantValue", B::u2(1), 1)});
         return b.build();
     },
     [](const QByteArray& bytes) {
         return fixed("Class file format error - constant pool index at offset %1 needs 2 bytes "
                      "but only 1 are left in the \"ConstantValue\" attribute")
             .arg(bytes.indexOf(B::u4(1) + B::u2(1)) + 4);
     }},
    {"AttributeLongerThanItsContent",
     [] {
         B b;
         b.addField(0x0019, "F", "I", {b.attribute("ConstantValue", B::u4(0x00010000))});
         return b.build();
     },
     [](const QByteArray& bytes) {
         return fixed("Class file format error - \"ConstantValue\" attribute at offset %1 declares "
                      "4 bytes but its content takes 2")
             .arg(bytes.indexOf(B::u4(4) + B::u4(0x00010000)) - 2);
     }},
    {"LineNumberCountBeyondAttribute",
     [] {
         B b;
         const QByteArray lines = b.attribute("LineNumberTable", B::u2(1000) + B::u2(0) + B::u2(1));
         b.addMethod(0x0009, "run", "()V", {b.code(B::u1(177), {lines})});
         return b.build();
     },
     [](const QByteArray& bytes) {
         return fixed("Class file format error - line_number_table_length (1000) at offset %1 "
                      "needs at least 4000 bytes but only 4 are left in the \"LineNumberTable\" "
                      "attribute")
             .arg(bytes.size() - 6);
     }},
    {"CodeNestedTooDeep",
     [] {
         B b;
         b.addMethod(0x0009, "run", "()V", {nestedCode(b, 8)});
         return b.build();
     },
     [](const QByteArray& bytes) {
         // The innermost Code attribute (6 bytes of header, 13 of content) is the last thing
         // before the class's attribute count.
         const int innermost = bytes.size() - 2 - 19;
         return fixed("Class file format error - Code attribute at offset %1 is nested more than 8 "
                      "deep")
             .arg(innermost);
     }},
};

class ClassFileReaderMalformed : public testing::TestWithParam<Malformed>
{
};

TEST_P(ClassFileReaderMalformed, IsRejectedWithItsMessage)
{
    const QByteArray bytes = GetParam().bytes();
    const FilePtr f = parse(bytes);
    EXPECT_TRUE(f->checkLog.hasError);
    ASSERT_FALSE(f->checkLog.messages.isEmpty());
    EXPECT_EQ(f->checkLog.messages.last(), GetParam().message(bytes));
    // A file stopped by a structural fault never gets dependencies.
    EXPECT_TRUE(f->dependentClasses.isEmpty());
    EXPECT_TRUE(f->dependentMethods.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(, ClassFileReaderMalformed, testing::ValuesIn(malformedFiles),
                         [](const testing::TestParamInfo<Malformed>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------------------------
// Cut everywhere, and mutated: every prefix of a real class file is rejected with a message, and
// no byte sequence makes the reader or the views over an accepted file misbehave.

TEST(ClassFileReaderRobustness, EveryPrefixOfEveryFixtureIsRejected)
{
    for (const QString& path : fixtureClassPaths()) {
        SCOPED_TRACE(path.toStdString());
        const QByteArray bytes = readFixtureClass(path);
        for (int length = 0; length < bytes.size(); ++length) {
            const FilePtr f = parse(bytes.left(length));
            ASSERT_TRUE(f->checkLog.hasError) << "prefix of " << length << " bytes accepted";
            ASSERT_EQ(f->checkLog.messages.size(), 1) << length;
            const QString& message = f->checkLog.messages.first();
            ASSERT_TRUE(message.startsWith("Warning - Class file format error - ") ||
                        message == "Warning - Not a Java class file - bad magic (0x0)")
                << message.toStdString();
        }
    }
}

// Everything the views answer, so that a mutated file that is accepted is fully exercised.
void touchEverything(const JavaClassFile* file)
{
    JavaClass view(file);
    (void)view.getName().toString();
    (void)view.getParent().toString();
    (void)view.getPackage();
    for (const TypeDescriptor& t : view.getInterfaces())
        (void)t.toString();
    for (const Field* field : view.getFields())
        (void)(field->getName() + field->getType().toString());
    for (const Method* method : view.getMethods()) {
        (void)(method->getName() + method->getSignature().getParameterString());
        (void)method->getExceptions();
    }
    (void)view.getDependentClasses();
    (void)view.getDependentFields();
    (void)view.getDependentMethods();
}

TEST(ClassFileReaderRobustness, MutatedFixturesNeverMisbehave)
{
    std::mt19937 random(20240611); // fixed, so that a failure can be replayed
    int accepted = 0;
    for (const QString& path : fixtureClassPaths()) {
        const QByteArray original = readFixtureClass(path);
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = original;
            const int changes = 1 + int(random() % 4);
            for (int c = 0; c < changes; ++c) {
                const int at = int(random() % quint32(bytes.size()));
                bytes[at] = (random() % 2) ? char(random()) : char(0xFF);
            }
            std::unique_ptr<JavaClassFile> f(JavaClassFile::create(bytes));
            if (!f->checkLog.hasError) {
                ++accepted;
                touchEverything(f.release());
            }
        }
    }
    EXPECT_GT(accepted, 0) << "no mutation left a usable file; the test exercises too little";
}

} // namespace
