#include "CLI.h"
#include "Classpath.h"
#include "Logger.h"
#include "MainWindow.h"
#include "Options.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // The loaders' threads each allocate from an area of their own, which the allocator
    // otherwise makes usable a page at a time as it fills: one call per page that locks the
    // whole address space, during which every other thread's page faults wait. Asking for this
    // much room at a time makes each area usable in full when it is made (it cannot be larger).
    // Only pages that are touched use memory; in return, memory freed at the end of an area
    // stays with the process for its next allocations instead of going back to the system.
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
    // A write that cannot be done fails and is handled where it was made, rather than end the
    // run before its results are stored: a write to a reader of standard output that went away
    // early (a pipe into head), and one past the file size limit (ulimit -f), which is then
    // reported as a full disk is.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    Options::opts->set(argc, argv);
    if (!Logger::init(Options::opts->logDir)) {
        std::fprintf(stderr, "%s\n",
                     QString("Log directory %1 is in use by another run")
                         .arg(Options::opts->logDir)
                         .toLocal8Bit()
                         .constData());
        return 1;
    }

    if (Options::opts->gui) {
        QApplication app(argc, argv);
        emit Logger::logger->log(Logger::L_INFO, "Starting in GUI mode.");
        int status = 0;
        {
            MainWindow window(nullptr);
            window.show();
            status = app.exec();
        }
        // Closing the window waits for a job that is still running; the lines it logged last
        // are queued for the logger, and delivering them keeps log.txt complete.
        QCoreApplication::sendPostedEvents();
        return status;
    }

    QCoreApplication app(argc, argv);
    emit Logger::logger->log(Logger::L_INFO, "Starting in console mode.");
    emit Logger::logger->log(Logger::L_INFO,
                             QString("Classpath: %1").arg(Options::opts->classpath.toString()));
    CLI cli;
    QTimer::singleShot(0, &cli, &CLI::begin);
    const int status = app.exec();
    // Lines that the worker's thread logged last are still queued for the logger when the loop
    // stops; delivering them keeps log.txt complete.
    QCoreApplication::sendPostedEvents();
    return status;
}
