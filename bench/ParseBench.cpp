// Parse plus dependency extraction in memory: every class file under a directory (java.base by
// default in bench/run-scale.sh) is read into memory once, then parsed by JavaClassFile::create
// and asked for its dependent classes, fields and methods, in that order, as the access test
// asks a class under test; on one core and on all cores. create alone checks every dependency
// source but builds the lists only when they are asked for, so its figure (printed as well) is
// not the cost of extraction. In the same run the ASM walk driver (AsmWalk.java, built with the
// bench when Debian's libasm-java is installed) walks every instruction of the same bytes in a
// warm JVM, and the ratios of the parse+deps figures to it are printed.
//
//   velm_parse_bench <class-directory> [max-seconds-per-figure]
//
// Each figure is the best pass of a series that runs until it is stable: at least five passes,
// and five passes in a row without a gain of more than 1%, or the time limit. The ASM driver
// uses the same rule.

#include "FileCheckLog.h"
#include "JavaClassFile.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct Pass
{
    double seconds = 0;
    int rejected = 0;
    qint64 dependencies = 0; // the entries of the three lists, summed over the classes
};

enum Work {
    CreateOnly,
    CreateAndLists // create, then the three dependency lists of every accepted class
};

// Parses the classes [next, end) handed out in small blocks, so that threads that meet large
// classes do not hold up the others.
Pass parseShare(const QVector<QByteArray>& classes, std::atomic<int>& next, Work work)
{
    const int block = 16;
    Pass share;
    for (;;) {
        const int first = next.fetch_add(block);
        if (first >= classes.size())
            return share;
        const int last = std::min(first + block, int(classes.size()));
        for (int i = first; i < last; ++i) {
            JavaClassFile* file = JavaClassFile::create(classes.at(i));
            if (file->checkLog.hasError) {
                ++share.rejected;
            } else if (work == CreateAndLists) {
                share.dependencies += file->getDependentClasses().size();
                share.dependencies += file->getDependentFields().size();
                share.dependencies += file->getDependentMethods().size();
            }
            delete file;
        }
    }
}

Pass parseAll(const QVector<QByteArray>& classes, int threads, Work work)
{
    QElapsedTimer timer;
    timer.start();
    std::atomic<int> next{0};
    Pass pass;
    if (threads <= 1) {
        pass = parseShare(classes, next, work);
    } else {
        std::vector<Pass> shares(static_cast<size_t>(threads));
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([&, t] { shares[size_t(t)] = parseShare(classes, next, work); });
        for (std::thread& thread : pool)
            thread.join();
        for (const Pass& share : shares) {
            pass.rejected += share.rejected;
            pass.dependencies += share.dependencies;
        }
    }
    pass.seconds = timer.nsecsElapsed() / 1e9;
    return pass;
}

// Best pass of a series run until stable (see the file comment).
Pass bestOf(const QVector<QByteArray>& classes, int threads, Work work, double maxSeconds,
            int* passes)
{
    QElapsedTimer total;
    total.start();
    Pass best;
    int sinceGain = 0;
    *passes = 0;
    for (;;) {
        const Pass pass = parseAll(classes, threads, work);
        ++*passes;
        if (*passes == 1 || pass.seconds < best.seconds * 0.99) {
            sinceGain = 0;
        } else {
            ++sinceGain;
        }
        if (*passes == 1 || pass.seconds < best.seconds)
            best = pass;
        if ((*passes >= 5 && sinceGain >= 5) || total.nsecsElapsed() / 1e9 > maxSeconds)
            return best;
    }
}

// Runs the ASM driver's warm walk; returns its best pass in seconds, or a negative value.
double asmWalk(const QString& directory, double maxSeconds, int* classes)
{
#ifdef VELM_ASM_CLASSPATH
    const QString home = QProcessEnvironment::systemEnvironment().value("JAVA_HOME");
    const QString javaProgram = home.isEmpty() ? QStringLiteral("java") : home + "/bin/java";
    QProcess java;
    java.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    java.start(javaProgram, {"-cp", QStringLiteral(VELM_ASM_CLASSPATH), "AsmWalk", "warm",
                             QString::number(maxSeconds), directory});
    if (!java.waitForFinished(-1) || java.exitStatus() != QProcess::NormalExit ||
        java.exitCode() != 0)
        return -1;
    // One line: "<classes> <bytes> <best-seconds> <passes> <instructions>".
    const QList<QByteArray> fields = java.readAllStandardOutput().simplified().split(' ');
    if (fields.size() < 3)
        return -1;
    *classes = fields.at(0).toInt();
    return fields.at(2).toDouble();
#else
    Q_UNUSED(directory)
    Q_UNUSED(maxSeconds)
    Q_UNUSED(classes)
    return -1;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <class-directory> [max-seconds-per-figure]\n", argv[0]);
        return 2;
    }
    const QString directory = QString::fromLocal8Bit(argv[1]);
    const double maxSeconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 30.0;

    QStringList paths;
    QDirIterator it(directory, {"*.class"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    QVector<QByteArray> classes;
    qint64 bytes = 0;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        classes.append(file.readAll());
        bytes += classes.last().size();
    }
    if (classes.isEmpty()) {
        std::fprintf(stderr, "no class files under %s\n", qPrintable(directory));
        return 1;
    }
    const double megabytes = bytes / 1e6;
    const int cores = std::max(1, QThread::idealThreadCount());
    std::printf("input: %d classes, %.1f MB, in memory\n", int(classes.size()), megabytes);

    // One line per figure; the dependency count shows that every pass did the same work.
    const auto measure = [&](const char* what, int threads, Work work) {
        int passes = 0;
        const Pass best = bestOf(classes, threads, work, maxSeconds, &passes);
        const double rate = classes.size() / best.seconds;
        std::printf("%-12s %d core%s %8.0f classes/s %7.1f MB/s (best of %d passes, %d rejected",
                    what, threads, threads == 1 ? ": " : "s:", rate, megabytes / best.seconds,
                    passes, best.rejected);
        if (work == CreateAndLists)
            std::printf(", %lld dependencies", static_cast<long long>(best.dependencies));
        std::printf(")\n");
        std::fflush(stdout);
        return rate;
    };
    const double oneRate = measure("parse+deps,", 1, CreateAndLists);
    const double allRate = measure("parse+deps,", cores, CreateAndLists);
    measure("create only,", 1, CreateOnly);
    measure("create only,", cores, CreateOnly);

    int asmClasses = 0;
    const double asmSeconds = asmWalk(directory, maxSeconds, &asmClasses);
    if (asmSeconds <= 0 || asmClasses != classes.size()) {
        std::printf("ASM walk: not available (needs Debian's libasm-java when the bench is "
                    "built, and java)\n");
        return 0;
    }
    const double asmRate = asmClasses / asmSeconds;
    std::printf("ASM ClassReader walk, warm JVM, 1 core: %8.0f classes/s %7.1f MB/s\n", asmRate,
                megabytes / asmSeconds);
    std::printf("ratio parse+deps, 1 core / ASM:  %.2f (goal >= 0.5)\n", oneRate / asmRate);
    std::printf("ratio parse+deps, %d cores / ASM: %.2f (goal >= 2)\n", cores, allRate / asmRate);
    return 0;
}
