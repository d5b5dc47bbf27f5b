#pragma once

#include "Classpath.h"
#include "MemberLookup.h"
#include "TestResult.pb.h"

#include <QSet>
#include <QString>
#include <QtGlobal>

class Class;
class ClassLoader;
class Field;
class Method;
class TypeDescriptor;

// "final" or "non-final".
QString finalToString(bool isFinal);
// A field as results name it: its printed type and its name ('int count').
QString toString(const Field& field);
// A method as results name it: return type, name and parameters ('int compare(int, int)').
QString toString(const Method& method);

// Checks that the code under test declares every class of a reference API (a classpath of gold
// files) the way the reference does, and optionally runs the access test afterwards.
//
// The results go under the given root as the group "Interface Results" (then "Access Results");
// the tree belongs to the caller and outlives the test. Outcomes of checks are data in the tree;
// progress goes to the log. runTest is meant to be called once per object.
class InterfaceTest
{
public:
    // Runs the access test of `accessClasspath` after the interface test.
    InterfaceTest(TestResultGroup* root, const Classpath& testClasspath,
                  const Classpath& goldClasspath, const Classpath& accessClasspath);
    // The interface test alone.
    InterfaceTest(TestResultGroup* root, const Classpath& testClasspath,
                  const Classpath& goldClasspath);
    ~InterfaceTest();

    // False when an exception interrupted the interface test or the access test: the tree then
    // holds only what was gathered before it, and the interruption has been logged at ERROR.
    bool runTest();

private:
    void testClass(TestResultGroup* group, const Class& gold, ClassLoader* testLoader);
    void testAttributes(google::protobuf::RepeatedPtrField<TestResult>* results, const Class& gold,
                        const Class* test);

    void testClassExistence(TestResult& result, const Class& gold, const Class* test);
    void testClassVersion(TestResult& result, const Class* test);
    void testClassAbstract(TestResult& result, const Class& gold, const Class* test);
    void testClassIface(TestResult& result, const Class& gold, const Class* test);
    void testClassFinal(TestResult& result, const Class& gold, const Class* test);
    void testClassPermission(TestResult& result, const Class& gold, const Class* test);
    void testClassParent(TestResult& result, const Class& gold, const Class* test);
    // `testInterfaces` holds the descriptor texts of the interfaces that `test` lists itself.
    void testClassInterface(TestResult& result, const TypeDescriptor& interface, const Class* test,
                            const QSet<QString>& testInterfaces);

    void testField(TestResult& result, const Field& gold, const Class* test);
    void testMethod(TestResult& result, const Method& gold, const Class* test);

    bool runAccessTest;
    Classpath testClasspath;
    Classpath goldClasspath;
    Classpath accessClasspath;
    TestResultGroup* root;
    // Member index of the classes under test; valid only during runTest.
    MemberLookup lookup;

    Q_DISABLE_COPY(InterfaceTest)
};
