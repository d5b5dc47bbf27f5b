#include "Tests.h"

#include "Classpath.h"
#include "InterfaceTest.h"
#include "Options.h"
#include "RUtil.h"
#include "TestResult.pb.h"
#include "UoPTest.h"

#include <memory>

namespace {

const char* const J2EE = "data/j2ee8.javagold";
const char* const J2SE = "data/j2se8.javagold";
const char* const IOS = "data/IOS.javagold";
const char* const COMMON = "data/VELM_common.javagold";
const char* const CORBA = "data/FormerlyCORBA.javagold";
const char* const TSS_IND = "data/TSS_type_independent.javagold";
const char* const TSS_ABS = "data/TSS_type_abstraction.javagold";

// The root is held so that it goes even when a test lets an exception out; nothing is stored then.
// Every run starts here, so the results of an earlier run go here too: a run that ends without
// storing its results leaves none that would pass for its own.
std::unique_ptr<TestResultGroup> createResultsTreeRootNode()
{
    discardResults();
    std::unique_ptr<TestResultGroup> root(new TestResultGroup());
    root->set_name("Results Tree");
    return root;
}

// The start of every list that holds the Java platform: J2EE only under the general profile.
Classpath javaPlatform()
{
    Classpath list;
    if (Options::opts->profile == 1)
        list.append(J2EE);
    list.append(J2SE);
    return list;
}

// What the code of an implementing segment may use besides its own classes: the platform, the
// common classes and the former CORBA packages.
Classpath platformCommonCorba()
{
    Classpath list = javaPlatform();
    list.append(COMMON);
    list.append(CORBA);
    return list;
}

// A classpath that is already a list goes in entry by entry; its entries are not split again.
void appendWhole(Classpath& list, const Classpath& classpath)
{
    list.entries.append(classpath.entries);
}

// The exit status of a run: results that were cut short by an exception, or that could not be
// written, would read as a test that was done; verdicts do not count.
int runStatus(bool testWhole, bool resultsStored)
{
    return testWhole && resultsStored ? 0 : 1;
}

// The interface test followed by the access test, for the segments whose code implements an API
// and may use the platform, the common classes and the code's own classes.
int runInterfaceAndAccess(const Classpath& classpath, const Classpath& gold, Classpath access,
                          const Classpath& frameworkClasspath)
{
    appendWhole(access, classpath);
    appendWhole(access, frameworkClasspath);

    std::unique_ptr<TestResultGroup> root = createResultsTreeRootNode();
    InterfaceTest test(root.get(), classpath, gold, access);
    const bool whole = test.runTest();
    return runStatus(whole, store(*root));
}

int runAccess(const Classpath& classpath, const Classpath& api)
{
    std::unique_ptr<TestResultGroup> root = createResultsTreeRootNode();
    UoPTest test(root.get(), classpath, api);
    const bool whole = test.runTest();
    return runStatus(whole, store(*root));
}

} // namespace

int Tests::oss(const Classpath& classpath)
{
    const Classpath gold = javaPlatform();

    std::unique_ptr<TestResultGroup> root = createResultsTreeRootNode();
    InterfaceTest test(root.get(), classpath, gold);
    const bool whole = test.runTest();
    return runStatus(whole, store(*root));
}

int Tests::ios(const Classpath& classpath, const Classpath& frameworkClasspath)
{
    Classpath gold;
    gold.append(IOS);

    Classpath access = platformCommonCorba();
    return runInterfaceAndAccess(classpath, gold, access, frameworkClasspath);
}

int Tests::tssabsiface(const Classpath& classpath, const Classpath& frameworkClasspath)
{
    Classpath gold;
    gold.append(TSS_IND);
    gold.append(TSS_ABS);

    Classpath access = platformCommonCorba();
    return runInterfaceAndAccess(classpath, gold, access, frameworkClasspath);
}

int Tests::tssabs(const Classpath& classpath, const QString& tssGold,
                  const Classpath& frameworkClasspath)
{
    Classpath gold;
    gold.append(TSS_IND);
    gold.append(tssGold);

    Classpath access = platformCommonCorba();
    access.append(TSS_ABS);
    return runInterfaceAndAccess(classpath, gold, access, frameworkClasspath);
}

int Tests::tss(const Classpath& classpath, const QString& tssGold,
               const Classpath& frameworkClasspath)
{
    Classpath gold;
    gold.append(TSS_IND);
    gold.append(tssGold);

    Classpath access = platformCommonCorba();
    return runInterfaceAndAccess(classpath, gold, access, frameworkClasspath);
}

int Tests::pcs(const Classpath& classpath, const QString& tssGold,
               const Classpath& frameworkClasspath)
{
    Classpath api = javaPlatform();
    api.append(IOS);
    api.append(COMMON);
    api.append(CORBA);
    api.append(TSS_IND);
    api.append(tssGold);
    appendWhole(api, frameworkClasspath);
    return runAccess(classpath, api);
}

int Tests::pss(const Classpath& classpath, const QString& tssGold,
               const Classpath& frameworkClasspath)
{
    Classpath api = javaPlatform();
    api.append(COMMON);
    api.append(CORBA);
    api.append(IOS);
    api.append(TSS_IND);
    api.append(tssGold);
    appendWhole(api, frameworkClasspath);
    return runAccess(classpath, api);
}
