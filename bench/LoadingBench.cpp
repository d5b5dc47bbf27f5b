// Loads every class of one JAR archive and of the same classes as a directory tree, and prints
// both times and their ratio. The inputs come from bench/make-java-base.sh:
//
//   velm_loading_bench <archive.jar> <class-directory> [repeats] [single-reads]
//
// With single-reads > 0 it also times that many separate class requests to a fresh archive
// loader, spread over the archive, each of which walks the archive up to its entry.

#include "Class.h"
#include "FileSystemClassLoader.h"
#include "JarFileClassLoader.h"
#include "JarFileReader.h"
#include "Logger.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

struct Outcome
{
    double seconds = 0;
    int classes = 0;
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

Outcome singleReads(const QString& path, int count)
{
    JarFileClassLoader loader(path);
    const QStringList names = loader.reader->classNames;
    QElapsedTimer timer;
    timer.start();
    Outcome outcome;
    for (int i = 0; i < count && !names.isEmpty(); ++i) {
        if (loader.loadClass(names.at(int(qint64(i) * names.size() / count))))
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

    Outcome bestJar, bestDirectory;
    for (int i = 0; i < repeats; ++i) {
        const Outcome fromJar = loadArchive(jar);
        const Outcome fromDirectory = loadDirectory(directory);
        if (i == 0 || fromJar.seconds < bestJar.seconds)
            bestJar = fromJar;
        if (i == 0 || fromDirectory.seconds < bestDirectory.seconds)
            bestDirectory = fromDirectory;
    }

    std::printf("archive:   %d classes in %.3f s\n", bestJar.classes, bestJar.seconds);
    std::printf("directory: %d classes in %.3f s\n", bestDirectory.classes, bestDirectory.seconds);
    std::printf("ratio archive/directory: %.2f (best of %d runs each; %d WARN or ERROR lines)\n",
                bestDirectory.seconds > 0 ? bestJar.seconds / bestDirectory.seconds : 0.0, repeats,
                warnings);
    if (singles > 0) {
        const Outcome single = singleReads(jar, singles);
        std::printf("single requests: %d classes in %.3f s (%.2f ms each)\n", single.classes,
                    single.seconds, single.classes ? 1000 * single.seconds / single.classes : 0.0);
    }
    return 0;
}
