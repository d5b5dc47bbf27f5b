#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"
#include "Field.h"
#include "GoldTestSupport.h"
#include "JavaTypes.pb.h"
#include "Method.h"
#include "Permission.h"
#include "Pretest.h"
#include "ProtoClass.h"
#include "ProtoClassLoader.h"
#include "ProtoIO.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString classesDir = VELM_GOLD_CLASSES;
const QString rootDir = VELM_GOLD_ROOT;

Classpath classpathOf(const QString& text)
{
    Classpath classpath;
    classpath.append(text);
    return classpath;
}

std::unique_ptr<JClasses> readGold(const QString& path)
{
    JClasses* read = nullptr;
    ProtoIO::read(read, path);
    return std::unique_ptr<JClasses>(read);
}

const JClass* findClass(const JClasses& all, const QString& name)
{
    for (const JClass& c : all.classes()) {
        if (ProtoClass::text(c.name()) == name)
            return &c;
    }
    return nullptr;
}

QStringList classNames(const JClasses& all)
{
    QStringList names;
    for (const JClass& c : all.classes())
        names << ProtoClass::text(c.name());
    return names;
}

QStringList fieldNames(const JClass& c)
{
    QStringList names;
    for (const JField& f : c.fields())
        names << ProtoClass::text(f.name());
    return names;
}

QStringList methodKeys(const JClass& c)
{
    QStringList keys;
    for (const JMethod& m : c.methods())
        keys << ProtoClass::text(m.name()) + ProtoClass::text(m.descriptor_());
    return keys;
}

bool isApi(const Permission* p)
{
    return *p == *Permission::PUBLIC || *p == *Permission::PROTECTED;
}

QStringList descriptors(const QList<TypeDescriptor>& types)
{
    QStringList texts;
    for (const TypeDescriptor& t : types)
        texts << t.descriptor;
    return texts;
}

// The gold view of a class must answer like the class-file view it was built from, reduced to
// the API's members.
void expectSameApi(const Class& java, const Class& gold)
{
    const QString name = java.getName().descriptor;
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(gold.getName().descriptor, name);
    EXPECT_EQ(gold.getParent().descriptor, java.getParent().descriptor);
    EXPECT_TRUE(gold.hasParent());
    EXPECT_EQ(descriptors(gold.getInterfaces()), descriptors(java.getInterfaces()));
    EXPECT_EQ(gold.getPermission(), java.getPermission());
    EXPECT_EQ(gold.isAbstract(), java.isAbstract());
    EXPECT_EQ(gold.isInterface(), java.isInterface());
    EXPECT_EQ(gold.isFinal(), java.isFinal());
    EXPECT_EQ(gold.isStatic(), false);
    EXPECT_EQ(gold.getMajorVersion(), java.getMajorVersion());
    EXPECT_EQ(gold.getPackage(), "");
    EXPECT_TRUE(gold.getDependentClasses().isEmpty());

    QList<const Field*> javaFields;
    for (const Field* f : java.getFields()) {
        if (isApi(f->getPermission()) &&
            !f->getName().contains(QRegularExpression("this\\$[0-9]+$")))
            javaFields << f;
    }
    ASSERT_EQ(gold.getFields().size(), javaFields.size());
    for (int i = 0; i < javaFields.size(); ++i) {
        const Field* g = gold.getFields()[i];
        EXPECT_EQ(g->getName(), javaFields[i]->getName());
        EXPECT_EQ(g->getType().descriptor, javaFields[i]->getType().descriptor);
        EXPECT_EQ(g->getPermission(), javaFields[i]->getPermission());
        EXPECT_EQ(g->isFinal(), javaFields[i]->isFinal());
        EXPECT_EQ(g->isStatic(), javaFields[i]->isStatic());
    }

    QList<const Method*> javaMethods;
    for (const Method* m : java.getMethods()) {
        if (isApi(m->getPermission()) &&
            !m->getName().contains(QRegularExpression("access\\$[0-9]+$")))
            javaMethods << m;
    }
    ASSERT_EQ(gold.getMethods().size(), javaMethods.size());
    for (int i = 0; i < javaMethods.size(); ++i) {
        const Method* g = gold.getMethods()[i];
        EXPECT_EQ(g->getName(), javaMethods[i]->getName());
        EXPECT_EQ(g->getSignature().descriptor, javaMethods[i]->getSignature().descriptor);
        EXPECT_EQ(g->getPermission(), javaMethods[i]->getPermission());
        EXPECT_EQ(g->isFinal(), javaMethods[i]->isFinal());
        EXPECT_EQ(g->isStatic(), javaMethods[i]->isStatic());
        EXPECT_FALSE(g->isNative());
        EXPECT_FALSE(g->requireInspection());
        EXPECT_FALSE(g->signaturePolymorphic());
        EXPECT_EQ(descriptors(g->getExceptions()), descriptors(javaMethods[i]->getExceptions()));
    }
}

class GoldBuildTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    LogCapture log;
};

} // namespace

TEST_F(GoldBuildTest, WritesPublicNonAnonymousClassesInKeyOrder)
{
    Pretest::createGold(classpathOf(classesDir), path("api.javagold"));
    const auto gold = readGold(path("api.javagold"));
    // Left out: p.Gen$2 (named like an anonymous class), the package-private p.Hidden,
    // p.Outer$1, p.Outer$1Local and the private nested p.Outer$Secret. The protected nested
    // class is public in its class file.
    EXPECT_EQ(classNames(*gold), (QStringList{"Lp/Gen$2Local;", "Lp/Names;", "Lp/Outer$Member;",
                                              "Lp/Outer$Nested;", "Lp/Outer$Shielded;", "Lp/Outer;",
                                              "Lp/Polygon;", "Lp/Shape;", "Lp/Square;"}));
    EXPECT_TRUE(log.at(Logger::L_WARN).isEmpty());
    EXPECT_TRUE(log.at(Logger::L_ERROR).isEmpty());
}

TEST_F(GoldBuildTest, KeepsOnlyWhatUsersOfTheApiSee)
{
    Pretest::createGold(classpathOf(classesDir), path("api.javagold"));
    const auto gold = readGold(path("api.javagold"));

    // Private field, package method and synthetic this$0 all go; the protected constructor,
    // which takes the outer instance, stays.
    const JClass* member = findClass(*gold, "Lp/Outer$Member;");
    ASSERT_NE(member, nullptr);
    EXPECT_TRUE(fieldNames(*member).isEmpty());
    EXPECT_EQ(methodKeys(*member), QStringList{"<init>(Lp/Outer;)V"});
    EXPECT_EQ(member->methods(0).permission(), JP_PROTECTED);

    const JClass* outer = findClass(*gold, "Lp/Outer;");
    ASSERT_NE(outer, nullptr);
    EXPECT_EQ(ProtoClass::text(outer->parent()), "Ljava/lang/Object;");
    EXPECT_EQ(outer->interfaces_size(), 2);
    EXPECT_EQ(outer->permission(), JP_PUBLIC);
    EXPECT_TRUE(outer->has_permission());
    EXPECT_EQ(outer->major_version(), 52);
    EXPECT_FALSE(outer->has_filename());
    EXPECT_FALSE(outer->has_package());
    EXPECT_FALSE(outer->has_static_());
    EXPECT_EQ(fieldNames(*outer), (QStringList{"NAME", "count"}));
    EXPECT_EQ(outer->fields(0).permission(), JP_PROTECTED);
    EXPECT_TRUE(outer->fields(0).final());
    EXPECT_TRUE(outer->fields(0).static_());
    // The synthetic accessors access$008 and access$100 are package-private anyway.
    EXPECT_EQ(methodKeys(*outer),
              (QStringList{"<init>()V", "<init>(I)V", "locked()V", "nativeCall()I", "run()V",
                           "anonymous()Ljava/lang/Runnable;", "local()Ljava/lang/Object;"}));
    const JMethod& withThrows = outer->methods(1);
    ASSERT_EQ(withThrows.exceptions_size(), 2);
    EXPECT_EQ(withThrows.exceptions(0), "Ljava/io/IOException;");
    EXPECT_EQ(withThrows.exceptions(1), "Ljava/lang/InterruptedException;");
    EXPECT_TRUE(outer->methods(2).final());
    EXPECT_TRUE(outer->methods(3).static_());
    for (const JMethod& m : outer->methods()) {
        EXPECT_FALSE(m.has_requireinspection());
        EXPECT_FALSE(m.has_signature_polymorphic());
    }

    // Static initialisers are package-private methods like any other.
    const JClass* square = findClass(*gold, "Lp/Square;");
    ASSERT_NE(square, nullptr);
    EXPECT_TRUE(square->final());
    EXPECT_FALSE(methodKeys(*square).contains("<clinit>()V"));

    const JClass* shape = findClass(*gold, "Lp/Shape;");
    ASSERT_NE(shape, nullptr);
    EXPECT_TRUE(shape->interface());
    EXPECT_TRUE(shape->abstract());
    EXPECT_EQ(ProtoClass::text(shape->parent()), "Ljava/lang/Object;");
}

TEST_F(GoldBuildTest, DropsGeneratedLookingNamesOnlyWhenTheyEndInDigits)
{
    Pretest::createGold(classpathOf(classesDir), path("api.javagold"));
    const auto gold = readGold(path("api.javagold"));
    const JClass* names = findClass(*gold, "Lp/Names;");
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(fieldNames(*names), (QStringList{"this$0x", "this$"}));
    EXPECT_EQ(methodKeys(*names), (QStringList{"<init>()V", "access$000x()V", "access$()V"}));
}

TEST_F(GoldBuildTest, ClassWithoutSuperclassGetsAnEmptyParent)
{
    Pretest::createGold(classpathOf(rootDir), path("root.javagold"));
    const auto gold = readGold(path("root.javagold"));
    ASSERT_EQ(gold->classes_size(), 1);
    EXPECT_EQ(gold->classes(0).name(), "Ljava/lang/Object;");
    EXPECT_TRUE(gold->classes(0).has_parent());
    EXPECT_EQ(gold->classes(0).parent(), "");
}

TEST_F(GoldBuildTest, RoundTripGivesTheSameViews)
{
    Pretest::createGold(classpathOf(classesDir), path("api.javagold"));
    std::unique_ptr<ClassLoader> java(ClassLoader::create(classpathOf(classesDir)));
    std::unique_ptr<ClassLoader> gold(ClassLoader::create(classpathOf(path("api.javagold"))));
    gold->loadAllClasses();
    const QMap<QString, Class*> goldClasses = gold->getAllClasses();
    ASSERT_EQ(goldClasses.size(), 9);
    for (auto it = goldClasses.constBegin(); it != goldClasses.constEnd(); ++it) {
        const Class* javaClass = java->loadClass(it.key());
        ASSERT_NE(javaClass, nullptr) << it.key().toStdString();
        expectSameApi(*javaClass, *it.value());
    }

    // Building again from the gold file itself changes nothing.
    Pretest::createGold(classpathOf(path("api.javagold")), path("again.javagold"));
    EXPECT_EQ(readGold(path("again.javagold"))->SerializeAsString(),
              readGold(path("api.javagold"))->SerializeAsString());
}

TEST_F(GoldBuildTest, GoldClassesOnTheClasspathAreFilteredAndLoseTheirReviewMarks)
{
    JClasses source;
    JClass* api = source.add_classes();
    api->set_name("Lq/Api;");
    api->set_package("q");
    api->set_filename("Api.class");
    api->set_static_(true);
    JMethod* invoke = api->add_methods();
    invoke->set_name("invoke");
    invoke->set_descriptor_("([Ljava/lang/Object;)Ljava/lang/Object;");
    invoke->set_permission(JP_PROTECTED);
    invoke->add_exceptions("Ljava/lang/Throwable;");
    invoke->set_requireinspection(true);
    invoke->set_signature_polymorphic(true);
    invoke->set_final(true);
    api->add_methods()->set_permission(JP_PACKAGE);
    api->add_methods()->set_permission(JP_PRIVATE);
    JField* field = api->add_fields();
    field->set_name("f");
    field->set_descriptor_("I");
    field->set_permission(JP_PUBLIC);
    api->add_fields()->set_permission(JP_PRIVATE);
    // Without a parent in the source, the written class still gets an empty one.
    JClass* privateClass = source.add_classes();
    privateClass->set_name("Lq/Private;");
    privateClass->set_permission(JP_PRIVATE);
    ProtoIO::write(&source, path("source.javagold"));

    Pretest::createGold(classpathOf(path("source.javagold")), path("out.javagold"));
    const auto gold = readGold(path("out.javagold"));
    ASSERT_EQ(gold->classes_size(), 1);
    const JClass& written = gold->classes(0);
    EXPECT_EQ(written.name(), "Lq/Api;");
    EXPECT_FALSE(written.has_package());
    EXPECT_FALSE(written.has_filename());
    EXPECT_FALSE(written.has_static_());
    EXPECT_TRUE(written.has_parent());
    EXPECT_EQ(written.parent(), "");
    ASSERT_EQ(written.methods_size(), 1);
    EXPECT_EQ(written.methods(0).permission(), JP_PROTECTED);
    EXPECT_TRUE(written.methods(0).final());
    EXPECT_EQ(written.methods(0).exceptions_size(), 1);
    EXPECT_FALSE(written.methods(0).has_requireinspection());
    EXPECT_FALSE(written.methods(0).has_signature_polymorphic());
    EXPECT_EQ(fieldNames(written), QStringList{"f"});
}

TEST_F(GoldBuildTest, AllModeKeepsEveryMember)
{
    std::unique_ptr<ClassLoader> java(ClassLoader::create(classpathOf(classesDir)));
    const Class* outer = java->loadClass("Lp/Outer;");
    ASSERT_NE(outer, nullptr);
    JClass all;
    ProtoIO::setJClass(&all, *outer, ProtoIO::SM_ALL);
    EXPECT_EQ(all.fields_size(), outer->getFields().size());
    EXPECT_EQ(all.methods_size(), outer->getMethods().size());
    EXPECT_TRUE(methodKeys(all).contains("access$100(Lp/Outer;)V"));
    EXPECT_EQ(all.fields(0).permission(), JP_PRIVATE);
    EXPECT_EQ(all.fields(1).permission(), JP_PACKAGE);

    // Conversion appends: a second call doubles the members and keeps the scalar fields.
    ProtoIO::setJClass(&all, *outer, ProtoIO::SM_API);
    EXPECT_EQ(all.fields_size(), outer->getFields().size() + 2);
    EXPECT_EQ(all.interfaces_size(), 4);
}

TEST_F(GoldBuildTest, ClassOfSeveralEntriesIsWrittenOncePerEntry)
{
    Pretest::createGold(classpathOf(rootDir + ":" + rootDir), path("twice.javagold"));
    const auto gold = readGold(path("twice.javagold"));
    ASSERT_EQ(gold->classes_size(), 2);
    EXPECT_EQ(gold->classes(0).SerializeAsString(), gold->classes(1).SerializeAsString());
}

TEST_F(GoldBuildTest, NothingToWriteIsAnErrorAndWritesNoFile)
{
    EXPECT_FALSE(Pretest::createGold(Classpath(), path("none.javagold")));
    EXPECT_FALSE(QFileInfo::exists(path("none.javagold")));

    // A classpath of no public class gives nothing either; a file already at the path is kept.
    JClasses hidden;
    JClass* cls = hidden.add_classes();
    cls->set_name("Lp/Hidden;");
    cls->set_parent("Ljava/lang/Object;");
    cls->set_permission(JP_PACKAGE);
    ProtoIO::write(&hidden, path("hidden.javagold"));
    ASSERT_TRUE(QFile::copy(path("hidden.javagold"), path("kept.javagold")));
    const Classpath classpath = classpathOf(path("hidden.javagold"));
    EXPECT_FALSE(Pretest::createGold(classpath, path("kept.javagold")));
    EXPECT_EQ(readGold(path("kept.javagold"))->SerializeAsString(), hidden.SerializeAsString());
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QList<QString>({"No classes to build a gold file from in ",
                              "No classes to build a gold file from in " + classpath.toString()}));
}

TEST_F(GoldBuildTest, UnwritableGoldFileIsLoggedOnceAndReported)
{
    const QString target = path("missing/dir/out.javagold");
    EXPECT_FALSE(Pretest::createGold(classpathOf(classesDir), target));
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QList<QString>{"Could not open file " + target + " for writing"});
}

TEST_F(GoldBuildTest, InheritanceCycleInAGoldFileIsReadAndCopiedSafely)
{
    JClasses source;
    JClass* a = source.add_classes();
    a->set_name("Lc/A;");
    a->set_package("c");
    a->set_parent("Lc/B;");
    JClass* b = source.add_classes();
    b->set_name("Lc/B;");
    b->set_package("c");
    b->set_parent("Lc/A;");
    b->add_interfaces("Lc/B;");
    JClass* target = source.add_classes();
    target->set_name("Ld/T;");
    target->set_package("d");
    JMethod* guarded = target->add_methods();
    guarded->set_name("m");
    guarded->set_descriptor_("()V");
    guarded->set_permission(JP_PROTECTED);
    ProtoIO::write(&source, path("cycle.javagold"));

    // The access rules walk superclasses through the loader: the cycle must end that walk.
    std::unique_ptr<ClassLoader> loader(ClassLoader::create(classpathOf(path("cycle.javagold"))));
    const Class* from = loader->loadClass("Lc/A;");
    const Class* to = loader->loadClass("Ld/T;");
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    EXPECT_FALSE(Permission::accessible(*loader, *from, *to, *to->getMethods()[0]));

    Pretest::createGold(classpathOf(path("cycle.javagold")), path("out.javagold"));
    const auto gold = readGold(path("out.javagold"));
    ASSERT_EQ(gold->classes_size(), 3);
    EXPECT_EQ(gold->classes(1).parent(), "Lc/A;");
}
