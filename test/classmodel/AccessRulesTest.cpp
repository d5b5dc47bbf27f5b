#include "Class.h"
#include "ClassFileBuilder.h"
#include "Field.h"
#include "FileSystemClassLoader.h"
#include "LoaderTestSupport.h"
#include "Method.h"
#include "Permission.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

// The fixture classes: la.Base (public, one field and one method of each access level),
// la.Peer (public), la.Hidden (package-private, public members), lb.Sub extends la.Base,
// lb.SubSub extends lb.Sub, lb.Other (public) and lb.Orphan extends lc.Gone extends la.Base,
// with lc.Gone left out of the tree so that Orphan's superclass chain breaks.
class AccessRulesTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        copyFixtureClasses(dir->path(), {"lc/"});
    }

    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    void SetUp() override { loader = new FileSystemClassLoader(QDir(dir->path())); }
    void TearDown() override { delete loader; }

    const Class& cls(const QString& name)
    {
        const Class* result = loader->loadClass("L" + name + ";");
        EXPECT_NE(result, nullptr) << name.toStdString();
        return *result;
    }

    bool classAccess(const QString& from, const QString& target)
    {
        return Permission::accessible(*loader, cls(from), cls(target));
    }

    static QTemporaryDir* dir;
    LogCapture log;
    FileSystemClassLoader* loader = nullptr;
};

QTemporaryDir* AccessRulesTest::dir = nullptr;

struct MemberCase
{
    const char* name;
    const char* from;
    const char* target;
    // One of "pub", "prot", "pack", "priv": the field of that name and the method named with an
    // 'M' appended.
    const char* member;
    bool expected;
};

void PrintTo(const MemberCase& c, std::ostream* os)
{
    *os << c.name;
}

class MemberAccessTest : public AccessRulesTest, public testing::WithParamInterface<MemberCase>
{
};

} // namespace

TEST_F(AccessRulesTest, ClassRules)
{
    EXPECT_TRUE(classAccess("lb/Other", "la/Base")) << "public class, other package";
    EXPECT_FALSE(classAccess("lb/Other", "la/Hidden")) << "package class, other package";
    EXPECT_TRUE(classAccess("la/Peer", "la/Hidden")) << "package class, same package";
    EXPECT_TRUE(classAccess("la/Hidden", "la/Hidden")) << "itself";
    EXPECT_TRUE(classAccess("lb/Sub", "la/Base")) << "its superclass";
    // The class rule does not look at superclasses: nothing was loaded for it.
    EXPECT_EQ(loader->getAllClasses().keys(),
              QStringList({"Lla/Base;", "Lla/Hidden;", "Lla/Peer;", "Llb/Other;", "Llb/Sub;"}));
}

TEST_P(MemberAccessTest, FieldsAndMethodsFollowTheSameRules)
{
    const MemberCase& c = GetParam();
    const Class& from = cls(c.from);
    const Class& target = cls(c.target);
    const Field* field = target.getFieldByName(c.member);
    const QString methodName = QString::fromLatin1(c.member) + "M";
    const Method* method = target.getMethodByNameAndSignature(methodName, MethodSignature("()V"));
    ASSERT_NE(field, nullptr);
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(Permission::accessible(*loader, from, target, *field), c.expected) << "field";
    EXPECT_EQ(Permission::accessible(*loader, from, target, *method), c.expected) << "method";
    // The rules log nothing themselves; only the loader's DEBUG lines for classes it lacks.
    for (const LogLine& line : log.lines)
        EXPECT_EQ(line.level, Logger::L_DEBUG) << line.text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    AccessRulesTest, MemberAccessTest,
    testing::Values(
        // Inside the class itself every member is reachable.
        MemberCase{"SelfPublic", "la/Base", "la/Base", "pub", true},
        MemberCase{"SelfProtected", "la/Base", "la/Base", "prot", true},
        MemberCase{"SelfPackage", "la/Base", "la/Base", "pack", true},
        MemberCase{"SelfPrivate", "la/Base", "la/Base", "priv", true},
        // Same package, unrelated class.
        MemberCase{"PeerPublic", "la/Peer", "la/Base", "pub", true},
        MemberCase{"PeerProtected", "la/Peer", "la/Base", "prot", true},
        MemberCase{"PeerPackage", "la/Peer", "la/Base", "pack", true},
        MemberCase{"PeerPrivate", "la/Peer", "la/Base", "priv", false},
        // Other package, subclass found through the loader.
        MemberCase{"SubclassPublic", "lb/Sub", "la/Base", "pub", true},
        MemberCase{"SubclassProtected", "lb/Sub", "la/Base", "prot", true},
        MemberCase{"SubclassPackage", "lb/Sub", "la/Base", "pack", false},
        MemberCase{"SubclassPrivate", "lb/Sub", "la/Base", "priv", false},
        MemberCase{"GrandchildProtected", "lb/SubSub", "la/Base", "prot", true},
        // Other package, unrelated class.
        MemberCase{"OtherPublic", "lb/Other", "la/Base", "pub", true},
        MemberCase{"OtherProtected", "lb/Other", "la/Base", "prot", false},
        MemberCase{"OtherPackage", "lb/Other", "la/Base", "pack", false},
        MemberCase{"OtherPrivate", "lb/Other", "la/Base", "priv", false},
        // A chain through a class the loader cannot find is not a subclass beyond that point.
        MemberCase{"BrokenChainProtected", "lb/Orphan", "la/Base", "prot", false},
        MemberCase{"BrokenChainPublic", "lb/Orphan", "la/Base", "pub", true}),
    [](const testing::TestParamInfo<MemberCase>& info) { return std::string(info.param.name); });

TEST_F(AccessRulesTest, PublicMembersOfAPackageClassNeedItsPackage)
{
    const Class& hidden = cls("la/Hidden");
    const Field* field = hidden.getFieldByName("pub");
    const Method* method = hidden.getMethodByNameAndSignature("pubM", MethodSignature("()V"));
    ASSERT_NE(field, nullptr);
    ASSERT_NE(method, nullptr);
    EXPECT_FALSE(Permission::accessible(*loader, cls("lb/Other"), hidden, *field));
    EXPECT_FALSE(Permission::accessible(*loader, cls("lb/Other"), hidden, *method));
    EXPECT_TRUE(Permission::accessible(*loader, cls("la/Peer"), hidden, *field));
    EXPECT_TRUE(Permission::accessible(*loader, cls("la/Peer"), hidden, *method));
}

TEST_F(AccessRulesTest, SuperclassWalkLoadsWhatItMeets)
{
    const Class& base = cls("la/Base");
    const Field* prot = base.getFieldByName("prot");
    ASSERT_NE(prot, nullptr);
    EXPECT_TRUE(Permission::accessible(*loader, cls("lb/SubSub"), base, *prot));
    EXPECT_TRUE(loader->getAllClasses().contains("Llb/Sub;"));
    // The walk asked for lc/Gone, which the tree lacks.
    EXPECT_FALSE(Permission::accessible(*loader, cls("lb/Orphan"), base, *prot));
    EXPECT_FALSE(loader->getAllClasses().contains("Llc/Gone;"));
}

TEST_F(AccessRulesTest, HierarchyCyclesEndTheWalk)
{
    // Class files may name any superclass: cy/A and cy/B name each other, cy/Self itself.
    QTemporaryDir cyclic;
    writeFile(cyclic.filePath("cy/A.class"), ClassFileBuilder("cy/A", "cy/B").build());
    writeFile(cyclic.filePath("cy/B.class"), ClassFileBuilder("cy/B", "cy/A").build());
    writeFile(cyclic.filePath("cy/Self.class"), ClassFileBuilder("cy/Self", "cy/Self").build());
    copyFixtureClasses(cyclic.path());
    FileSystemClassLoader cyclicLoader{QDir(cyclic.path())};

    const Class* base = cyclicLoader.loadClass("Lla/Base;");
    ASSERT_NE(base, nullptr);
    const Field* prot = base->getFieldByName("prot");
    const Method* protM = base->getMethodByNameAndSignature("protM", MethodSignature("()V"));
    for (const char* name : {"Lcy/A;", "Lcy/B;", "Lcy/Self;"}) {
        const Class* from = cyclicLoader.loadClass(name);
        ASSERT_NE(from, nullptr) << name;
        EXPECT_FALSE(Permission::accessible(cyclicLoader, *from, *base, *prot)) << name;
        EXPECT_FALSE(Permission::accessible(cyclicLoader, *from, *base, *protM)) << name;
    }
}
