#include "InterfaceTest.h"
#include "Classpath.h"
#include "ConformanceTestSupport.h"
#include "JavaTypes.pb.h"
#include "Pretest.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

const QString fixtures = QStringLiteral(CONFORMANCE_FIXTURES);

Classpath classpath(const QString& entries)
{
    Classpath path;
    path.append(entries);
    return path;
}

JClass* addClass(JClasses& all, const char* name)
{
    JClass* cls = all.add_classes();
    cls->set_name(name);
    cls->set_parent("Ljava/lang/Object;");
    return cls;
}

class InterfaceTestRun : public testing::Test
{
protected:
    void SetUp() override
    {
        ensureLogger();
        ASSERT_TRUE(dir.isValid());
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs the interface test alone and returns the rendered tree.
    QString run(const QString& testClasspath, const QString& goldClasspath)
    {
        TestResultGroup root;
        root.set_name("Results Tree");
        InterfaceTest test(&root, classpath(testClasspath), classpath(goldClasspath));
        test.runTest();
        return renderTree(root);
    }

    QTemporaryDir dir;
};

// The implementation differs from the reference in every way the test checks; the reference is
// published as a gold file the way the tool itself builds one.
TEST_F(InterfaceTestRun, ComparesEveryReferenceClassWithTheCodeUnderTest)
{
    Pretest::createGold(classpath(fixtures + "/reference"), path("reference.javagold"));
    copyTree(fixtures + "/implementation", path("impl"));
    setMajorVersion(path("impl/iface/Versioned.class"), 53);
    setMajorVersion(path("impl/iface/BaseA.class"), 45);

    LogCapture log;
    const QString tree = run(path("impl"), path("reference.javagold"));
    EXPECT_EQ(tree, R"(Results Tree
  Interface Results
    iface.Abstractness
      Attributes
        [PASS] Class iface.Abstractness existence test | Test if class iface.Abstractness exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [FAIL] Class abstract test | Test if class is abstract.
          ERROR: Class should be abstract but is currently non-abstract
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.Access
      Attributes
        [PASS] Class iface.Access existence test | Test if class iface.Access exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [FAIL] Class permission test | Test if the class has proper access permission.
          ERROR: Class should be public but is currently package
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [FAIL] Method void <init>() test | Test if method void <init>() is properly declared.
          ERROR: Method void <init>() should have public access but is currently package.
    iface.Alpha
      Attributes
        [PASS] Class iface.Alpha existence test | Test if class iface.Alpha exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class abstract test | Test if class is abstract.
        [PASS] Class file interface test | Test if is interface.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
    iface.BaseA
      Attributes
        [PASS] Class iface.BaseA existence test | Test if class iface.BaseA exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.Beta
      Attributes
        [PASS] Class iface.Beta existence test | Test if class iface.Beta exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class abstract test | Test if class is abstract.
        [PASS] Class file interface test | Test if is interface.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
    iface.Fields
      Attributes
        [PASS] Class iface.Fields existence test | Test if class iface.Fields exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
        [FAIL] Field int count test | Test if field int count is properly declared.
          ERROR: Field count should be of type int but is currently long.
          ERROR: Field count should have public access but is currently protected.
        [FAIL] Field java.lang.String name test | Test if field java.lang.String name is properly declared.
          ERROR: Field name should be final but is currently non-final.
        [FAIL] Field int shared test | Test if field int shared is properly declared.
          ERROR: Field shared should be static but is currently non-static.
        [FAIL] Field int gone test | Test if field int gone is properly declared.
          ERROR: Not found
        [FAIL] Field long[][] grid test | Test if field long[][] grid is properly declared.
          ERROR: Field grid should have protected access but is currently public.
        [PASS] Field double same test | Test if field double same is properly declared.
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.Finality
      Attributes
        [PASS] Class iface.Finality existence test | Test if class iface.Finality exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [FAIL] Class final test | Test if class is final.
          ERROR: Class should be final but is currently non-final
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.Gamma
      Attributes
        [PASS] Class iface.Gamma existence test | Test if class iface.Gamma exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class abstract test | Test if class is abstract.
        [PASS] Class file interface test | Test if is interface.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
    iface.Gone
      Attributes
        [FAIL] Class iface.Gone existence test | Test if class iface.Gone exists.
          ERROR: iface.Gone could not be loaded from the classpath
    iface.Impl
      Attributes
        [PASS] Class iface.Impl existence test | Test if class iface.Impl exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent iface.ImplBase test | Test if the class has the proper parent class iface.ImplBase.
        [PASS] Class interface iface.Alpha implementation test | Test if the class has implemented interface iface.Alpha.
        [FAIL] Class interface iface.Beta implementation test | Test if the class has implemented interface iface.Beta.
          ERROR: Class should implement iface.Beta
        [PASS] Class interface iface.Gamma implementation test | Test if the class has implemented interface iface.Gamma.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.ImplBase
      Attributes
        [PASS] Class iface.ImplBase existence test | Test if class iface.ImplBase exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.Kind
      Attributes
        [PASS] Class iface.Kind existence test | Test if class iface.Kind exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class abstract test | Test if class is abstract.
        [FAIL] Class file interface test | Test if is interface.
          ERROR: Class file should be interface but is currently class
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
    iface.Methods
      Attributes
        [PASS] Class iface.Methods existence test | Test if class iface.Methods exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
        [FAIL] Method void run() test | Test if method void run() is properly declared.
          ERROR: Method void run() should have public access but is currently protected.
        [FAIL] Method void fin() test | Test if method void fin() is properly declared.
          ERROR: Method void fin() should be final but is currently non-final.
        [FAIL] Method void stat() test | Test if method void stat() is properly declared.
          ERROR: Method void stat() should be static but is currently non-static.
        [PASS] Method void both() test | Test if method void both() is properly declared.
        [FAIL] Method void narrow() test | Test if method void narrow() is properly declared.
          ERROR: Method void narrow() should throw the following exceptionbe.
          ERROR: java.io.IOException
        [FAIL] Method void u() test | Test if method void u() is properly declared.
          ERROR: Method void u() should throw the following exceptionbe.
          ERROR: java.io.IOException
          ERROR: java.util.concurrent.TimeoutException
        [FAIL] Method void w() test | Test if method void w() is properly declared.
          ERROR: Method void w() should throw the following exceptionbe.
          ERROR: java.io.IOException
          ERROR: java.util.concurrent.TimeoutException
        [FAIL] Method void close(int) test | Test if method void close(int) is properly declared.
          ERROR: Not found
          ERROR: Candidates:
          ERROR: void close(boolean)
          ERROR: void close(java.lang.String)
        [FAIL] Method void vanish() test | Test if method void vanish() is properly declared.
          ERROR: Not found
          ERROR: Candidates:
          ERROR: [None]
        [PASS] Method int compare(java.lang.Object, java.lang.Object) test | Test if method int compare(java.lang.Object, java.lang.Object) is properly declared.
    iface.Parent
      Attributes
        [PASS] Class iface.Parent existence test | Test if class iface.Parent exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [FAIL] Class parent iface.BaseA test | Test if the class has the proper parent class iface.BaseA.
          ERROR: Parent should be iface.BaseA but is currently iface.BaseB
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
    iface.Versioned
      Attributes
        [PASS] Class iface.Versioned existence test | Test if class iface.Versioned exists.
        [FAIL] Java version 8 test | Java class file version must be 8 or less.
          ERROR: Found incorrect version INVALID
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
      Methods
        [PASS] Method void <init>() test | Test if method void <init>() is properly declared.
)");

    // Each reference field is announced before it is checked.
    EXPECT_EQ(
        log.startingWith("Field ").mid(0, 4),
        QStringList({"Field name under test count", "Field type under test int",
                     "Field name under test name", "Field type under test java.lang.String"}));
    EXPECT_EQ(log.progress().size(), 15);
    EXPECT_TRUE(log.at(Logger::L_ERROR).isEmpty());
}

// Seven reference classes, none of them under test.
TEST_F(InterfaceTestRun, LogsProgressForEveryReferenceClass)
{
    JClasses gold;
    for (const char* name : {"Lp/G;", "Lp/A;", "Lp/F;", "Lp/B;", "Lp/E;", "Lp/C;", "Lp/D;"})
        addClass(gold, name);
    writeGold(gold, path("seven.javagold"));

    LogCapture log;
    TestResultGroup root;
    InterfaceTest test(&root, Classpath(), classpath(path("seven.javagold")));
    test.runTest();

    EXPECT_EQ(log.progress(),
              QStringList({"Test 14% 1/7 Lp/A;", "Test 28% 2/7 Lp/B;", "Test 42% 3/7 Lp/C;",
                           "Test 57% 4/7 Lp/D;", "Test 71% 5/7 Lp/E;", "Test 85% 6/7 Lp/F;",
                           "Test 100% 7/7 Lp/G;"}));
    const QStringList info = log.at(Logger::L_INFO);
    ASSERT_GE(info.size(), 4);
    EXPECT_EQ(info.mid(0, 3), QStringList({"Gold classpath configured", "Test classpath configured",
                                           "Interface test starting"}));
    EXPECT_EQ(info.last(), "Interface test completed");
    EXPECT_TRUE(log.at(Logger::L_DEBUG).contains("Creating gold class loader"));
    EXPECT_TRUE(log.at(Logger::L_DEBUG).contains("Creating test class loader"));

    // The three-argument constructor runs no access test.
    ASSERT_EQ(root.subgroup_size(), 1);
    EXPECT_EQ(root.subgroup(0).name(), "Interface Results");
    EXPECT_EQ(root.subgroup(0).subgroup_size(), 7);
    EXPECT_EQ(root.subgroup(0).subgroup(6).name(), "p.G");
}

TEST_F(InterfaceTestRun, EmptyReferenceGivesAnEmptyGroup)
{
    LogCapture log;
    EXPECT_EQ(run(QString(), QString()), "Results Tree\n"
                                         "  Interface Results\n");
    const QStringList info = log.at(Logger::L_INFO);
    const int starting = info.indexOf("Interface test starting");
    ASSERT_GE(starting, 0);
    EXPECT_EQ(info.value(starting + 1), "Interface test completed");
}

// Both the reference and the code under test can be gold files; a class that two gold files of
// the reference hold is tested twice, each time as the later file describes it.
TEST_F(InterfaceTestRun, ClassInTwoGoldFilesIsTestedTwiceAsTheLaterFileHasIt)
{
    JClasses first;
    JField* a = addClass(first, "Lp/Twin;")->add_fields();
    a->set_name("a");
    a->set_descriptor_("I");
    writeGold(first, path("first.javagold"));
    JClasses second;
    JField* b = addClass(second, "Lp/Twin;")->add_fields();
    b->set_name("b");
    b->set_descriptor_("J");
    writeGold(second, path("second.javagold"));
    // No version recorded: 0 passes the version check.
    JClasses tested;
    JField* c = addClass(tested, "Lp/Twin;")->add_fields();
    c->set_name("b");
    c->set_descriptor_("J");
    writeGold(tested, path("tested.javagold"));

    LogCapture log;
    const QString group = R"(    p.Twin
      Attributes
        [PASS] Class p.Twin existence test | Test if class p.Twin exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
        [PASS] Field long b test | Test if field long b is properly declared.
      Methods
)";
    EXPECT_EQ(run(path("tested.javagold"), path("first.javagold") + ':' + path("second.javagold")),
              "Results Tree\n  Interface Results\n" + group + group);
    EXPECT_EQ(log.progress(), QStringList({"Test 50% 1/2 Lp/Twin;", "Test 100% 2/2 Lp/Twin;"}));
}

// Order of the declared exceptions does not matter, repetitions do; only the reference's list is
// named.
TEST_F(InterfaceTestRun, RepeatedOrMissingExceptionsAreMismatches)
{
    auto build = [](JClasses& all, const QList<QStringList>& exceptions) {
        JClass* cls = addClass(all, "Lp/T;");
        const char* names[] = {"twice", "none"};
        for (int i = 0; i < exceptions.size(); ++i) {
            JMethod* method = cls->add_methods();
            method->set_name(names[i]);
            method->set_descriptor_("()V");
            for (const QString& exception : exceptions.at(i))
                method->add_exceptions(exception.toStdString());
        }
    };
    JClasses gold;
    build(gold, {{"Ljava/io/IOException;"}, {}});
    writeGold(gold, path("gold.javagold"));
    JClasses tested;
    build(tested, {{"Ljava/io/IOException;", "Ljava/io/IOException;"}, {"Ljava/lang/Exception;"}});
    writeGold(tested, path("tested.javagold"));

    const QString tree = run(path("tested.javagold"), path("gold.javagold"));
    EXPECT_TRUE(tree.endsWith(R"(      Methods
        [FAIL] Method void twice() test | Test if method void twice() is properly declared.
          ERROR: Method void twice() should throw the following exceptionbe.
          ERROR: java.io.IOException
        [FAIL] Method void none() test | Test if method void none() is properly declared.
          ERROR: Method void none() should throw the following exceptionbe.
)")) << tree.toStdString();
}

// Lists that agree up to the last exception after sorting still differ: every position counts.
TEST_F(InterfaceTestRun, ExceptionsDifferingOnlyInTheLastAfterSortingFail)
{
    const auto write = [](const QStringList& exceptions, const QString& file) {
        JClasses all;
        JMethod* method = addClass(all, "Lp/T;")->add_methods();
        method->set_name("run");
        method->set_descriptor_("()V");
        for (const QString& exception : exceptions)
            method->add_exceptions(exception.toStdString());
        writeGold(all, file);
    };
    write({"Ljava/sql/SQLException;", "Ljava/io/IOException;"}, path("gold.javagold"));
    write({"Ljava/util/concurrent/TimeoutException;", "Ljava/io/IOException;"},
          path("tested.javagold"));

    const QString tree = run(path("tested.javagold"), path("gold.javagold"));
    EXPECT_TRUE(tree.endsWith(R"(      Methods
        [FAIL] Method void run() test | Test if method void run() is properly declared.
          ERROR: Method void run() should throw the following exceptionbe.
          ERROR: java.io.IOException
          ERROR: java.sql.SQLException
)")) << tree.toStdString();
}

// A fault in the middle of a class keeps everything gathered so far, that class's half-filled
// group included, and the access test still follows.
TEST_F(InterfaceTestRun, ExceptionKeepsResultsAndTheAccessTestStillRuns)
{
    JClasses gold;
    JClass* cls = addClass(gold, "Lp/A;");
    for (const char* name : {"x", "y"}) {
        JField* field = cls->add_fields();
        field->set_name(name);
        field->set_descriptor_("I");
    }
    addClass(gold, "Lp/B;");
    writeGold(gold, path("gold.javagold"));

    LogCapture log;
    log.throwOn("Field name under test y", "broken gold data");
    TestResultGroup root;
    root.set_name("Results Tree");
    InterfaceTest test(&root, classpath(path("gold.javagold")), classpath(path("gold.javagold")),
                       Classpath());
    test.runTest();

    EXPECT_EQ(renderTree(root), R"(Results Tree
  Interface Results
    p.A
      Attributes
        [PASS] Class p.A existence test | Test if class p.A exists.
        [PASS] Java version 8 test | Java class file version must be 8 or less.
        [PASS] Class non-abstract test | Test if class is non-abstract.
        [PASS] Class file class test | Test if is class.
        [PASS] Class non-final test | Test if class is non-final.
        [PASS] Class permission test | Test if the class has proper access permission.
        [PASS] Class parent java.lang.Object test | Test if the class has the proper parent class java.lang.Object.
      Fields
        [PASS] Field int x test | Test if field int x is properly declared.
        [UNSET]  | 
  Access Results
    p.A
    p.B
)");
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Test interrupted by exception - broken gold data"}));
    const QStringList info = log.at(Logger::L_INFO);
    EXPECT_FALSE(info.contains("Interface test completed"));
    EXPECT_TRUE(info.contains("Access test completed"));
}

} // namespace
