// The class-file-backed views: what JavaClass, JavaField and JavaMethod answer for real classes.

#include "JavaClass.h"
#include "ClassFileBuilder.h"
#include "Field.h"
#include "JavaClassFile.h"
#include "JavaFixtureSupport.h"
#include "Method.h"
#include "Permission.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using B = ClassFileBuilder;

std::unique_ptr<JavaClass> load(const QByteArray& bytes)
{
    JavaClassFile* file = JavaClassFile::create(bytes);
    EXPECT_FALSE(file->checkLog.hasError) << file->checkLog.messages.join('\n').toStdString();
    return std::make_unique<JavaClass>(file);
}

std::unique_ptr<JavaClass> fixture(const char* path)
{
    return load(readFixtureClass(path));
}

QStringList names(const QList<TypeDescriptor>& types)
{
    QStringList out;
    for (const TypeDescriptor& t : types)
        out << t.descriptor;
    return out;
}

TEST(JavaClassView, AFinalClassWithInterfaces)
{
    const auto c = fixture("fixtures/Members.class");
    EXPECT_EQ(c->getMajorVersion(), 52);
    EXPECT_EQ(c->getName().descriptor, "Lfixtures/Members;");
    EXPECT_EQ(c->getPackage(), "fixtures");
    EXPECT_EQ(c->getPermission(), Permission::PUBLIC);
    EXPECT_TRUE(c->isFinal());
    EXPECT_FALSE(c->isAbstract());
    EXPECT_FALSE(c->isInterface());
    EXPECT_FALSE(c->isStatic());
    EXPECT_TRUE(c->hasParent());
    EXPECT_EQ(c->getParent().descriptor, "Ljava/lang/Object;");
    EXPECT_EQ(names(c->getInterfaces()),
              (QStringList{"Lfixtures/Greeter;", "Ljava/io/Serializable;"}));
}

TEST(JavaClassView, FieldsInFileOrderWithTheirAccess)
{
    const auto c = fixture("fixtures/Members.class");
    const QList<Field*>& fields = c->getFields();
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0]->getName(), "LIMIT");
    EXPECT_EQ(fields[0]->getType().descriptor, "I");
    EXPECT_EQ(fields[0]->getPermission(), Permission::PUBLIC);
    EXPECT_TRUE(fields[0]->isFinal());
    EXPECT_TRUE(fields[0]->isStatic());
    EXPECT_EQ(fields[1]->getName(), "label");
    EXPECT_EQ(fields[1]->getType().toString(), "java.lang.String");
    EXPECT_EQ(fields[1]->getPermission(), Permission::PROTECTED);
    EXPECT_FALSE(fields[1]->isStatic());
    EXPECT_EQ(fields[2]->getPermission(), Permission::PRIVATE);
    EXPECT_EQ(fields[3]->getPermission(), Permission::PACKAGE);
    EXPECT_FALSE(fields[3]->isFinal());
    EXPECT_EQ(c->getFieldByName("total"), fields[2]);
    EXPECT_EQ(c->getFieldByName("Total"), nullptr);
}

TEST(JavaClassView, OverloadsAreToldApartByTheirDescriptor)
{
    const auto c = fixture("fixtures/Members.class");
    const QList<Method*> adds = c->getMethodsByName("add");
    ASSERT_EQ(adds.size(), 2);
    EXPECT_EQ(adds[0]->getSignature().descriptor, "(I)V");
    EXPECT_EQ(adds[1]->getSignature().descriptor, "(J)V");
    EXPECT_EQ(c->getMethodByNameAndSignature("add", MethodSignature("(J)V")), adds[1]);
    EXPECT_EQ(c->getMethodByNameAndSignature("add", MethodSignature("(D)V")), nullptr);

    const Method* create =
        c->getMethodByNameAndSignature("create", MethodSignature("()Lfixtures/Members;"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->getPermission(), Permission::PROTECTED);
    EXPECT_TRUE(create->isStatic());
    const Method* scaled = c->getMethodsByName("scaled").value(0);
    ASSERT_NE(scaled, nullptr);
    EXPECT_TRUE(scaled->isFinal());
    EXPECT_EQ(scaled->getPermission(), Permission::PACKAGE);
    EXPECT_EQ(c->getMethodsByName("reset").value(0)->getPermission(), Permission::PRIVATE);
    for (const Method* m : c->getMethods()) {
        EXPECT_FALSE(m->requireInspection());
        EXPECT_FALSE(m->signaturePolymorphic());
    }
}

TEST(JavaClassView, InterfacesAndPackageClasses)
{
    const auto greeter = fixture("fixtures/Greeter.class");
    EXPECT_TRUE(greeter->isInterface());
    EXPECT_TRUE(greeter->isAbstract());
    EXPECT_EQ(greeter->getPermission(), Permission::PUBLIC);

    const auto shape = fixture("fixtures/Shape.class");
    EXPECT_TRUE(shape->isAbstract());
    EXPECT_FALSE(shape->isInterface());
    EXPECT_EQ(shape->getPermission(), Permission::PACKAGE);
}

TEST(JavaClassView, NestedClassesAreNeverStatic)
{
    const auto nested = fixture("fixtures/Outer$Nested.class");
    EXPECT_FALSE(nested->isStatic());
    EXPECT_EQ(nested->getName().toString(), "fixtures.Outer$Nested");
    EXPECT_EQ(nested->getPackage(), "fixtures");
}

TEST(JavaClassView, DeclaredExceptionsAndNativeMethods)
{
    const auto failures = fixture("fixtures/Failures.class");
    const Method* risky = failures->getMethodsByName("risky").value(0);
    ASSERT_NE(risky, nullptr);
    EXPECT_EQ(names(risky->getExceptions()),
              (QStringList{"Lfixtures/Failures$FixtureException;", "Ljava/io/IOException;"}));
    EXPECT_TRUE(failures->getMethodsByName("safe").value(0)->getExceptions().isEmpty());

    const auto natives = fixture("fixtures/NativeCalls.class");
    EXPECT_TRUE(natives->getMethodsByName("nativeAdd").value(0)->isNative());
    EXPECT_TRUE(natives->getMethodsByName("nativeAdd").value(0)->isStatic());
    EXPECT_TRUE(natives->getMethodsByName("reset").value(0)->isNative());
    EXPECT_FALSE(natives->getMethodsByName("twice").value(0)->isNative());
}

TEST(JavaClassView, AClassWithoutFieldsOrParent)
{
    const auto none = fixture("NoPackage.class");
    EXPECT_TRUE(none->getFields().isEmpty());
    EXPECT_EQ(none->getFieldByName("value"), nullptr);
    EXPECT_EQ(none->getPackage(), "");

    B b("java/lang/Object", "");
    b.accessFlags = 0x0000;
    const auto root = load(b.build());
    EXPECT_FALSE(root->hasParent());
    EXPECT_EQ(root->getParent().kind, -1);
    EXPECT_EQ(root->getPermission(), Permission::PACKAGE);
    EXPECT_FALSE(root->isFinal());
}

} // namespace
