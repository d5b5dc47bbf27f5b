#include "ProtoClass.h"
#include "Field.h"
#include "JavaTypes.pb.h"
#include "Method.h"
#include "Permission.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

JClass sampleClass()
{
    JClass c;
    c.set_name("Lp/Sample;");
    c.set_package("p");
    c.set_parent("Lp/Base;");
    c.add_interfaces("Ljava/lang/Runnable;");
    c.add_interfaces("Ljava/io/Serializable;");
    c.set_abstract(true);
    c.set_final(true);
    c.set_static_(true);
    c.set_major_version(52);
    JField* f = c.add_fields();
    f->set_name("count");
    f->set_descriptor_("I");
    f->set_permission(JP_PROTECTED);
    f->set_static_(true);
    JField* g = c.add_fields();
    g->set_name("name");
    g->set_descriptor_("Ljava/lang/String;");
    g->set_final(true);
    JMethod* m = c.add_methods();
    m->set_name("run");
    m->set_descriptor_("(ILjava/lang/String;)V");
    m->set_permission(JP_PACKAGE);
    m->add_exceptions("Ljava/io/IOException;");
    m->add_exceptions("Ljava/lang/InterruptedException;");
    m->set_requireinspection(true);
    return c;
}

} // namespace

TEST(ProtoClassTest, AnswersFromItsMessage)
{
    const JClass message = sampleClass();
    ProtoClass c(message);

    EXPECT_EQ(c.getMajorVersion(), 52);
    EXPECT_EQ(c.getPackage(), "p");
    EXPECT_EQ(c.getName().descriptor, "Lp/Sample;");
    EXPECT_TRUE(c.isAbstract());
    EXPECT_FALSE(c.isInterface());
    EXPECT_TRUE(c.hasParent());
    EXPECT_EQ(c.getParent().descriptor, "Lp/Base;");
    ASSERT_EQ(c.getInterfaces().size(), 2);
    EXPECT_EQ(c.getInterfaces()[0].descriptor, "Ljava/lang/Runnable;");
    EXPECT_EQ(c.getInterfaces()[1].descriptor, "Ljava/io/Serializable;");
    EXPECT_EQ(c.getPermission(), Permission::PUBLIC);
    EXPECT_TRUE(c.isFinal());
    EXPECT_TRUE(c.isStatic());
    EXPECT_TRUE(c.getDependentClasses().isEmpty());
    EXPECT_TRUE(c.getDependentFields().isEmpty());
    EXPECT_TRUE(c.getDependentMethods().isEmpty());

    ASSERT_EQ(c.getFields().size(), 2);
    const Field* count = c.getFields()[0];
    EXPECT_EQ(count->getName(), "count");
    EXPECT_EQ(count->getType().descriptor, "I");
    EXPECT_EQ(count->getPermission(), Permission::PROTECTED);
    EXPECT_TRUE(count->isStatic());
    EXPECT_FALSE(count->isFinal());
    const Field* name = c.getFieldByName("name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->getPermission(), Permission::PUBLIC);
    EXPECT_TRUE(name->isFinal());

    ASSERT_EQ(c.getMethods().size(), 1);
    const Method* run = c.getMethods()[0];
    EXPECT_EQ(run->getName(), "run");
    EXPECT_EQ(run->getSignature().descriptor, "(ILjava/lang/String;)V");
    EXPECT_EQ(run->getSignature().parameters.size(), 2);
    EXPECT_EQ(run->getPermission(), Permission::PACKAGE);
    EXPECT_FALSE(run->isNative());
    EXPECT_TRUE(run->requireInspection());
    EXPECT_FALSE(run->signaturePolymorphic());
    const QList<TypeDescriptor> exceptions = run->getExceptions();
    ASSERT_EQ(exceptions.size(), 2);
    EXPECT_EQ(exceptions[0].descriptor, "Ljava/io/IOException;");
    EXPECT_EQ(exceptions[1].descriptor, "Ljava/lang/InterruptedException;");
}

TEST(ProtoClassTest, EmptyMessageReadsAsDefaults)
{
    const JClass message;
    ProtoClass c(message);
    EXPECT_EQ(c.getMajorVersion(), 0);
    EXPECT_EQ(c.getPackage(), "");
    EXPECT_EQ(c.getName().descriptor, "");
    EXPECT_EQ(c.getName().kind, -1);
    EXPECT_EQ(c.getPermission(), Permission::PUBLIC);
    EXPECT_FALSE(c.isFinal());
    EXPECT_FALSE(c.isStatic());
    EXPECT_FALSE(c.hasParent());
    EXPECT_EQ(c.getParent().kind, -1);
    EXPECT_TRUE(c.getInterfaces().isEmpty());
    EXPECT_TRUE(c.getFields().isEmpty());
    EXPECT_TRUE(c.getMethods().isEmpty());
}

TEST(ProtoClassTest, PresentButEmptyParentCounts)
{
    JClass message;
    message.set_parent("");
    ProtoClass c(message);
    EXPECT_TRUE(c.hasParent());
    EXPECT_EQ(c.getParent().kind, -1);
    EXPECT_EQ(c.getParent().descriptor, "");
}

TEST(ProtoClassTest, ClassPermissionIsPublicOrPackage)
{
    const struct
    {
        JPermission stored;
        const Permission* read;
    } rows[] = {{JP_PUBLIC, Permission::PUBLIC},
                {JP_PACKAGE, Permission::PACKAGE},
                {JP_PRIVATE, Permission::PACKAGE},
                {JP_PROTECTED, Permission::PACKAGE}};
    for (const auto& row : rows) {
        JClass message;
        message.set_permission(row.stored);
        EXPECT_EQ(ProtoClass(message).getPermission(), row.read) << row.stored;
    }
}

TEST(ProtoClassTest, MemberPermissionsKeepAllFourLevels)
{
    JClass message;
    for (JPermission p : {JP_PRIVATE, JP_PROTECTED, JP_PUBLIC, JP_PACKAGE}) {
        message.add_fields()->set_permission(p);
        message.add_methods()->set_permission(p);
    }
    message.add_fields();
    message.add_methods();
    ProtoClass c(message);
    const Permission* expected[] = {Permission::PRIVATE, Permission::PROTECTED, Permission::PUBLIC,
                                    Permission::PACKAGE, Permission::PUBLIC};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(c.getFields()[i]->getPermission(), expected[i]) << i;
        EXPECT_EQ(c.getMethods()[i]->getPermission(), expected[i]) << i;
    }
}

TEST(ProtoClassTest, SignaturePolymorphicMethodMatchesAnySignature)
{
    JClass message;
    JMethod* plain = message.add_methods();
    plain->set_name("invoke");
    plain->set_descriptor_("(I)V");
    JMethod* poly = message.add_methods();
    poly->set_name("invoke");
    poly->set_descriptor_("([Ljava/lang/Object;)Ljava/lang/Object;");
    poly->set_signature_polymorphic(true);
    ProtoClass c(message);

    EXPECT_EQ(c.getMethodByNameAndSignature("invoke", MethodSignature("(I)V")), c.getMethods()[0]);
    EXPECT_EQ(c.getMethodByNameAndSignature("invoke", MethodSignature("(JJ)Ljava/lang/String;")),
              c.getMethods()[1]);
    EXPECT_EQ(c.getMethodByNameAndSignature("other", MethodSignature("(I)V")), nullptr);
}

TEST(ProtoClassTest, StoredTextIsCutAtTheFirstZeroByteAndDecodedAsUtf8)
{
    JClass message;
    message.set_name(std::string("Lp/A;\0hidden", 12));
    message.set_package(std::string("\xc3\xa9t\xc3\xa9", 5));
    message.add_fields()->set_name(std::string("x\0y", 3));
    message.add_methods()->set_name(std::string("\0m", 2));
    // Bytes that are no UTF-8 at all still give some text.
    message.add_interfaces("L\xff\xfe;");
    ProtoClass c(message);

    EXPECT_EQ(c.getName().descriptor, "Lp/A;");
    EXPECT_EQ(c.getPackage(), QString::fromUtf8("\xc3\xa9t\xc3\xa9"));
    EXPECT_EQ(c.getFields()[0]->getName(), "x");
    EXPECT_EQ(c.getMethods()[0]->getName(), "");
    EXPECT_EQ(c.getInterfaces().size(), 1);
    EXPECT_EQ(ProtoClass::text("L\xff;").size(), 3);
}

TEST(ProtoClassTest, OutlivesItsMessages)
{
    auto message = std::make_unique<JClass>(sampleClass());
    std::unique_ptr<Class> c(new ProtoClass(*message));
    EXPECT_EQ(c->getFields().size(), 2);
    message.reset();
    // Destroying the class must not read the messages that are already gone.
    c.reset();
}
