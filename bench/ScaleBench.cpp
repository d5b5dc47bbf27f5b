// Scale figures of the access test and the listing, each measured in one run as a ratio or a
// per-class figure. The inputs come from bench/run-scale.sh, which also prints the goals.
//
//   velm_scale_bench access [--drop-log] [--log-dir DIR] <api> <classpath-entry>...
//       one access test, run as the program runs it (the test in a worker thread, the log
//       written by the main thread); prints "<seconds> <tested-classes> <peak-KB>"
//   velm_scale_bench archive <timeout-s> <api> <archive.jar> <directory>...
//       the access test of one archive against the same classes as directories, each in a
//       process of its own; prints both times and their ratio. An archive run that takes
//       longer than the timeout is stopped and reported as a lower bound.
//   velm_scale_bench logging <api> <classpath-entry>...
//       the access test with its log written and with every line dropped unseen; prints the
//       share of the wall time that writing the log costs.
//   velm_scale_bench memory <velm-jct> <classpath>
//       peak resident memory of one --listcontents run, per listed class.

#include "Classpath.h"
#include "Logger.h"
#include "TestResult.pb.h"
#include "UoPTest.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Child
{
    bool finished = false;
    double seconds = 0;
    long peakKilobytes = 0;
    std::string output;
};

// Runs a program with its standard output captured, waits at most `timeout` seconds (0: no
// limit), and reports its wall time and peak resident memory.
Child runChild(const std::vector<std::string>& arguments, double timeout)
{
    Child child;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return child;
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid < 0)
        return child;
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }
    close(pipeEnds[1]);
    bool open = true;
    // Takes what the pipe holds; the pipe counts as closed at its end or on an error.
    const auto drain = [&] {
        char buffer[65536];
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n > 0)
            child.output.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR)
            open = false;
    };
    bool killed = false;
    int status = 0;
    struct rusage usage;
    std::memset(&usage, 0, sizeof usage);
    for (;;) {
        if (open) {
            struct pollfd readable = {pipeEnds[0], POLLIN, 0};
            if (poll(&readable, 1, 100) > 0)
                drain();
        } else {
            usleep(20000);
        }
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid)
            break;
        if (!killed && timeout > 0 && timer.nsecsElapsed() / 1e9 > timeout) {
            kill(pid, SIGKILL);
            killed = true;
        }
    }
    child.seconds = timer.nsecsElapsed() / 1e9;
    // What the child wrote just before it ended may still wait in the pipe.
    while (open)
        drain();
    close(pipeEnds[0]);
    child.finished = !killed && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    child.peakKilobytes = usage.ru_maxrss;
    return child;
}

// "<seconds> <tested-classes> <peak-KB>" of an access child.
struct AccessFigures
{
    bool ok = false;
    double seconds = 0;
    long classes = 0;
    long peakKilobytes = 0;
    // For a stopped run: how far the test got, as "<tested>/<count>" from its last progress line.
    QString progress;
};

// The "<i>/<count>" of the last progress line ("Test <p>% <i>/<count> <class>") in a log.
QString lastProgress(const QString& logPath)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return QString();
    log.seek(std::max<qint64>(0, log.size() - (1 << 20)));
    const QByteArray tail = log.readAll();
    const QByteArray marker = "INFO: Test ";
    int at = tail.lastIndexOf(marker);
    while (at >= 0) {
        const QList<QByteArray> words = tail.mid(at + marker.size(), 200).split(' ');
        if (words.size() > 1 && words.at(0).endsWith('%'))
            return QString::fromLatin1(words.at(1));
        at = at > 0 ? tail.lastIndexOf(marker, at - 1) : -1;
    }
    return QString();
}

AccessFigures runAccessChild(const std::vector<std::string>& rest, bool dropLog, double timeout)
{
    // The log lives with the parent, so that it survives a stopped child and goes afterwards.
    QTemporaryDir logDir;
    std::vector<std::string> arguments = {"/proc/self/exe", "access", "--log-dir",
                                          logDir.path().toStdString()};
    if (dropLog)
        arguments.push_back("--drop-log");
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    const Child child = runChild(arguments, timeout);
    AccessFigures figures;
    figures.seconds = child.seconds;
    if (child.finished && std::sscanf(child.output.c_str(), "%lf %ld %ld", &figures.seconds,
                                      &figures.classes, &figures.peakKilobytes) == 3)
        figures.ok = true;
    else
        figures.progress = lastProgress(logDir.filePath("log.txt"));
    return figures;
}

int access(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int first = 2;
    bool dropLog = false;
    QString logPath;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--drop-log") == 0)
            dropLog = true;
        else if (std::strcmp(argv[first], "--log-dir") == 0 && first + 1 < argc)
            logPath = QString::fromLocal8Bit(argv[++first]);
        else
            return 2;
    }
    if (argc < first + 2)
        return 2;
    std::unique_ptr<QTemporaryDir> logDir;
    if (logPath.isEmpty()) {
        logDir.reset(new QTemporaryDir);
        logPath = logDir->path();
    }
    Logger::init(logPath);
    // With no receiver left, a line is built by its sender and then goes nowhere.
    if (dropLog)
        QObject::disconnect(Logger::logger, &Logger::log, nullptr, nullptr);

    Classpath api;
    api.append(QString::fromLocal8Bit(argv[first]));
    Classpath classes;
    for (int i = first + 1; i < argc; ++i)
        classes.append(QString::fromLocal8Bit(argv[i]));

    TestResultGroup root;
    QElapsedTimer timer;
    timer.start();
    QThread* worker = QThread::create([&] {
        UoPTest test(&root, classes, api);
        test.runTest();
    });
    QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit);
    worker->start();
    // The lines the worker queued reach log.txt before the quit that follows them.
    app.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    worker->wait();
    delete worker;

    const int tested = root.subgroup_size() == 1 ? root.subgroup(0).subgroup_size() : 0;
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %d %ld\n", seconds, tested, usage.ru_maxrss);
    return 0;
}

std::vector<std::string> rest(int argc, char** argv, int from)
{
    std::vector<std::string> list;
    for (int i = from; i < argc; ++i)
        list.push_back(argv[i]);
    return list;
}

int archive(int argc, char** argv)
{
    if (argc < 6)
        return 2;
    const double timeout = std::atof(argv[2]);
    const std::string api = argv[3];
    const std::vector<std::string> jar = {api, argv[4]};
    std::vector<std::string> directories = {api};
    for (int i = 5; i < argc; ++i)
        directories.push_back(argv[i]);

    const AccessFigures fromDirectories = runAccessChild(directories, false, 0);
    if (!fromDirectories.ok) {
        std::printf("access test of the directories failed\n");
        return 1;
    }
    std::printf("access test, %d directories: %ld classes in %.1f s (peak %.1f KB per class)\n",
                argc - 5, fromDirectories.classes, fromDirectories.seconds,
                double(fromDirectories.peakKilobytes) / std::max(1L, fromDirectories.classes));
    const AccessFigures fromJar = runAccessChild(jar, false, timeout);
    if (!fromJar.ok) {
        std::printf("access test, one archive: not finished in %.0f s, stopped after testing %s "
                    "classes\n",
                    fromJar.seconds,
                    fromJar.progress.isEmpty() ? "no" : qPrintable(fromJar.progress));
        std::printf("ratio archive/directories: > %.1f (goal <= 1.5)\n",
                    fromJar.seconds / fromDirectories.seconds);
        return 0;
    }
    std::printf("access test, one archive: %ld classes in %.1f s (peak %.1f KB per class)\n",
                fromJar.classes, fromJar.seconds,
                double(fromJar.peakKilobytes) / std::max(1L, fromJar.classes));
    std::printf("ratio archive/directories: %.2f (goal <= 1.5)\n",
                fromJar.seconds / fromDirectories.seconds);
    return 0;
}

int logging(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::vector<std::string> arguments = rest(argc, argv, 2);
    // Alternate the two, best of three each, so that a busy neighbour hurts both alike.
    AccessFigures written, dropped;
    for (int i = 0; i < 3; ++i) {
        const AccessFigures w = runAccessChild(arguments, false, 0);
        const AccessFigures d = runAccessChild(arguments, true, 0);
        if (!w.ok || !d.ok) {
            std::printf("access test failed\n");
            return 1;
        }
        if (i == 0 || w.seconds < written.seconds)
            written = w;
        if (i == 0 || d.seconds < dropped.seconds)
            dropped = d;
    }
    std::printf("access test with log.txt: %ld classes in %.2f s\n", written.classes,
                written.seconds);
    std::printf("access test, lines dropped: %ld classes in %.2f s\n", dropped.classes,
                dropped.seconds);
    std::printf("logging share of the wall time: %.1f%% (goal <= 10%%; best of 3 each)\n",
                100 * (written.seconds - dropped.seconds) / written.seconds);
    return 0;
}

int memory(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    QTemporaryDir logDir;
    const std::vector<std::string> arguments = {
        argv[2],       "--nogui", "--listcontents", "--logdir", logDir.path().toStdString(),
        "--classpath", argv[3]};
    const Child child = runChild(arguments, 0);
    if (!child.finished) {
        std::printf("--listcontents failed\n");
        return 1;
    }
    long lines = 0;
    for (char c : child.output)
        lines += c == '\n';
    std::printf("--listcontents: %ld classes in %.1f s, peak RSS %.0f MB, %.1f KB per class "
                "(goal <= 12)\n",
                lines, child.seconds, child.peakKilobytes / 1024.0,
                double(child.peakKilobytes) / std::max(1L, lines));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Each figure shows as soon as it is known, also when the output goes to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string mode = argc > 1 ? argv[1] : "";
    int status = 2;
    if (mode == "access")
        status = access(argc, argv);
    else if (mode == "archive")
        status = archive(argc, argv);
    else if (mode == "logging")
        status = logging(argc, argv);
    else if (mode == "memory")
        status = memory(argc, argv);
    if (status == 2)
        std::fprintf(stderr,
                     "usage: %s access [--drop-log] [--log-dir DIR] <api> <entry>...\n"
                     "       %s archive <timeout-s> <api> <archive.jar> <directory>...\n"
                     "       %s logging <api> <entry>...\n"
                     "       %s memory <velm-jct> <classpath>\n",
                     argv[0], argv[0], argv[0], argv[0]);
    return status;
}
