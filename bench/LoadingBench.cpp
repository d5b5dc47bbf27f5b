// Loads every class of one JAR archive and of the same classes as a directory tree, on one
// thread and on all cores, and prints the times and their ratios. The inputs come from
// bench/make-java-base.sh:
//
//   velm_loading_bench <archive.jar> <class-directory> [repeats] [single-reads]
//
// With single-reads > 0 it also times that many separate class requests, spread over the
// archive and made in a shuffled order, to a fresh archive loader and to a fresh directory
// loader, and prints their ratio.

#include "Class.h"
#include "FileSystemClassLoader.h"
#include "JarFileClassLoader.h"
#include "JarFileReader.h"
#include "Logger.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

struct Outcome
{
    double seconds = 0;
    int classes = 0;
};

// A directory loader made from a path, like the archive loader, that deletes the archive
// loaders its walk made.
class DirectoryLoader : public FileSystemClassLoader
{
public:
    explicit DirectoryLoader(const QString& path) : FileSystemClassLoader(QDir(path)) {}
    ~DirectoryLoader() override { qDeleteAll(jarLoaders); }
};

Outcome loadArchive(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    JarFileClassLoader loader(path);
    loader.loadAllClasses();
    Outcome outcome;
    outcome.classes = loader.getAllClasses().size();
    outcome.seconds = timer.nsecsElapsed() / 1e9;
    return outcome;
}

Outcome loadDirectory(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    FileSystemClassLoader loader{QDir(path)};
    loader.loadAllClasses();
    Outcome outcome;
    outcome.classes = loader.getAllClasses().size();
    qDeleteAll(loader.jarLoaders);
    outcome.seconds = timer.nsecsElapsed() / 1e9;
    return outcome;
}

// `count` separate requests in a shuffled order (the order of an access test's look-ups), each
// to a class that the loader has not defined yet; the construction of the loader included.
template <typename Loader>
Outcome singleReads(const QString& path, const QStringList& allNames, int count)
{
    QStringList names;
    for (int i = 0; i < count && !allNames.isEmpty(); ++i)
        names.append(allNames.at(int(qint64(i) * allNames.size() / count)));
    std::mt19937 random(42);
    std::shuffle(names.begin(), names.end(), random);
    QElapsedTimer timer;
    timer.start();
    Loader loader(path);
    Outcome outcome;
    for (const QString& name : qAsConst(names)) {
        if (loader.loadClass(name))
            ++outcome.classes;
    }
    outcome.seconds = timer.nsecsElapsed() / 1e9;
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <archive.jar> <class-directory> [repeats] [single-reads]\n",
                     argv[0]);
        return 2;
    }
    const QString jar = QString::fromLocal8Bit(argv[1]);
    const QString directory = QString::fromLocal8Bit(argv[2]);
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const int singles = argc > 4 ? std::max(0, std::atoi(argv[4])) : 0;

    // Rejected classes are logged; count the lines instead of writing them, so that output
    // costs do not blur the comparison.
    QTemporaryDir logDir;
    Logger::init(logDir.path());
    QObject::disconnect(Logger::logger, &Logger::log, nullptr, nullptr);
    int warnings = 0;
    QObject::connect(Logger::logger, &Logger::log, [&](Logger::Level level, const QString&) {
        if (level >= Logger::L_WARN)
            ++warnings;
    });

    // The loaders parse on as many threads as the shared pool allows: once on one, once on all.
    const int allThreads = QThreadPool::globalInstance()->maxThreadCount();
    for (const int threads : {1, allThreads}) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        Outcome bestJar, bestDirectory;
        warnings = 0;
        for (int i = 0; i < repeats; ++i) {
            const Outcome fromJar = loadArchive(jar);
            const Outcome fromDirectory = loadDirectory(directory);
            if (i == 0 || fromJar.seconds < bestJar.seconds)
                bestJar = fromJar;
            if (i == 0 || fromDirectory.seconds < bestDirectory.seconds)
                bestDirectory = fromDirectory;
        }
        std::printf("%d thread(s):\n", threads);
        std::printf("  archive:   %d classes in %.3f s (%.0f classes/s)\n", bestJar.classes,
                    bestJar.seconds, bestJar.seconds > 0 ? bestJar.classes / bestJar.seconds : 0.0);
        std::printf("  directory: %d classes in %.3f s (%.0f classes/s)\n", bestDirectory.classes,
                    bestDirectory.seconds,
                    bestDirectory.seconds > 0 ? bestDirectory.classes / bestDirectory.seconds
                                              : 0.0);
        std::printf("  ratio archive/directory: %.2f (best of %d runs each; %d WARN or ERROR "
                    "lines)\n",
                    bestDirectory.seconds > 0 ? bestJar.seconds / bestDirectory.seconds : 0.0,
                    repeats, warnings / repeats);
    }
    if (singles > 0) {
        QStringList names;
        {
            JarFileReader reader(jar);
            names = reader.classNames;
        }
        names.removeDuplicates();
        const Outcome fromJar = singleReads<JarFileClassLoader>(jar, names, singles);
        const Outcome fromDirectory = singleReads<DirectoryLoader>(directory, names, singles);
        std::printf("single requests, archive:   %d classes in %.3f s (%.3f ms each)\n",
                    fromJar.classes, fromJar.seconds,
                    fromJar.classes ? 1000 * fromJar.seconds / fromJar.classes : 0.0);
        std::printf("single requests, directory: %d classes in %.3f s (%.3f ms each)\n",
                    fromDirectory.classes, fromDirectory.seconds,
                    fromDirectory.classes ? 1000 * fromDirectory.seconds / fromDirectory.classes
                                          : 0.0);
        std::printf("ratio archive/directory for single requests: %.2f\n",
                    fromDirectory.seconds > 0 ? fromJar.seconds / fromDirectory.seconds : 0.0);
    }
    return 0;
}
