// Parse plus dependency extraction in memory: every class file under a directory (java.base by
// default in bench/run-scale.sh) is read into memory once, then parsed by JavaClassFile::create
// and asked for its dependent classes, fields and methods, in that order, as the access test
// asks a class under test; on one core and on all cores. create alone checks every dependency
// source but builds the lists only when they are asked for, so its figure (printed as well) is
// not the cost of extraction. In the same run the ASM walk driver (AsmWalk.java, built with the
// bench when Debian's libasm-java is installed) walks every instruction of the same bytes in a
// warm JVM, and the ratios of the parse+deps figures to it are printed.
//
//   velm_parse_bench <class-directory> [rounds] [max-warm-seconds]
//
// The JVM first walks the classes until its figure settles (see AsmWalk.java). Then every
// figure, ASM's among them, is measured once per round for the given number of rounds (default
// 25), the figures of one round right after each other, so that a busy neighbour slows both
// sides of a ratio alike. Each figure is the median of its rounds, with the quartiles beside
// it; each ratio is the median of the rounds' own ratios, with their quartiles.

#include "FileCheckLog.h"
#include "JavaClassFile.h"
#include "JdkTools.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
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

// A series' median and quartiles, interpolated between neighbouring values.
struct Spread
{
    double median = 0;
    double lower = 0;
    double upper = 0;
};

Spread spreadOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const auto quantile = [&values](double q) {
        const double at = q * double(values.size() - 1);
        const size_t below = size_t(at);
        const size_t above = std::min(below + 1, values.size() - 1);
        return values[below] + (at - double(below)) * (values[above] - values[below]);
    };
    Spread spread;
    if (values.empty())
        return spread;
    spread.median = quantile(0.5);
    spread.lower = quantile(0.25);
    spread.upper = quantile(0.75);
    return spread;
}

// The ASM driver in its serve mode: one JVM, warmed once, that walks the classes again at each
// request.
class AsmPeer
{
public:
    AsmPeer() = default;
    // Ends the JVM: it stops at the end of its input.
    ~AsmPeer()
    {
        if (java.state() == QProcess::NotRunning)
            return;
        java.closeWriteChannel();
        if (!java.waitForFinished(10000))
            java.kill();
        java.waitForFinished(-1);
    }

    // Starts the JVM on the classes under `directory` and waits until it is warm; false when the
    // driver is not built or does not answer.
    bool start(const QString& directory, double maxWarmSeconds)
    {
#ifdef VELM_ASM_CLASSPATH
        java.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // One core means one core: the serial collector does its work in the walking process's
        // own time, where the default one would take other cores for it. A fixed heap keeps the
        // collector's pace the same from pass to pass.
        java.start(JdkTools::javaHome() + "/bin/java",
                   {"-XX:+UseSerialGC", "-Xms1g", "-Xmx1g", "-cp",
                    QStringLiteral(VELM_ASM_CLASSPATH), "AsmWalk", "serve",
                    QString::number(maxWarmSeconds), directory});
        if (!java.waitForStarted(-1))
            return false;
        // "<classes> <bytes> <warm-passes> <settled|unsettled> <instructions>"
        const QList<QByteArray> fields = readLine().split(' ');
        if (fields.size() < 5)
            return false;
        classes = fields.at(0).toInt();
        warmPasses = fields.at(2).toInt();
        settled = fields.at(3) == "settled";
        return classes > 0;
#else
        Q_UNUSED(directory)
        Q_UNUSED(maxWarmSeconds)
        return false;
#endif
    }

    // The seconds of one more walk over all the classes; negative when the JVM does not answer.
    double pass()
    {
        java.write("pass\n");
        java.waitForBytesWritten(-1);
        bool ok = false;
        const double seconds = readLine().toDouble(&ok);
        return ok && seconds > 0 ? seconds : -1;
    }

    int classes = 0;
    int warmPasses = 0;
    bool settled = false;

private:
    QByteArray readLine()
    {
        while (!java.canReadLine()) {
            if (!java.waitForReadyRead(-1))
                return QByteArray();
        }
        return java.readLine().trimmed();
    }

    QProcess java;

    Q_DISABLE_COPY(AsmPeer)
};

// One figure of ours: its classes per second in each round, and the last pass's counts.
struct Figure
{
    const char* what;
    int threads;
    Work work;
    std::vector<double> rates;
    Pass last;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <class-directory> [rounds] [max-warm-seconds]\n", argv[0]);
        return 2;
    }
    const QString directory = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 25;
    const double maxWarmSeconds = argc > 3 ? std::max(1.0, std::atof(argv[3])) : 60.0;

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
    std::fflush(stdout);

    // The JVM warms alone, before any round.
    AsmPeer asmPeer;
    bool withAsm = asmPeer.start(directory, maxWarmSeconds) && asmPeer.classes == classes.size();
    if (withAsm)
        std::printf("ASM walk: the JVM %s after %d warm-up passes\n",
                    asmPeer.settled ? "settled" : "had not settled (time limit)",
                    asmPeer.warmPasses);

    std::vector<Figure> figures = {{"parse+deps,", 1, CreateAndLists, {}, {}},
                                   {"parse+deps,", cores, CreateAndLists, {}, {}},
                                   {"create only,", 1, CreateOnly, {}, {}},
                                   {"create only,", cores, CreateOnly, {}, {}}};
    // Ours has no compiler to wait for; two untimed passes fill the caches and the allocator.
    for (Figure& figure : figures) {
        for (int pass = 0; pass < 2; ++pass)
            parseAll(classes, figure.threads, figure.work);
    }
    std::vector<double> asmRates;
    for (int round = 0; round < rounds; ++round) {
        // ASM goes first in one round and last in the next, so that neither side always follows
        // the other.
        const auto asmPass = [&] {
            const double seconds = withAsm ? asmPeer.pass() : -1;
            if (seconds > 0)
                asmRates.push_back(asmPeer.classes / seconds);
            else
                withAsm = false;
        };
        if (round % 2 == 0)
            asmPass();
        for (Figure& figure : figures) {
            figure.last = parseAll(classes, figure.threads, figure.work);
            figure.rates.push_back(classes.size() / figure.last.seconds);
        }
        if (round % 2 == 1)
            asmPass();
    }

    // One line per figure; the dependency count shows that every pass did the same work.
    for (const Figure& figure : figures) {
        const Spread rate = spreadOf(figure.rates);
        std::printf("%-12s %d core%s %8.0f classes/s %7.1f MB/s (median of %d rounds, IQR "
                    "%.0f-%.0f; %d rejected",
                    figure.what, figure.threads, figure.threads == 1 ? ": " : "s:", rate.median,
                    megabytes * rate.median / classes.size(), rounds, rate.lower, rate.upper,
                    figure.last.rejected);
        if (figure.work == CreateAndLists)
            std::printf(", %lld dependencies", static_cast<long long>(figure.last.dependencies));
        std::printf(")\n");
    }
    if (!withAsm) {
        std::printf("ASM walk: not available (needs Debian's libasm-java when the bench is "
                    "built, and java)\n");
        return 0;
    }
    const Spread asmRate = spreadOf(asmRates);
    std::printf("ASM ClassReader walk, warm JVM, 1 core: %8.0f classes/s %7.1f MB/s (median of %d "
                "rounds, IQR %.0f-%.0f)\n",
                asmRate.median, megabytes * asmRate.median / classes.size(), rounds, asmRate.lower,
                asmRate.upper);
    const auto printRatio = [&](const Figure& figure, const char* goal) {
        std::vector<double> ratios;
        for (size_t i = 0; i < asmRates.size(); ++i)
            ratios.push_back(figure.rates[i] / asmRates[i]);
        const Spread ratio = spreadOf(ratios);
        std::printf("ratio parse+deps, %d core%s / ASM: %.2f (IQR %.2f-%.2f over %d alternated "
                    "rounds; goal %s)\n",
                    figure.threads, figure.threads == 1 ? "" : "s", ratio.median, ratio.lower,
                    ratio.upper, int(ratios.size()), goal);
    };
    printRatio(figures[0], ">= 0.5");
    printRatio(figures[1], ">= 2");
    return 0;
}
