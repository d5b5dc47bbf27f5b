// Access-test throughput: the JDK's java.base classes (as one JAR made by the jar tool from a
// jimage extract) tested against a gold file built from the same classes. Run by hand; prints
// classes per second.
//
//   velm_access_bench [java.base.jar]

#include "Classpath.h"
#include "JdkTools.h"
#include "Logger.h"
#include "Pretest.h"
#include "TestResult.pb.h"
#include "UoPTest.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Extracts java.base from the running JDK's module image and packs it as one JAR.
QString makeJavaBaseJar(const QString& workDir)
{
    const QString classes = JdkTools::extractJavaBase(workDir + "/extract");
    const QString jar = workDir + "/java.base.jar";
    if (classes.isEmpty() || !JdkTools::run("jar", {"cf", jar, "-C", classes, "."}))
        return QString();
    return jar;
}

double seconds(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e9;
}

void countResults(const TestResultGroup& group, int counts[4])
{
    for (const TestResult& result : group.results())
        ++counts[result.score()];
    for (const TestResultGroup& subgroup : group.subgroup())
        countResults(subgroup, counts);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    Logger::init(work.path());

    QString jar = app.arguments().value(1);
    if (jar.isEmpty()) {
        QElapsedTimer timer;
        timer.start();
        jar = makeJavaBaseJar(work.path());
        if (jar.isEmpty())
            return 1;
        std::printf("made %s in %.1f s\n", qPrintable(jar), seconds(timer));
    }

    Classpath classes;
    classes.append(jar);
    const QString gold = work.path() + "/java.base.javagold";
    QElapsedTimer timer;
    timer.start();
    Pretest::createGold(classes, gold);
    std::printf("gold file built in %.2f s (%lld bytes)\n", seconds(timer), QFileInfo(gold).size());

    Classpath api;
    api.append(gold);
    TestResultGroup root;
    timer.restart();
    UoPTest test(&root, classes, api);
    test.runTest();
    const double elapsed = seconds(timer);

    const int tested = root.subgroup_size() == 1 ? root.subgroup(0).subgroup_size() : 0;
    int counts[4] = {0, 0, 0, 0};
    countResults(root, counts);
    std::printf("access test: %d classes in %.2f s, %.0f classes/s\n", tested, elapsed,
                elapsed > 0 ? tested / elapsed : 0.0);
    std::printf("results: %d informational, %d failed, %d for inspection\n", counts[R_PASS],
                counts[R_FAIL], counts[R_INSPECT]);
    std::printf("log.txt: %lld bytes\n", QFileInfo(work.path() + "/log.txt").size());
    return 0;
}
