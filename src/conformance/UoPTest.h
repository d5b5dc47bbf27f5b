#pragma once

#include "Classpath.h"
#include "MemberLookup.h"
#include "TestResult.pb.h"

#include "DepField.h"
#include "DepMethod.h"
#include "TypeDescriptor.h"

#include <QList>
#include <QSet>
#include <QtGlobal>

class Class;
class ClassLoader;
class DepField;
class DepMethod;
class Field;
class Method;
class TypeDescriptor;

// The access test: checks that every class, field and method that the code under test uses
// exists in the allowed API (followed by the code under test itself) and is accessible to the
// class that uses it. Calls that need a person's judgement are scored for inspection; uses of
// java.lang.reflect get an informational result.
//
// The results go under the given root as one group "Access Results"; the tree belongs to the
// caller. Only failures, inspections and informational results are stored; each pass is one
// INFO line in the log. runTest is meant to be called once per object.
class UoPTest
{
public:
    UoPTest(TestResultGroup* root, const Classpath& testClasspath, const Classpath& apiClasspath);
    ~UoPTest();

    // Lets no std::exception escape: one is logged, the results gathered so far stay, and the
    // result is false.
    bool runTest();

private:
    // Classes already looked at within the search for one member. A malformed hierarchy can
    // loop; a class met again counts as not holding the member.
    using Visited = QSet<const Class*>;

    // What one class under test uses, asked of it once.
    struct Uses
    {
        QList<TypeDescriptor> classes;
        QList<DepField> fields;
        QList<DepMethod> methods;
    };

    void testClass(TestResultGroup& group, ClassLoader& loader, const Class& cls, const Uses& uses);
    void testAccessClass(TestResultGroup& group, ClassLoader& loader, const Class& from,
                         const TypeDescriptor& dependency);
    void testAccessField(TestResultGroup& group, ClassLoader& loader, const Class& from,
                         const DepField& dependency);
    void testAccessMethod(TestResultGroup& group, ClassLoader& loader, const Class& from,
                          const DepMethod& dependency);

    // The interfaces of `start`, depth first in declaration order (an interface, then its own
    // super-interfaces, before the next one).
    Field* checkInterfaceForField(ClassLoader& loader, const Class* start,
                                  const DepField& dependency, Visited& visited);
    // The superclasses of `start`, nearest first, each followed by its interfaces.
    Field* checkParentForField(ClassLoader& loader, const Class* start, const DepField& dependency,
                               Visited& visited);
    Method* checkInterfaceForMethod(ClassLoader& loader, const Class* start,
                                    const DepMethod& dependency, Visited& visited);
    Method* checkParentForMethod(ClassLoader& loader, const Class* start,
                                 const DepMethod& dependency, Visited& visited);

    Classpath testClasspath;
    Classpath apiClasspath;
    TestResultGroup* root;
    // Member index of the allowed API's classes; valid only during runTest.
    MemberLookup lookup;

    Q_DISABLE_COPY(UoPTest)
};
