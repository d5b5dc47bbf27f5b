#include "Classpath.h"
#include "ConformanceTestSupport.h"
#include "InterfaceTest.h"
#include "JavaTypes.pb.h"
#include "Pretest.h"
#include "UoPTest.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QThreadPool>

#include <new>
#include <string>

namespace {

const QString fixtures = QStringLiteral(CONFORMANCE_FIXTURES);

Classpath classpath(const QString& entries)
{
    Classpath path;
    path.append(entries);
    return path;
}

JClass* addClass(JClasses& all, const char* name, const char* parent = "Ljava/lang/Object;")
{
    JClass* cls = all.add_classes();
    cls->set_name(name);
    if (parent)
        cls->set_parent(parent);
    return cls;
}

JMethod* addMethod(JClass* cls, const char* name, const char* descriptor)
{
    JMethod* method = cls->add_methods();
    method->set_name(name);
    method->set_descriptor_(descriptor);
    return method;
}

// The part of the platform that the fixtures use, as a hand-made gold file: it carries what the
// tool's own gold building never writes (review marks, a package-private class).
JClasses platformGold()
{
    JClasses all;
    addMethod(addClass(all, "Ljava/lang/Object;", nullptr), "<init>", "()V");
    addClass(all, "Ljava/lang/String;")->set_final(true);
    addClass(all, "Ljava/lang/Throwable;");
    JClass* system = addClass(all, "Ljava/lang/System;");
    system->set_final(true);
    JMethod* loadLibrary = addMethod(system, "loadLibrary", "(Ljava/lang/String;)V");
    loadLibrary->set_static_(true);
    loadLibrary->set_requireinspection(true);
    JClass* handle = addClass(all, "Ljava/lang/invoke/MethodHandle;");
    handle->set_abstract(true);
    JMethod* invokeExact =
        addMethod(handle, "invokeExact", "([Ljava/lang/Object;)Ljava/lang/Object;");
    invokeExact->set_final(true);
    invokeExact->set_signature_polymorphic(true);
    JMethod* invoke = addMethod(handle, "invoke", "([Ljava/lang/Object;)Ljava/lang/Object;");
    invoke->set_final(true);
    invoke->set_signature_polymorphic(true);
    invoke->set_requireinspection(true);
    JClass* method = addClass(all, "Ljava/lang/reflect/Method;");
    method->set_final(true);
    addMethod(method, "getName", "()Ljava/lang/String;");
    JClass* internal = addClass(all, "Llib/Internal;");
    internal->set_permission(JP_PACKAGE);
    addMethod(internal, "touch", "()V")->set_static_(true);
    return all;
}

class AccessTestRun : public testing::Test
{
protected:
    void SetUp() override
    {
        ensureLogger();
        ASSERT_TRUE(dir.isValid());
        writeGold(platformGold(), path("platform.javagold"));
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Runs the access test and returns the rendered tree.
    QString run(const QString& testClasspath, const QString& apiClasspath)
    {
        TestResultGroup root;
        root.set_name("Results Tree");
        UoPTest test(&root, classpath(testClasspath), classpath(apiClasspath));
        test.runTest();
        return renderTree(root);
    }

    // The allowed API of the user fixtures and a copy of the code under test alone (the
    // fixtures were compiled together with stubs of the API).
    QString prepareUserFixtures()
    {
        Pretest::createGold(classpath(fixtures + "/published"), path("lib.javagold"));
        copyTree(fixtures + "/user/user", path("user/user"));
        return path("lib.javagold") + ':' + path("platform.javagold") + ':' + fixtures +
               "/framework";
    }

    QTemporaryDir dir;
};

TEST_F(AccessTestRun, ScoresEveryUseOfTheAllowedApi)
{
    const QString api = prepareUserFixtures();
    LogCapture log;
    EXPECT_EQ(run(path("user"), api), R"(Results Tree
  Access Results
    user.Child
    user.Stranger
      [FAIL] Class fw.Hidden access test | Access to class fw.Hidden was requested. Checking for permission.
        ERROR: Class not reachable based on access permissions fw.Hidden
      [FAIL] Class lib.Gone existence test | Access to class lib.Gone was requested. Checking for existence.
        ERROR: Class not found
      [FAIL] Class lib.Internal access test | Access to class lib.Internal was requested. Checking for permission.
        ERROR: Class not reachable based on access permissions lib.Internal
      [FAIL] Class lib.Gone existence test | Access to field value in class lib.Gone was requested. Checking for class existence.
        ERROR: Class not found
      [FAIL] Field removed existence test | Access to field removed in class lib.Lib was requested. Checking for field existence.
        ERROR: Field not found
      [FAIL] Field secret permission test | Access to field secret in class lib.Lib was requested. Checking for field permission.
        ERROR: Permission denied
      [FAIL] Method poke permission test | Access to method poke ()V in class fw.Hidden was requested. Checking for method permission.
        ERROR: Permission denied
      [INSPECT] Method peek native test | Access to method peek ()I in class fw.Natives was requested. Checking if method is native.
        WARNING: Method is native. Inspection required to determine conformance of JNI calls.
      [INSPECT] Method probe native test | Access to method probe ()I in class fw.Natives was requested. Checking if method is native.
        WARNING: Method is native. Inspection required to determine conformance of JNI calls.
      [FAIL] Method probe permission test | Access to method probe ()I in class fw.Natives was requested. Checking for method permission.
        ERROR: Permission denied
      [FAIL] Class lib.Gone existence test | Access to method <init> ()V in class lib.Gone was requested. Checking for class existence.
        ERROR: Class not found
      [FAIL] Method touch permission test | Access to method touch ()V in class lib.Internal was requested. Checking for method permission.
        ERROR: Permission denied
      [FAIL] Method guarded permission test | Access to method guarded ()V in class lib.Lib was requested. Checking for method permission.
        ERROR: Permission denied
      [FAIL] Method removedMethod existence test | Access to method removedMethod ()V in class lib.Lib was requested. Checking for method existence.
        ERROR: Method not found
    user.Walker
      [PASS] Class java.lang.reflect.Method reflection informational test | Access to class from java.lang.reflect was requested. Reflection is allowed by VELM. This warning is purely informational.
        WARNING: Class uses reflection java.lang.reflect.Method
      [INSPECT] Method loadLibrary JNI test | Access to method loadLibrary (Ljava/lang/String;)V in class java.lang.System was requested. Checking if method is a JNI call.
        WARNING: Inspection required to determine conformance of JNI calls.
      [INSPECT] Method invoke JNI test | Access to method invoke (I)Ljava/lang/Object; in class java.lang.invoke.MethodHandle was requested. Checking if method is a JNI call.
        WARNING: Inspection required to determine conformance of JNI calls.
      [INSPECT] Method invoke signature polymorphic test | Access to method invoke (I)Ljava/lang/Object; in class java.lang.invoke.MethodHandle was requested. Checking if method is a signature polymorphic method.
        WARNING: Inspection required because method is a signature polymorphic method.
      [INSPECT] Method invokeExact signature polymorphic test | Access to method invokeExact (Ljava/lang/String;)I in class java.lang.invoke.MethodHandle was requested. Checking if method is a signature polymorphic method.
        WARNING: Inspection required because method is a signature polymorphic method.
)");

    EXPECT_EQ(log.progress(), QStringList({"Test 33% 1/3 user.Child", "Test 66% 2/3 user.Stranger",
                                           "Test 100% 3/3 user.Walker"}));
    // Interfaces are searched before superclasses, each level logged; the search from lib.Lib
    // climbs to java.lang.Object, which has no parent.
    EXPECT_EQ(log.startingWith("UoPTest::"),
              QStringList({"UoPTest::checkInterfaceForMethod ==> removedMethod",
                           "UoPTest::checkParentForMethod ==> removedMethod",
                           "UoPTest::checkInterfaceForMethod ==> removedMethod",
                           "UoPTest::checkParentForMethod ==> removedMethod",
                           "UoPTest::checkInterfaceForMethod ==> serve",
                           "UoPTest::checkInterfaceForMethod ==> baseMethod",
                           "UoPTest::checkParentForMethod ==> baseMethod"}));
    const QStringList passes = log.startingWith(" = ");
    for (const char* line :
         {" = Method guarded in class lib.Lib is called correctly.",
          " = Field counter in class lib.Lib test passes.",
          " = Class java.lang.reflect.Method exists and is reachable based on access permission.",
          " = Method peek in class fw.Natives is called correctly.",
          " = Field TOKEN in class lib.Sub test passes.",
          " = Method baseMethod in class lib.Sub is called correctly.",
          " = Method serve in class lib.AbstractService is called correctly.",
          " = Method invoke in class java.lang.invoke.MethodHandle is called correctly.",
          " = Method invokeExact in class java.lang.invoke.MethodHandle is called correctly.",
          " = Method loadLibrary in class java.lang.System is called correctly."})
        EXPECT_TRUE(passes.contains(line)) << line;
    // Denied calls log no pass line, natives included.
    EXPECT_FALSE(passes.contains(" = Method probe in class fw.Natives is called correctly."));
    EXPECT_FALSE(passes.contains(" = Method poke in class fw.Hidden is called correctly."));
    const QStringList info = log.at(Logger::L_INFO);
    EXPECT_EQ(info.mid(0, 3), QStringList({"Gold classpath configured", "Test classpath configured",
                                           "Access test starting"}));
    EXPECT_EQ(info.last(), "Access test completed");
    EXPECT_TRUE(log.at(Logger::L_ERROR).isEmpty());
}

// A package-private class of java.lang.reflect is both denied and reported as reflection, in that
// order.
TEST_F(AccessTestRun, DeniedReflectionClassIsReportedTwice)
{
    const QString api = prepareUserFixtures();
    JClasses platform = platformGold();
    for (JClass& cls : *platform.mutable_classes()) {
        if (cls.name() == "Ljava/lang/reflect/Method;")
            cls.set_permission(JP_PACKAGE);
    }
    writeGold(platform, path("platform.javagold"));

    const QString tree = run(path("user"), api);
    const int walker = tree.indexOf("    user.Walker\n");
    ASSERT_GE(walker, 0);
    EXPECT_TRUE(tree.mid(walker).startsWith(R"(    user.Walker
      [FAIL] Class java.lang.reflect.Method access test | Access to class java.lang.reflect.Method was requested. Checking for permission.
        ERROR: Class not reachable based on access permissions java.lang.reflect.Method
      [PASS] Class java.lang.reflect.Method reflection informational test | Access to class from java.lang.reflect was requested. Reflection is allowed by VELM. This warning is purely informational.
        WARNING: Class uses reflection java.lang.reflect.Method
)")) << tree.mid(walker).toStdString();
}

// Only malformed gold data can make a hierarchy loop: loop.Cyc and loop.Cyc2 are each other's
// superclass, and loop.Ring extends itself and loop.Ring2, which extends loop.Ring.
TEST_F(AccessTestRun, LoopingHierarchyEndsTheSearch)
{
    JClasses loop;
    JClass* cyc = addClass(loop, "Lloop/Cyc;", "Lloop/Cyc2;");
    cyc->add_interfaces("Lloop/Ring;");
    addClass(loop, "Lloop/Cyc2;", "Lloop/Cyc;");
    JClass* ring = addClass(loop, "Lloop/Ring;");
    ring->set_interface(true);
    ring->add_interfaces("Lloop/Ring;");
    ring->add_interfaces("Lloop/Ring2;");
    JClass* ring2 = addClass(loop, "Lloop/Ring2;");
    ring2->set_interface(true);
    ring2->add_interfaces("Lloop/Ring;");
    JField* deep = ring2->add_fields();
    deep->set_name("deep");
    deep->set_descriptor_("I");
    deep->set_static_(true);
    // loop.Orphan claims a parent but names none; a nameless class, which only a broken gold file
    // holds, must not be taken for it. Its field wide is declared with another type than used.
    JClass* orphan = addClass(loop, "Lloop/Orphan;", "");
    JField* wide = orphan->add_fields();
    wide->set_name("wide");
    wide->set_descriptor_("I");
    wide->set_static_(true);
    JField* x = addClass(loop, "")->add_fields();
    x->set_name("x");
    x->set_descriptor_("I");
    x->set_static_(true);
    writeGold(loop, path("loop.javagold"));
    copyTree(fixtures + "/user/loopuser", path("looper/loopuser"));

    LogCapture log;
    EXPECT_EQ(run(path("looper"), path("loop.javagold") + ':' + path("platform.javagold")),
              R"(Results Tree
  Access Results
    loopuser.Looper
      [FAIL] Field f existence test | Access to field f in class loop.Cyc was requested. Checking for field existence.
        ERROR: Field not found
      [FAIL] Field x existence test | Access to field x in class loop.Orphan was requested. Checking for field existence.
        ERROR: Field not found
      [FAIL] Method m existence test | Access to method m ()V in class loop.Cyc was requested. Checking for method existence.
        ERROR: Method not found
)");
    // The field declared in an interface two levels up is still found.
    EXPECT_TRUE(log.texts().contains(" = Field deep in class loop.Cyc test passes."));
    EXPECT_TRUE(log.texts().contains(" = Field wide in class loop.Orphan test passes."));
    EXPECT_EQ(
        log.startingWith("UoPTest::"),
        QStringList(
            {"UoPTest::checkInterfaceForMethod ==> m", "UoPTest::checkInterfaceForMethod ==> m",
             "UoPTest::checkInterfaceForMethod ==> m", "UoPTest::checkParentForMethod ==> m",
             "UoPTest::checkInterfaceForMethod ==> m", "UoPTest::checkParentForMethod ==> m"}));
}

// A superclass chain far deeper than a call stack could follow level by level, and a lattice of
// interfaces in which every path splits in two forty times (2^40 paths, 121 interfaces).
TEST_F(AccessTestRun, DeepAndWideHierarchiesAreSearchedOncePerClass)
{
    const int depth = 100000;
    const int lattice = 40;
    JClasses gold;
    addClass(gold, "Ldeep/Bottom;", "Ldeep/P1;");
    for (int level = 1; level <= depth; ++level) {
        const std::string parent =
            level < depth ? "Ldeep/P" + std::to_string(level + 1) + ";" : "Ljava/lang/Object;";
        addClass(gold, ("Ldeep/P" + std::to_string(level) + ";").c_str(), parent.c_str());
    }
    JField* top = gold.mutable_classes(depth)->add_fields();
    top->set_name("top");
    top->set_descriptor_("I");
    top->set_static_(true);
    addClass(gold, "Ldeep/Lattice;")->add_interfaces("Ldeep/L0;");
    for (int level = 0; level <= lattice; ++level) {
        const std::string n = std::to_string(level);
        const std::string next = "Ldeep/L" + std::to_string(level + 1) + ";";
        JClass* joint = addClass(gold, ("Ldeep/L" + n + ";").c_str());
        joint->set_interface(true);
        if (level == lattice)
            break;
        joint->add_interfaces("Ldeep/A" + n + ";");
        joint->add_interfaces("Ldeep/B" + n + ";");
        for (const char* side : {"A", "B"}) {
            JClass* branch = addClass(gold, ("Ldeep/" + std::string(side) + n + ";").c_str());
            branch->set_interface(true);
            branch->add_interfaces(next);
        }
    }
    writeGold(gold, path("deep.javagold"));
    copyTree(fixtures + "/user/deepuser", path("climber/deepuser"));

    LogCapture log;
    EXPECT_EQ(run(path("climber"), path("deep.javagold") + ':' + path("platform.javagold")),
              R"(Results Tree
  Access Results
    deepuser.Climber
      [FAIL] Method missing existence test | Access to method missing ()V in class deep.Lattice was requested. Checking for method existence.
        ERROR: Method not found
)");
    EXPECT_TRUE(log.texts().contains(" = Field top in class deep.Bottom test passes."));
    // One line for deep.Lattice and one for each interface, then java.lang.Object's level.
    const QStringList searches = log.startingWith("UoPTest::");
    EXPECT_EQ(searches.count("UoPTest::checkInterfaceForMethod ==> missing"), 1 + 121 + 1);
    EXPECT_EQ(searches.count("UoPTest::checkParentForMethod ==> missing"), 2);
}

TEST_F(AccessTestRun, EmptyClasspathUnderTestGivesAnEmptyGroup)
{
    LogCapture log;
    EXPECT_EQ(run(QString(), path("platform.javagold")), "Results Tree\n"
                                                         "  Access Results\n");
    const QStringList texts = log.texts();
    const int first = texts.indexOf("Creating access class loader");
    ASSERT_GE(first, 0);
    QStringList own;
    for (const QString& line : texts.mid(first)) {
        if (!line.startsWith("Processing classpath") && !line.startsWith("Treating "))
            own.append(line);
    }
    EXPECT_EQ(own, QStringList({"Creating access class loader", "Gold classpath configured",
                                "Creating test class loader", "Test classpath configured",
                                "Access test starting", "No classes to test in ",
                                "Access test completed"}));
}

// Both entries hold dup.Twin: it is tested twice, both times as the later entry has it.
TEST_F(AccessTestRun, ClassInTwoEntriesIsTestedTwiceAsTheLaterEntryHasIt)
{
    LogCapture log;
    const QString group = R"(    dup.Twin
      [FAIL] Class java.util.ArrayList existence test | Access to class java.util.ArrayList was requested. Checking for existence.
        ERROR: Class not found
      [FAIL] Class java.util.ArrayList existence test | Access to method <init> ()V in class java.util.ArrayList was requested. Checking for class existence.
        ERROR: Class not found
)";
    EXPECT_EQ(run(fixtures + "/dup1:" + fixtures + "/dup2", path("platform.javagold")),
              "Results Tree\n  Access Results\n" + group + group);
    EXPECT_EQ(log.progress(), QStringList({"Test 50% 1/2 dup.Twin", "Test 100% 2/2 dup.Twin"}));
}

// A fault in the middle of a class keeps what was gathered, logs one line and frees both loaders
// (the sanitizer build checks the last part).
TEST_F(AccessTestRun, ExceptionKeepsResultsGatheredSoFar)
{
    const QString api = prepareUserFixtures();
    LogCapture log;
    log.throwOn(" = Method peek in class fw.Natives is called correctly.", "out of luck");
    EXPECT_EQ(run(path("user"), api), R"(Results Tree
  Access Results
    user.Child
    user.Stranger
      [FAIL] Class fw.Hidden access test | Access to class fw.Hidden was requested. Checking for permission.
        ERROR: Class not reachable based on access permissions fw.Hidden
      [FAIL] Class lib.Gone existence test | Access to class lib.Gone was requested. Checking for existence.
        ERROR: Class not found
      [FAIL] Class lib.Internal access test | Access to class lib.Internal was requested. Checking for permission.
        ERROR: Class not reachable based on access permissions lib.Internal
      [FAIL] Class lib.Gone existence test | Access to field value in class lib.Gone was requested. Checking for class existence.
        ERROR: Class not found
      [FAIL] Field removed existence test | Access to field removed in class lib.Lib was requested. Checking for field existence.
        ERROR: Field not found
      [FAIL] Field secret permission test | Access to field secret in class lib.Lib was requested. Checking for field permission.
        ERROR: Permission denied
      [FAIL] Method poke permission test | Access to method poke ()V in class fw.Hidden was requested. Checking for method permission.
        ERROR: Permission denied
      [INSPECT] Method peek native test | Access to method peek ()I in class fw.Natives was requested. Checking if method is native.
        WARNING: Method is native. Inspection required to determine conformance of JNI calls.
)");
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Test interrupted by exception - out of luck"}));
    EXPECT_FALSE(log.texts().contains("Access test completed"));
}

// Memory that runs short mid-test: std::bad_alloc at one line, and again when the boundary logs
// the interruption. The test still returns, with the results it had, and so does an interface
// test interrupted the same way, which then still runs its access test.
TEST_F(AccessTestRun, OutOfMemoryKeepsResultsGatheredSoFar)
{
    const QString api = prepareUserFixtures();
    const QString trigger = " = Method peek in class fw.Natives is called correctly.";
    QString expected;
    {
        LogCapture log;
        log.throwOn(trigger, "out of luck");
        expected = run(path("user"), api);
    }

    QStringList shortOn = {trigger, "Interface test starting"};
    const auto connection =
        QObject::connect(Logger::logger, &Logger::log, [&](Logger::Level, const QString& text) {
            if (shortOn.removeOne(text) || text.startsWith("Test interrupted by exception"))
                throw std::bad_alloc();
        });
    EXPECT_EQ(run(path("user"), api), expected);

    TestResultGroup root;
    InterfaceTest test(&root, classpath(path("user")), classpath(path("lib.javagold")),
                       classpath(api));
    EXPECT_NO_THROW(test.runTest());
    QObject::disconnect(connection);
    ASSERT_EQ(root.subgroup_size(), 2);
    EXPECT_EQ(root.subgroup(0).name(), "Interface Results");
    EXPECT_EQ(root.subgroup(1).name(), "Access Results");
    EXPECT_EQ(root.subgroup(1).subgroup_size(), 3);
}

// The classes that the test looks up are read ahead on several threads; the results and the log
// stay those of one thread, lookups of classes that are missing, rejected or found only further
// down the classpath included, over more classes than one read-ahead window holds.
TEST_F(AccessTestRun, ReadingAheadOnSeveralThreadsScoresAndLogsAsOneThread)
{
    const QString fw = fixtures + "/framework/fw/";
    const QByteArray hidden = readBytes(fw + "Hidden.class");
    const QByteArray natives = readBytes(fw + "Natives.class");
    // Broken copies first: rejected there, the classes are found further down.
    writeFile(path("broken/fw/Hidden.class"), hidden.left(hidden.size() / 2));
    writeFile(path("broken/fw/Natives.class"), natives.left(natives.size() / 3));
    // Rejected, and missing everywhere else: looked for again at every use.
    writeFile(path("broken/lib/Gone.class"), hidden.left(hidden.size() / 4));
    writeArchive(path("api.jar"),
                 {{"fw/Natives.class", natives.left(natives.size() / 2)},
                  {"fw/Hidden.class", hidden},
                  {"fw/Hidden.class", natives},
                  // Read by position it fails: it is left to the lookup, in its turn.
                  {"lib/Gone.class", {}}},
                 ArchiveFormat::ZipDeflated);
    const QString api = prepareUserFixtures().replace(fixtures + "/framework",
                                                      path("broken") + ':' + path("api.jar") + ':' +
                                                          fixtures + "/framework");

    // Many copies of the code under test, a broken one and one in two entries.
    const QString user = fixtures + "/user/user/";
    for (int i = 0; i < 70; ++i) {
        for (const char* name : {"Child", "Stranger", "Walker"})
            writeFile(path(QString("many/copy/%1%2.class").arg(name).arg(i)),
                      readBytes(user + name + ".class"));
    }
    writeFile(path("many/copy/Broken.class"), hidden.left(20));
    copyTree(path("user"), path("again"));
    const QString tested = path("user") + ':' + path("many") + ':' + path("again");

    const auto runOn = [&](int threads) {
        const int saved = QThreadPool::globalInstance()->maxThreadCount();
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        LogCapture log;
        const QString tree = run(tested, api);
        QThreadPool::globalInstance()->setMaxThreadCount(saved);
        return qMakePair(tree, log.lines);
    };
    const auto byOne = runOn(1);
    const auto bySeveral = runOn(8);
    EXPECT_EQ(bySeveral.first, byOne.first);
    EXPECT_EQ(bySeveral.second, byOne.second);
    EXPECT_EQ(byOne.first.count("\n    user.Walker\n"), 2);
    const auto count = [&](const QString& start) {
        int lines = 0;
        for (const LogLine& line : byOne.second)
            lines += line.text.startsWith(start) ? 1 : 0;
        return lines;
    };
    EXPECT_EQ(count("fw.Hidden: "), 1);
    EXPECT_EQ(count("fw.Natives: "), 2);
    // A class that is not found is read and reported again at every use.
    EXPECT_GT(count("lib.Gone: "), 100);
    EXPECT_EQ(count("Problem reading lib.Gone in archive "), count("lib.Gone: "));
    // Once from each directory after the rejected copy: the framework and the three tested.
    EXPECT_EQ(count("Could not read class Llib/Gone; because the class file"),
              4 * count("lib.Gone: "));
}

} // namespace
