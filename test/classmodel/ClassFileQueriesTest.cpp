// The class-file queries: names, types, flags and permissions resolved from the constant pool,
// with safe answers for indexes that do not resolve.

#include "ClassFileBuilder.h"
#include "JavaClassFile.h"
#include "JavaFixtureSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using B = ClassFileBuilder;
using FilePtr = std::unique_ptr<JavaClassFile>;

FilePtr parse(const QByteArray& bytes)
{
    return FilePtr(JavaClassFile::create(bytes));
}

const CONSTANT_Fieldref_info& refAt(const JavaClassFile& f, int index)
{
    return *static_cast<const CONSTANT_Fieldref_info*>(f.constant_pool.at(index - 1));
}

TEST(ClassFileQueries, ClassIdentityOfARealClass)
{
    const FilePtr f = parse(readFixtureClass("fixtures/Members.class"));
    EXPECT_EQ(f->getName(), "fixtures/Members");
    EXPECT_EQ(f->getTypeDescriptor().descriptor, "Lfixtures/Members;");
    EXPECT_EQ(f->getPackage(), "fixtures");
    EXPECT_EQ(f->getParentName(), "java/lang/Object");
    EXPECT_EQ(f->getParentTypeDescriptor().descriptor, "Ljava/lang/Object;");
    ASSERT_EQ(f->interfaces.size(), 2);
    EXPECT_EQ(f->getInterfaceName(f->interfaces[0]), "fixtures/Greeter");
    EXPECT_EQ(f->getInterfaceTypeDescriptor(f->interfaces[1]).descriptor, "Ljava/io/Serializable;");
}

TEST(ClassFileQueries, PackageOfNestedUnnamedAndDeepClasses)
{
    EXPECT_EQ(parse(readFixtureClass("fixtures/Outer$Nested.class"))->getPackage(), "fixtures");
    EXPECT_EQ(parse(readFixtureClass("NoPackage.class"))->getPackage(), "");
    EXPECT_EQ(parse(B("a/b/C").build())->getPackage(), "a.b");
    EXPECT_EQ(parse(B("Foo").build())->getPackage(), "");
}

TEST(ClassFileQueries, AClassWithoutSuperclass)
{
    const FilePtr f = parse(B("java/lang/Object", "").build());
    ASSERT_FALSE(f->checkLog.hasError);
    EXPECT_EQ(f->super_class, 0);
    EXPECT_EQ(f->getParentName(), "");
    EXPECT_EQ(f->getParentTypeDescriptor().kind, -1);
    EXPECT_EQ(f->getParentTypeDescriptor().descriptor, "");
}

TEST(ClassFileQueries, MemberPermissionsTakeTheFirstFlagThatMatches)
{
    B b;
    b.addField(0x0005, "publicAndProtected", "I");
    b.addField(0x0006, "protectedAndPrivate", "I");
    b.addField(0x0002, "secret", "I");
    b.addField(0x0000, "plain", "I");
    b.addField(0x0018, "constant", "J");
    b.addMethod(0x0108, "nat", "()V");
    b.addMethod(0x0414, "abs", "()V");
    const FilePtr f = parse(b.build());
    ASSERT_FALSE(f->checkLog.hasError) << f->checkLog.messages.join('\n').toStdString();
    EXPECT_EQ(f->getFieldPermission(f->fields[0]), 2);
    EXPECT_EQ(f->getFieldPermission(f->fields[1]), 1);
    EXPECT_EQ(f->getFieldPermission(f->fields[2]), 0);
    EXPECT_EQ(f->getFieldPermission(f->fields[3]), 3);
    EXPECT_TRUE(f->isFieldFinal(f->fields[4]));
    EXPECT_TRUE(f->isFieldStatic(f->fields[4]));
    EXPECT_FALSE(f->isFieldFinal(f->fields[3]));
    EXPECT_EQ(f->getFieldTypeDescriptor(f->fields[4]).descriptor, "J");

    EXPECT_TRUE(f->isMethodNative(f->methods[0]));
    EXPECT_TRUE(f->isMethodStatic(f->methods[0]));
    EXPECT_FALSE(f->isMethodFinal(f->methods[0]));
    EXPECT_EQ(f->getMethodPermission(f->methods[0]), 3);
    EXPECT_EQ(f->getMethodPermission(f->methods[1]), 1);
    EXPECT_TRUE(f->isMethodFinal(f->methods[1]));
    EXPECT_FALSE(f->isMethodNative(f->methods[1]));
    // Neither a native nor an abstract method has code.
    EXPECT_EQ(f->getMethodCodeAttr(f->methods[0]), nullptr);
    EXPECT_EQ(f->getMethodCodeAttr(f->methods[1]), nullptr);
}

TEST(ClassFileQueries, DeclaredExceptionsPassOverUnusableIndexes)
{
    B b;
    const quint16 io = b.classEntry("java/io/IOException");
    const quint16 text = b.utf8("not a class");
    const quint16 badClass = b.classEntryAt(900);
    const QByteArray first =
        b.attribute("Exceptions", B::u2(4) + B::u2(0) + B::u2(io) + B::u2(text) + B::u2(badClass));
    const quint16 arrays = b.classEntry("[Ljava/lang/Error;");
    const QByteArray second = b.attribute("Exceptions", B::u2(2) + B::u2(700) + B::u2(arrays));
    b.addMethod(0x0401, "m", "()V", {first, second});
    const FilePtr f = parse(b.build());
    ASSERT_FALSE(f->checkLog.hasError) << f->checkLog.messages.join('\n').toStdString();
    EXPECT_EQ(f->getMethodExceptions(f->methods[0]),
              (QList<QString>{"java/io/IOException", "[Ljava/lang/Error;"}));
    const QList<TypeDescriptor> types = f->getMethodExceptionsTypeDescriptors(f->methods[0]);
    ASSERT_EQ(types.size(), 2);
    EXPECT_EQ(types[0].descriptor, "Ljava/io/IOException;");
    EXPECT_EQ(types[1].descriptor, "[Ljava/lang/Error;");
}

TEST(ClassFileQueries, MemberReferences)
{
    B b;
    const quint16 clone = b.methodref("[Ljava/lang/Object;", "clone", "()Ljava/lang/Object;");
    const quint16 hash = b.methodref("java/lang/Object", "hashCode", "()I");
    const quint16 out = b.fieldref("java/lang/System", "out", "Ljava/io/PrintStream;");
    const quint16 run = b.interfaceMethodref("java/lang/Runnable", "run", "()V");
    const FilePtr f = parse(b.build());
    ASSERT_FALSE(f->checkLog.hasError) << f->checkLog.messages.join('\n').toStdString();

    EXPECT_EQ(f->getMethodParentClassName(refAt(*f, clone)), "[Ljava/lang/Object;");
    EXPECT_EQ(f->getMethodParentClassName(refAt(*f, hash)), "Ljava/lang/Object;");
    EXPECT_EQ(f->getMethodName(refAt(*f, hash)), "hashCode");
    EXPECT_EQ(f->getMethodSignature(refAt(*f, hash)).descriptor, "()I");
    EXPECT_EQ(f->getFieldParentClassName(refAt(*f, out)), "Ljava/lang/System;");
    EXPECT_EQ(f->getFieldName(refAt(*f, out)), "out");
    EXPECT_EQ(f->getFieldTypeDescriptor(refAt(*f, out)).descriptor, "Ljava/io/PrintStream;");

    ASSERT_EQ(f->getMethodRefInfos().size(), 2);
    EXPECT_EQ(f->getMethodRefInfos()[0], &refAt(*f, clone));
    EXPECT_EQ(f->getMethodRefInfos()[1], &refAt(*f, hash));
    ASSERT_EQ(f->getFieldRefInfos().size(), 1);
    ASSERT_EQ(f->getInterfaceMethodRefInfos().size(), 1);
    EXPECT_EQ(f->getInterfaceMethodRefInfos()[0], &refAt(*f, run));
}

TEST(ClassFileQueries, UnresolvableReferencesAnswerInvalidOrEmpty)
{
    B b;
    const quint16 natIsClass = b.refAt(9, 2, 2); // name and type index names a Class entry
    const quint16 beyond = b.refAt(10, 600, 601);
    const quint16 nat = b.nameAndTypeAt(2, 700); // name is a Class entry, descriptor beyond
    const quint16 badParts = b.refAt(10, b.classEntryAt(2), nat);
    const FilePtr f = parse(b.build());
    ASSERT_TRUE(f->checkLog.hasError); // the dependency scan reports them; the queries do not

    EXPECT_EQ(f->getFieldName(refAt(*f, natIsClass)), "INVALID");
    EXPECT_EQ(f->getFieldTypeDescriptor(refAt(*f, natIsClass)).descriptor, "");
    EXPECT_EQ(f->getFieldParentClassName(refAt(*f, natIsClass)), "Ltest/Sample;");
    EXPECT_EQ(f->getMethodParentClassName(refAt(*f, beyond)), "INVALID");
    EXPECT_EQ(f->getMethodName(refAt(*f, beyond)), "INVALID");
    EXPECT_EQ(f->getMethodSignature(refAt(*f, beyond)).descriptor, "");
    EXPECT_EQ(f->getMethodParentClassName(refAt(*f, badParts)), "INVALID");
    EXPECT_EQ(f->getMethodName(refAt(*f, badParts)), "INVALID");
    EXPECT_EQ(f->getMethodSignature(refAt(*f, badParts)).descriptor, "");
}

TEST(ClassFileQueries, AttributeNamesAndClassEntriesThatDoNotResolve)
{
    B b;
    const quint16 badClass = b.classEntryAt(800);
    const quint16 intClass = b.classEntryAt(b.integer(1));
    b.interfaces << badClass;
    const FilePtr f = parse(b.build());
    ASSERT_FALSE(f->checkLog.hasError);

    attribute_info attribute;
    EXPECT_FALSE(f->isAttr(nullptr, "Code"));
    attribute.attribute_name_index = 0;
    EXPECT_FALSE(f->isAttr(&attribute, ""));
    attribute.attribute_name_index = 999;
    EXPECT_FALSE(f->isAttr(&attribute, ""));
    attribute.attribute_name_index = 2; // a Class entry
    EXPECT_FALSE(f->isAttr(&attribute, ""));
    attribute.attribute_name_index = 1;
    EXPECT_TRUE(f->isAttr(&attribute, "test/Sample"));
    EXPECT_FALSE(f->isAttr(&attribute, "test/sample"));

    // An interface entry whose name does not resolve reads as the empty name.
    EXPECT_EQ(f->getInterfaceName(f->interfaces[0]), "");
    EXPECT_EQ(f->getInterfaceTypeDescriptor(f->interfaces[0]).descriptor, "L;");
    EXPECT_EQ(f->getInterfaceName(nullptr), "");
    EXPECT_EQ(f->getInterfaceName(f->constant_pool[0]), ""); // a Utf8 entry
    EXPECT_EQ(f->getClassTypeDescriptor(
                   *static_cast<const CONSTANT_Class_info*>(f->constant_pool[intClass - 1]))
                  .descriptor,
              "");
}

TEST(ClassFileQueries, ARejectedFileStillAnswersSafely)
{
    // Cut right after the constant pool: this_class and everything after it are missing.
    B b;
    QByteArray bytes = b.build();
    bytes.chop(14);
    const FilePtr f = parse(bytes);
    ASSERT_TRUE(f->checkLog.hasError);
    EXPECT_EQ(f->this_class, 0);
    EXPECT_EQ(f->getName(), "");
    EXPECT_EQ(f->getParentName(), "");
    EXPECT_EQ(f->getPackage(), "");
    EXPECT_EQ(f->getFieldName(static_cast<const field_info*>(nullptr)), "");
    EXPECT_EQ(f->getMethodDescriptor(nullptr), "");
    EXPECT_EQ(f->getMethodExceptions(nullptr), QList<QString>());
    EXPECT_EQ(f->getMethodCodeAttr(nullptr), nullptr);
}

} // namespace
