// Gold-file throughput: builds a gold file from a directory of class files (by default the
// JDK's java.base, extracted with jimage), then times reading it and defining every class of it
// through the gold-file loader. Run by hand; prints its figures.
//
//   velm_gold_bench [class-directory]

#include "Class.h"
#include "Classpath.h"
#include "JavaTypes.pb.h"
#include "JdkTools.h"
#include "Logger.h"
#include "Pretest.h"
#include "ProtoClass.h"
#include "ProtoClassLoader.h"
#include "ProtoIO.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

double ms(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    Logger::init(work.filePath("log"));

    QString classes = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (classes.isEmpty())
        classes = JdkTools::extractJavaBase(work.filePath("jdk"));
    if (classes.isEmpty() || !QFileInfo(classes).isDir()) {
        std::fprintf(stderr, "no class directory\n");
        return 1;
    }

    const QString gold = work.filePath("bench.javagold");
    Classpath classpath;
    classpath.append(classes);
    QElapsedTimer timer;
    timer.start();
    Pretest::createGold(classpath, gold);
    const double buildMs = ms(timer);

    timer.restart();
    JClasses* raw = nullptr;
    ProtoIO::read(raw, gold);
    const double readMs = ms(timer);
    std::unique_ptr<JClasses> message(raw);
    const int count = message->classes_size();

    timer.restart();
    int defined = 0;
    {
        ProtoClassLoader loader(gold);
        loader.loadAllClasses();
        defined = loader.getAllClasses().size();
    }
    const double loadAllMs = ms(timer);

    // What every lookup costs without an index: a scan of the messages up to the first match.
    timer.restart();
    long long compared = 0;
    for (const JClass& wanted : message->classes()) {
        const QString name = ProtoClass::text(wanted.name());
        for (const JClass& candidate : message->classes()) {
            ++compared;
            if (ProtoClass::text(candidate.name()) == name)
                break;
        }
    }
    const double scanMs = ms(timer);

    std::printf("classes directory:        %s\n", qPrintable(classes));
    std::printf("gold file:                %lld bytes, %d classes\n",
                static_cast<long long>(QFileInfo(gold).size()), count);
    std::printf("build (createGold):       %10.1f ms\n", buildMs);
    std::printf("read (ProtoIO::read):     %10.1f ms\n", readMs);
    std::printf("gold loader, read + define all (%d classes): %10.1f ms, %.2f us per class\n",
                defined, loadAllMs, count ? loadAllMs * 1000 / count : 0.0);
    std::printf("lookups by linear scan, for comparison (%lld name comparisons): %10.1f ms\n",
                compared, scanMs);
    return 0;
}
