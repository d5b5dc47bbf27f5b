#include "InterfaceTest.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Field.h"
#include "Logger.h"
#include "Method.h"
#include "MethodSignature.h"
#include "Permission.h"
#include "ResultLog.h"
#include "TypeDescriptor.h"
#include "UoPTest.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <exception>
#include <memory>

namespace {

// The class-file major version of Java 8; anything newer cannot run on the target platform.
const int maxMajorVersion = 52;

void log(Logger::Level level, const QString& text)
{
    emit Logger::logger->log(level, text);
}

QString abstractToString(bool isAbstract)
{
    return isAbstract ? QStringLiteral("abstract") : QStringLiteral("non-abstract");
}

QString ifaceToString(bool isInterface)
{
    return isInterface ? QStringLiteral("interface") : QStringLiteral("class");
}

QString staticToString(bool isStatic)
{
    return isStatic ? QStringLiteral("static") : QStringLiteral("non-static");
}

void fill(TestResult& result, const QString& name, const QString& description)
{
    result.set_name(resultText(name));
    result.set_description(resultText(description));
}

// Sets the score of a check and, when it failed, its one entry.
void judge(TestResult& result, bool passed, const QString& failure)
{
    result.set_score(passed ? R_PASS : R_FAIL);
    if (!passed)
        error(result.mutable_logs(), failure);
}

QList<TypeDescriptor> sorted(QList<TypeDescriptor> types)
{
    std::stable_sort(types.begin(), types.end());
    return types;
}

bool sameTypes(const QList<TypeDescriptor>& a, const QList<TypeDescriptor>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!(a.at(i) == b.at(i)))
            return false;
    }
    return true;
}

} // namespace

QString finalToString(bool isFinal)
{
    return isFinal ? QStringLiteral("final") : QStringLiteral("non-final");
}

QString toString(const Field& field)
{
    return QStringLiteral("%1 %2").arg(field.getType().toString(), field.getName());
}

QString toString(const Method& method)
{
    const MethodSignature signature = method.getSignature();
    return QStringLiteral("%1 %2(%3)")
        .arg(signature.returnType.toString(), method.getName(), signature.getParameterString());
}

InterfaceTest::InterfaceTest(TestResultGroup* root, const Classpath& testClasspath,
                             const Classpath& goldClasspath, const Classpath& accessClasspath)
    : runAccessTest(true), testClasspath(testClasspath), goldClasspath(goldClasspath),
      accessClasspath(accessClasspath), root(root)
{
}

InterfaceTest::InterfaceTest(TestResultGroup* root, const Classpath& testClasspath,
                             const Classpath& goldClasspath)
    : runAccessTest(false), testClasspath(testClasspath), goldClasspath(goldClasspath),
      accessClasspath(), root(root)
{
}

InterfaceTest::~InterfaceTest() = default;

bool InterfaceTest::runTest()
{
    // The member index holds classes of an earlier run's loaders if that run was left by an
    // exception that is no std::exception; start clean.
    lookup.clear();
    TestResultGroup* interfaceGroup = root->add_subgroup();
    interfaceGroup->set_name("Interface Results");

    // Both loaders outlive the access test below, and go on every way out of this function.
    std::unique_ptr<ClassLoader> goldLoader;
    std::unique_ptr<ClassLoader> testLoader;
    bool whole = true;
    try {
        log(Logger::L_DEBUG, "Creating gold class loader");
        goldLoader.reset(ClassLoader::create(goldClasspath));
        goldLoader->loadAllClasses();
        const QMap<QString, Class*> goldClasses = goldLoader->getAllClasses();
        log(Logger::L_INFO, "Gold classpath configured");

        log(Logger::L_DEBUG, "Creating test class loader");
        testLoader.reset(ClassLoader::create(testClasspath));
        log(Logger::L_INFO, "Test classpath configured");
        log(Logger::L_INFO, "Interface test starting");

        // A class that several gold files hold is a repeated key and is tested once per entry,
        // each time against the class that the map's lookup gives.
        const QStringList keys = goldClasses.keys();
        const qint64 count = keys.size();
        for (qint64 i = 0; i < count; ++i) {
            const QString& key = keys.at(int(i));
            log(Logger::L_INFO, QStringLiteral("Test %1% %2/%3 %4")
                                    .arg(QString::number((i + 1) * 100 / count),
                                         QString::number(i + 1), QString::number(count), key));
            TestResultGroup* classGroup = interfaceGroup->add_subgroup();
            testClass(classGroup, *goldClasses.value(key), testLoader.get());
        }
        log(Logger::L_INFO, "Interface test completed");
    } catch (const std::exception& e) {
        // Memory may be what ran out: what the test holds goes before the message is built, and
        // a message that still cannot be built is dropped, so the results gathered so far are
        // kept and stored.
        lookup.clear();
        goldLoader.reset();
        testLoader.reset();
        whole = false;
        try {
            log(Logger::L_ERROR, QStringLiteral("Test interrupted by exception - %1")
                                     .arg(QString::fromLocal8Bit(e.what())));
        } catch (const std::exception&) {
        }
    }

    if (runAccessTest) {
        UoPTest accessTest(root, testClasspath, accessClasspath);
        whole = accessTest.runTest() && whole;
    }

    lookup.clear();
    goldLoader.reset();
    testLoader.reset();
    return whole;
}

void InterfaceTest::testClass(TestResultGroup* group, const Class& gold, ClassLoader* testLoader)
{
    const TypeDescriptor goldName = gold.getName();
    const Class* test = testLoader->loadClass(goldName.descriptor);
    group->set_name(resultText(goldName.toString()));

    TestResultGroup* attributes = group->add_subgroup();
    attributes->set_name("Attributes");
    testAttributes(attributes->mutable_results(), gold, test);
    if (!test)
        return;

    TestResultGroup* fields = group->add_subgroup();
    fields->set_name("Fields");
    for (const Field* field : gold.getFields())
        testField(*fields->add_results(), *field, test);

    TestResultGroup* methods = group->add_subgroup();
    methods->set_name("Methods");
    for (const Method* method : gold.getMethods())
        testMethod(*methods->add_results(), *method, test);
}

void InterfaceTest::testAttributes(google::protobuf::RepeatedPtrField<TestResult>* results,
                                   const Class& gold, const Class* test)
{
    testClassExistence(*results->Add(), gold, test);
    if (!test)
        return;
    testClassVersion(*results->Add(), test);
    testClassAbstract(*results->Add(), gold, test);
    testClassIface(*results->Add(), gold, test);
    testClassFinal(*results->Add(), gold, test);
    testClassPermission(*results->Add(), gold, test);
    testClassParent(*results->Add(), gold, test);

    QSet<QString> testInterfaces;
    for (const TypeDescriptor& interface : test->getInterfaces())
        testInterfaces.insert(interface.descriptor);
    for (const TypeDescriptor& interface : gold.getInterfaces())
        testClassInterface(*results->Add(), interface, test, testInterfaces);
}

void InterfaceTest::testClassExistence(TestResult& result, const Class& gold, const Class* test)
{
    const QString name = gold.getName().toString();
    fill(result, QStringLiteral("Class %1 existence test").arg(name),
         QStringLiteral("Test if class %1 exists.").arg(name));
    judge(result, test != nullptr,
          QStringLiteral("%1 could not be loaded from the classpath").arg(name));
}

void InterfaceTest::testClassVersion(TestResult& result, const Class* test)
{
    fill(result, QStringLiteral("Java version %1 test").arg("8"),
         QStringLiteral("Java class file version must be %1 or less.").arg("8"));
    // The entry never names the version found: collecting servers match on this exact text.
    judge(result, test->getMajorVersion() <= maxMajorVersion,
          QStringLiteral("Found incorrect version %1").arg("INVALID"));
}

void InterfaceTest::testClassAbstract(TestResult& result, const Class& gold, const Class* test)
{
    const QString expected = abstractToString(gold.isAbstract());
    fill(result, QStringLiteral("Class %1 test").arg(expected),
         QStringLiteral("Test if class is %1.").arg(expected));
    judge(result, gold.isAbstract() == test->isAbstract(),
          QStringLiteral("Class should be %1 but is currently %2")
              .arg(expected, abstractToString(test->isAbstract())));
}

void InterfaceTest::testClassIface(TestResult& result, const Class& gold, const Class* test)
{
    const QString expected = ifaceToString(gold.isInterface());
    fill(result, QStringLiteral("Class file %1 test").arg(expected),
         QStringLiteral("Test if is %1.").arg(expected));
    judge(result, gold.isInterface() == test->isInterface(),
          QStringLiteral("Class file should be %1 but is currently %2")
              .arg(expected, ifaceToString(test->isInterface())));
}

void InterfaceTest::testClassFinal(TestResult& result, const Class& gold, const Class* test)
{
    const QString expected = finalToString(gold.isFinal());
    fill(result, QStringLiteral("Class %1 test").arg(expected),
         QStringLiteral("Test if class is %1.").arg(expected));
    judge(result, gold.isFinal() == test->isFinal(),
          QStringLiteral("Class should be %1 but is currently %2")
              .arg(expected, finalToString(test->isFinal())));
}

void InterfaceTest::testClassPermission(TestResult& result, const Class& gold, const Class* test)
{
    const Permission* expected = gold.getPermission();
    const Permission* actual = test->getPermission();
    fill(result, QStringLiteral("Class permission test"),
         QStringLiteral("Test if the class has proper access permission."));
    judge(result, expected->level == actual->level,
          QStringLiteral("Class should be %1 but is currently %2")
              .arg(expected->toString(), actual->toString()));
}

void InterfaceTest::testClassParent(TestResult& result, const Class& gold, const Class* test)
{
    const TypeDescriptor expected = gold.getParent();
    const TypeDescriptor actual = test->getParent();
    fill(result, QStringLiteral("Class parent %1 test").arg(expected.toString()),
         QStringLiteral("Test if the class has the proper parent class %1.")
             .arg(expected.toString()));
    judge(result, expected.descriptor == actual.descriptor,
          QStringLiteral("Parent should be %1 but is currently %2")
              .arg(expected.toString(), actual.toString()));
}

void InterfaceTest::testClassInterface(TestResult& result, const TypeDescriptor& interface,
                                       const Class* test, const QSet<QString>& testInterfaces)
{
    Q_UNUSED(test);
    const QString name = interface.toString();
    fill(result, QStringLiteral("Class interface %1 implementation test").arg(name),
         QStringLiteral("Test if the class has implemented interface %1.").arg(name));
    judge(result, testInterfaces.contains(interface.descriptor),
          QStringLiteral("Class should implement %1").arg(name));
}

void InterfaceTest::testField(TestResult& result, const Field& gold, const Class* test)
{
    const QString name = gold.getName();
    const TypeDescriptor type = gold.getType();
    const Field* actual = lookup.fieldByName(*test, name);
    log(Logger::L_INFO, QStringLiteral("Field name under test %1").arg(name));
    log(Logger::L_INFO, QStringLiteral("Field type under test %1").arg(type.toString()));

    const QString text = toString(gold);
    fill(result, QStringLiteral("Field %1 test").arg(text),
         QStringLiteral("Test if field %1 is properly declared.").arg(text));
    result.set_score(R_PASS);
    if (!actual) {
        result.set_score(R_FAIL);
        error(result.mutable_logs(), QStringLiteral("Not found"));
        return;
    }

    auto mismatch = [&result](const QString& entry) {
        result.set_score(R_FAIL);
        error(result.mutable_logs(), entry);
    };
    const TypeDescriptor actualType = actual->getType();
    if (type.descriptor != actualType.descriptor)
        mismatch(QStringLiteral("Field %1 should be of type %2 but is currently %3.")
                     .arg(name, type.toString(), actualType.toString()));
    const Permission* permission = gold.getPermission();
    const Permission* actualPermission = actual->getPermission();
    if (permission->level != actualPermission->level)
        mismatch(QStringLiteral("Field %1 should have %2 access but is currently %3.")
                     .arg(name, permission->toString(), actualPermission->toString()));
    if (gold.isFinal() != actual->isFinal())
        mismatch(QStringLiteral("Field %1 should be %2 but is currently %3.")
                     .arg(name, finalToString(gold.isFinal()), finalToString(actual->isFinal())));
    if (gold.isStatic() != actual->isStatic())
        mismatch(
            QStringLiteral("Field %1 should be %2 but is currently %3.")
                .arg(name, staticToString(gold.isStatic()), staticToString(actual->isStatic())));
}

void InterfaceTest::testMethod(TestResult& result, const Method& gold, const Class* test)
{
    const QString name = gold.getName();
    const Method* actual = lookup.methodByNameAndSignature(*test, name, gold.getSignature());

    const QString text = toString(gold);
    fill(result, QStringLiteral("Method %1 test").arg(text),
         QStringLiteral("Test if method %1 is properly declared.").arg(text));
    result.set_score(R_PASS);
    if (!actual) {
        result.set_score(R_FAIL);
        error(result.mutable_logs(), QStringLiteral("Not found"));
        error(result.mutable_logs(), QStringLiteral("Candidates:"));
        const QList<Method*> candidates = lookup.methodsByName(*test, name);
        for (const Method* candidate : candidates)
            error(result.mutable_logs(), toString(*candidate));
        if (candidates.isEmpty())
            error(result.mutable_logs(), QStringLiteral("[None]"));
        return;
    }

    auto mismatch = [&result](const QString& entry) {
        result.set_score(R_FAIL);
        error(result.mutable_logs(), entry);
    };
    const Permission* permission = gold.getPermission();
    const Permission* actualPermission = actual->getPermission();
    if (permission->level != actualPermission->level)
        mismatch(QStringLiteral("Method %1 should have %2 access but is currently %3.")
                     .arg(text, permission->toString(), actualPermission->toString()));
    if (gold.isFinal() != actual->isFinal())
        mismatch(QStringLiteral("Method %1 should be %2 but is currently %3.")
                     .arg(text, finalToString(gold.isFinal()), finalToString(actual->isFinal())));
    if (gold.isStatic() != actual->isStatic())
        mismatch(
            QStringLiteral("Method %1 should be %2 but is currently %3.")
                .arg(text, staticToString(gold.isStatic()), staticToString(actual->isStatic())));

    // Declaration order does not matter, repetitions do.
    const QList<TypeDescriptor> exceptions = sorted(gold.getExceptions());
    if (!sameTypes(sorted(actual->getExceptions()), exceptions)) {
        mismatch(QStringLiteral("Method %1 should throw the following exceptionbe.").arg(text));
        for (const TypeDescriptor& exception : exceptions)
            error(result.mutable_logs(), exception.toString());
    }
}
