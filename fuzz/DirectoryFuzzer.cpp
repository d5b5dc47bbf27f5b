// A class directory from the input, listed as --listcontents lists it: the directory loader's
// load, on several threads from 16 classes on, and the listing's lines, made on several threads
// once there are some hundreds of them. Each input is listed twice, on all cores and on one;
// the two listings and their log lines must be the same, or the run aborts.
//
// The input is a series of class files: it is cut before every class-file magic (CA FE BA BE)
// that does not open it, so a seed is class files written one after the other. Piece i becomes
// C<i>.class in each of the directories d0, d1, ... of the tree: a few dozen pieces then make
// the hundreds of classes that the listing hands to its threads, and the walk hands the loader
// its names in several parts.
#include "FuzzSupport.h"

#include "Classpath.h"
#include "ListContentsWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Enough class files for every threshold of the loaders, few enough to keep a run short; the
// rest of a longer input goes into the last file.
const int maxFiles = 128;
// The listing makes its lines on several threads only past a few hundred classes, so the pieces
// are written once per directory until the tree holds this many files (in at most maxCopies
// directories).
const int listedLines = 300;
const int maxCopies = 16;

QList<QByteArray> pieces(const QByteArray& input)
{
    static const QByteArray magic("\xCA\xFE\xBA\xBE", 4);
    QList<QByteArray> files;
    int start = 0;
    for (int at = input.indexOf(magic, 1); at > 0 && files.size() < maxFiles - 1;
         at = input.indexOf(magic, at + 1)) {
        files.append(input.mid(start, at - start));
        start = at;
    }
    files.append(input.mid(start));
    return files;
}

// The worker that lists runs an event loop on a thread of its own, which Qt allows only once
// an application object exists; the listing itself runs on this thread.
void makeApplication()
{
    static int argc = 1;
    static char name[] = "velm-fuzz-directory";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

struct Listing
{
    QByteArray printed;
    QStringList logged;
};

// What --listcontents prints and logs for `classpath`, its standard output caught in a file.
Listing list(const Classpath& classpath)
{
    const QString path = FuzzSupport::scratchPath(QStringLiteral("listing.txt"));
    std::fflush(stdout);
    const int console = dup(STDOUT_FILENO);
    const int file = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (console < 0 || file < 0 || dup2(file, STDOUT_FILENO) < 0)
        qFatal("Cannot send standard output to %s", qPrintable(path));
    close(file);
    Listing listing;
    listing.logged = FuzzSupport::logged([&classpath] {
        ListContentsWorker worker(classpath);
        worker.doWork();
    });
    std::fflush(stdout);
    dup2(console, STDOUT_FILENO);
    close(console);
    QFile printed(path);
    if (!printed.open(QIODevice::ReadOnly))
        qFatal("Cannot read %s", qPrintable(path));
    listing.printed = printed.readAll();
    return listing;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::setUp();
    makeApplication();
    QDir directory(FuzzSupport::scratchPath(QStringLiteral("classes")));
    directory.removeRecursively();
    const QList<QByteArray> files = pieces(FuzzSupport::bytes(data, size));
    const int copies = qBound(1, listedLines / files.size() + 1, maxCopies);
    for (int c = 0; c < copies; ++c) {
        directory.mkpath(QStringLiteral("d%1").arg(c));
        for (int i = 0; i < files.size(); ++i)
            FuzzSupport::writeScratch(QStringLiteral("classes/d%1/C%2.class").arg(c).arg(i),
                                      files.at(i));
    }
    Classpath classpath;
    classpath.entries.append(directory.path());

    // The loaders and the listing take their number of threads from the shared pool's limit.
    QThreadPool* shared = QThreadPool::globalInstance();
    const int threads = shared->maxThreadCount();
    const Listing onAll = list(classpath);
    shared->setMaxThreadCount(1);
    const Listing onOne = list(classpath);
    shared->setMaxThreadCount(threads);
    if (onAll.printed != onOne.printed || onAll.logged != onOne.logged) {
        std::fprintf(stderr,
                     "The listing on %d threads differs from the listing on one:\n"
                     "%d and %d bytes printed, %d and %d lines logged.\n",
                     threads, int(onAll.printed.size()), int(onOne.printed.size()),
                     int(onAll.logged.size()), int(onOne.logged.size()));
        std::abort();
    }
    return 0;
}
