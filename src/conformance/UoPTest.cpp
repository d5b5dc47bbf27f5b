#include "UoPTest.h"

#include "Class.h"
#include "ClassLoader.h"
#include "DepField.h"
#include "DepMethod.h"
#include "Field.h"
#include "Logger.h"
#include "Method.h"
#include "Permission.h"
#include "ResultLog.h"
#include "TypeDescriptor.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <QVector>

#include <exception>
#include <memory>

namespace {

void log(Logger::Level level, const QString& text)
{
    emit Logger::logger->log(level, text);
}

// Appends one result with its single entry, filled in the order the tree's readers expect.
void addResult(TestResultGroup& group, const QString& name, TestScore score,
               const QString& description, LogLevel level, const QString& entry)
{
    TestResult* result = group.add_results();
    result->set_name(resultText(name));
    result->set_score(score);
    result->set_description(resultText(description));
    if (level == L_WARNING)
        warning(result->mutable_logs(), entry);
    else
        error(result->mutable_logs(), entry);
}

// Looks for a member in the interfaces of `start`, depth first in declaration order: an
// interface, then its own super-interfaces, before the next interface. `onSearch` runs each time
// the interface list of a class is searched. The walk keeps its own stack rather than recursing,
// so a deep interface chain cannot exhaust the thread's stack, and it enters no class twice, so
// a looping or heavily shared interface graph costs at most one look per class.
template <typename Member, typename Find, typename OnSearch>
Member* searchInterfaces(ClassLoader& loader, const Class* start, QSet<const Class*>& visited,
                         Find find, OnSearch onSearch)
{
    struct Frame
    {
        const Class* cls;
        int next;
    };
    QVector<Frame> stack;
    onSearch();
    stack.append({start, 0});
    while (!stack.isEmpty()) {
        Frame& top = stack.last();
        const QList<TypeDescriptor>& interfaces = top.cls->getInterfaces();
        if (top.next >= interfaces.size()) {
            stack.removeLast();
            continue;
        }
        const QString descriptor = interfaces.at(top.next++).descriptor;
        const Class* interface = loader.loadClass(descriptor);
        if (!interface || visited.contains(interface))
            continue;
        visited.insert(interface);
        if (Member* member = find(*interface))
            return member;
        onSearch();
        stack.append({interface, 0});
    }
    return nullptr;
}

// Looks for a member up the superclass chain of `start`: each superclass, then its interfaces,
// then the next superclass. `onLevel` runs once for every class whose superclass is asked for.
// A chain that comes back to a class already searched ends there.
template <typename Member, typename Find, typename SearchInterfaces, typename OnLevel>
Member* searchParents(ClassLoader& loader, const Class* start, QSet<const Class*>& visited,
                      Find find, SearchInterfaces searchInterfacesOf, OnLevel onLevel)
{
    const Class* current = start;
    for (;;) {
        onLevel();
        if (!current->hasParent())
            return nullptr;
        const TypeDescriptor parentName = current->getParent();
        const Class* parent = loader.loadClass(parentName.descriptor);
        if (!parent)
            return nullptr;
        // A class that claims a parent but names none: the empty descriptor prints so.
        if (parentName.toString() == QLatin1String("ERROR "))
            return nullptr;
        if (visited.contains(parent))
            return nullptr;
        visited.insert(parent);
        if (Member* member = find(*parent))
            return member;
        if (Member* member = searchInterfacesOf(parent))
            return member;
        current = parent;
    }
}

// Classes under test whose dependencies the access loader is told about at a time: enough to
// keep every core busy, few enough that what it reads ahead stays small.
const int prefetchWindow = 64;

// The classes that testing a window of classes looks up first: the dependent classes and the
// owners of the dependent fields and methods, in the order the test asks for them.
template <typename UsesT> QStringList ownersUsedBy(const QList<UsesT>& window)
{
    QStringList names;
    for (const UsesT& uses : window) {
        for (const TypeDescriptor& dependency : uses.classes)
            names.append(dependency.descriptor);
        for (const DepField& dependency : uses.fields)
            names.append(dependency.owner.descriptor);
        for (const DepMethod& dependency : uses.methods)
            names.append(dependency.owner.descriptor);
    }
    return names;
}

} // namespace

UoPTest::UoPTest(TestResultGroup* root, const Classpath& testClasspath,
                 const Classpath& apiClasspath)
    : testClasspath(testClasspath), apiClasspath(apiClasspath), root(root)
{
}

UoPTest::~UoPTest() = default;

bool UoPTest::runTest()
{
    // The member index holds classes of an earlier run's loaders if that run was left by an
    // exception that is no std::exception; start clean.
    lookup.clear();
    TestResultGroup* accessGroup = root->add_subgroup();
    accessGroup->set_name("Access Results");

    std::unique_ptr<ClassLoader> accessLoader;
    std::unique_ptr<ClassLoader> testLoader;
    bool whole = true;
    try {
        // The allowed API comes first, so the code under test cannot replace any of it.
        Classpath accessClasspath;
        accessClasspath.entries.append(apiClasspath.entries);
        accessClasspath.entries.append(testClasspath.entries);

        log(Logger::L_DEBUG, "Creating access class loader");
        // Not loaded whole: only the part of the API that the code under test uses gets read.
        accessLoader.reset(ClassLoader::create(accessClasspath));
        log(Logger::L_INFO, "Gold classpath configured");

        log(Logger::L_DEBUG, "Creating test class loader");
        testLoader.reset(ClassLoader::create(testClasspath));
        testLoader->loadAllClasses();
        log(Logger::L_INFO, "Test classpath configured");
        log(Logger::L_INFO, "Access test starting");

        // A class that several entries of the classpath hold is a repeated key and is tested once
        // per entry, each time as the class that the map's lookup gives.
        const QMap<QString, Class*> classes = testLoader->getAllClasses();
        // An empty result would read as a pass; a delivery that yields no class was not tested.
        if (classes.isEmpty())
            log(Logger::L_ERROR,
                QStringLiteral("No classes to test in %1").arg(testClasspath.toString()));
        const QStringList keys = classes.keys();
        const qint64 count = classes.size();
        // The uses of the window under test and of the next one: each class is asked for them
        // once, for reading ahead and for its test.
        const auto usesOf = [&](qint64 first) {
            QList<Uses> window;
            for (qint64 j = first; j < qMin(count, first + prefetchWindow); ++j) {
                const Class* cls = classes.value(keys.at(int(j)));
                window.append(Uses{cls->getDependentClasses(), cls->getDependentFields(),
                                   cls->getDependentMethods()});
            }
            return window;
        };
        QList<Uses> current;
        QList<Uses> next;
        for (qint64 i = 0; i < count; ++i) {
            // The access loader reads the classes of the next window on the other cores while
            // this window is tested.
            if (i == 0) {
                next = usesOf(0);
                accessLoader->prefetchClasses(ownersUsedBy(next));
            }
            if (i % prefetchWindow == 0) {
                current.swap(next);
                next = usesOf(i + prefetchWindow);
                accessLoader->prefetchClasses(ownersUsedBy(next));
            }
            const QString& key = keys.at(int(i));
            const Class* cls = classes.value(key);
            TestResultGroup* classGroup = accessGroup->add_subgroup();
            log(Logger::L_INFO,
                QStringLiteral("Test %1% %2/%3 %4")
                    .arg(QString::number((i + 1) * 100 / count), QString::number(i + 1),
                         QString::number(count), cls->getName().toString()));
            classGroup->set_name(
                resultText(TypeDescriptor::fromClassDescriptorName(key).toString()));
            testClass(*classGroup, *accessLoader, *cls, current.at(int(i % prefetchWindow)));
        }
        log(Logger::L_INFO, "Access test completed");
    } catch (const std::exception& e) {
        // Memory may be what ran out: what the test holds goes before the message is built, and
        // a message that still cannot be built is dropped, so the results gathered so far are
        // kept and stored.
        lookup.clear();
        accessLoader.reset();
        testLoader.reset();
        whole = false;
        try {
            log(Logger::L_ERROR, QStringLiteral("Test interrupted by exception - %1")
                                     .arg(QString::fromLocal8Bit(e.what())));
        } catch (const std::exception&) {
        }
    }

    lookup.clear();
    accessLoader.reset();
    testLoader.reset();
    return whole;
}

void UoPTest::testClass(TestResultGroup& group, ClassLoader& loader, const Class& cls,
                        const Uses& uses)
{
    for (const TypeDescriptor& dependency : uses.classes)
        testAccessClass(group, loader, cls, dependency);
    for (const DepField& dependency : uses.fields)
        testAccessField(group, loader, cls, dependency);
    for (const DepMethod& dependency : uses.methods)
        testAccessMethod(group, loader, cls, dependency);
}

void UoPTest::testAccessClass(TestResultGroup& group, ClassLoader& loader, const Class& from,
                              const TypeDescriptor& dependency)
{
    const QString name = dependency.toString();
    const Class* target = loader.loadClass(dependency.descriptor);
    if (!target) {
        addResult(
            group, QStringLiteral("Class %1 existence test").arg(name), R_FAIL,
            QStringLiteral("Access to class %1 was requested. Checking for existence.").arg(name),
            L_ERROR, QStringLiteral("Class not found"));
        return;
    }

    if (Permission::accessible(loader, from, *target))
        log(Logger::L_INFO,
            QStringLiteral(" = Class %1 exists and is reachable based on access permission.")
                .arg(name));
    else
        addResult(
            group, QStringLiteral("Class %1 access test").arg(name), R_FAIL,
            QStringLiteral("Access to class %1 was requested. Checking for permission.").arg(name),
            L_ERROR,
            QStringLiteral("Class not reachable based on access permissions %1").arg(name));

    if (target->getName().className.startsWith(QLatin1String("java.lang.reflect")))
        addResult(group, QStringLiteral("Class %1 reflection informational test").arg(name), R_PASS,
                  QStringLiteral("Access to class from java.lang.reflect was requested. "
                                 "Reflection is allowed by VELM. This warning is purely "
                                 "informational."),
                  L_WARNING, QStringLiteral("Class uses reflection %1").arg(name));
}

void UoPTest::testAccessField(TestResultGroup& group, ClassLoader& loader, const Class& from,
                              const DepField& dependency)
{
    const QString ownerName = dependency.owner.toString();
    const QString& name = dependency.name;
    const QString request =
        QStringLiteral("Access to field %1 in class %2 was requested. ").arg(name, ownerName);

    const Class* owner = loader.loadClass(dependency.owner.descriptor);
    if (!owner) {
        addResult(group, QStringLiteral("Class %1 existence test").arg(ownerName), R_FAIL,
                  request + QStringLiteral("Checking for class existence."), L_ERROR,
                  QStringLiteral("Class not found"));
        return;
    }

    Visited visited{owner};
    const Field* field = lookup.fieldByName(*owner, name);
    if (!field)
        field = checkInterfaceForField(loader, owner, dependency, visited);
    if (!field)
        field = checkParentForField(loader, owner, dependency, visited);
    if (!field) {
        addResult(group, QStringLiteral("Field %1 existence test").arg(name), R_FAIL,
                  request + QStringLiteral("Checking for field existence."), L_ERROR,
                  QStringLiteral("Field not found"));
        return;
    }

    // Access is judged against the class the reference names, wherever the field was declared.
    if (Permission::accessible(loader, from, *owner, *field))
        log(Logger::L_INFO,
            QStringLiteral(" = Field %1 in class %2 test passes.").arg(name, ownerName));
    else
        addResult(group, QStringLiteral("Field %1 permission test").arg(name), R_FAIL,
                  request + QStringLiteral("Checking for field permission."), L_ERROR,
                  QStringLiteral("Permission denied"));
}

void UoPTest::testAccessMethod(TestResultGroup& group, ClassLoader& loader, const Class& from,
                               const DepMethod& dependency)
{
    const QString ownerName = dependency.owner.toString();
    const QString& name = dependency.name;
    const QString request = QStringLiteral("Access to method %1 %2 in class %3 was requested. ")
                                .arg(name, dependency.signature.descriptor, ownerName);

    const Class* owner = loader.loadClass(dependency.owner.descriptor);
    if (!owner) {
        addResult(group, QStringLiteral("Class %1 existence test").arg(ownerName), R_FAIL,
                  request + QStringLiteral("Checking for class existence."), L_ERROR,
                  QStringLiteral("Class not found"));
        return;
    }

    Visited visited{owner};
    const Method* method = lookup.methodByNameAndSignature(*owner, name, dependency.signature);
    if (!method)
        method = checkInterfaceForMethod(loader, owner, dependency, visited);
    if (!method)
        method = checkParentForMethod(loader, owner, dependency, visited);
    if (!method) {
        addResult(group, QStringLiteral("Method %1 existence test").arg(name), R_FAIL,
                  request + QStringLiteral("Checking for method existence."), L_ERROR,
                  QStringLiteral("Method not found"));
        return;
    }

    if (method->isNative())
        addResult(group, QStringLiteral("Method %1 native test").arg(name), R_INSPECT,
                  request + QStringLiteral("Checking if method is native."), L_WARNING,
                  QStringLiteral("Method is native. Inspection required to determine "
                                 "conformance of JNI calls."));

    if (!Permission::accessible(loader, from, *owner, *method)) {
        addResult(group, QStringLiteral("Method %1 permission test").arg(name), R_FAIL,
                  request + QStringLiteral("Checking for method permission."), L_ERROR,
                  QStringLiteral("Permission denied"));
        return;
    }

    if (method->requireInspection())
        addResult(group, QStringLiteral("Method %1 JNI test").arg(name), R_INSPECT,
                  request + QStringLiteral("Checking if method is a JNI call."), L_WARNING,
                  QStringLiteral("Inspection required to determine conformance of JNI calls."));
    if (method->signaturePolymorphic())
        addResult(group, QStringLiteral("Method %1 signature polymorphic test").arg(name),
                  R_INSPECT,
                  request + QStringLiteral("Checking if method is a signature polymorphic method."),
                  L_WARNING,
                  QStringLiteral(
                      "Inspection required because method is a signature polymorphic method."));
    log(Logger::L_INFO,
        QStringLiteral(" = Method %1 in class %2 is called correctly.").arg(name, ownerName));
}

Field* UoPTest::checkInterfaceForField(ClassLoader& loader, const Class* start,
                                       const DepField& dependency, Visited& visited)
{
    return searchInterfaces<Field>(
        loader, start, visited,
        [&](const Class& cls) { return lookup.fieldByName(cls, dependency.name); }, [] {});
}

Field* UoPTest::checkParentForField(ClassLoader& loader, const Class* start,
                                    const DepField& dependency, Visited& visited)
{
    return searchParents<Field>(
        loader, start, visited,
        [&](const Class& cls) { return lookup.fieldByName(cls, dependency.name); },
        [&](const Class* parent) {
            return checkInterfaceForField(loader, parent, dependency, visited);
        },
        [] {});
}

Method* UoPTest::checkInterfaceForMethod(ClassLoader& loader, const Class* start,
                                         const DepMethod& dependency, Visited& visited)
{
    return searchInterfaces<Method>(
        loader, start, visited,
        [&](const Class& cls) {
            return lookup.methodByNameAndSignature(cls, dependency.name, dependency.signature);
        },
        [&] {
            log(Logger::L_INFO,
                QStringLiteral("UoPTest::checkInterfaceForMethod ==> %1").arg(dependency.name));
        });
}

Method* UoPTest::checkParentForMethod(ClassLoader& loader, const Class* start,
                                      const DepMethod& dependency, Visited& visited)
{
    return searchParents<Method>(
        loader, start, visited,
        [&](const Class& cls) {
            return lookup.methodByNameAndSignature(cls, dependency.name, dependency.signature);
        },
        [&](const Class* parent) {
            return checkInterfaceForMethod(loader, parent, dependency, visited);
        },
        [&] {
            log(Logger::L_INFO,
                QStringLiteral("UoPTest::checkParentForMethod ==> %1").arg(dependency.name));
        });
}
