#include "CLI.h"
#include "Classpath.h"
#include "Logger.h"
#include "MainWindow.h"
#include "Options.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>

#include <csignal>

int main(int argc, char** argv)
{
    // A reader of standard output that goes away early (a pipe into head) must not end the run
    // before its results are stored: the failed write is ignored instead.
    std::signal(SIGPIPE, SIG_IGN);
    Options::opts->set(argc, argv);
    Logger::init(Options::opts->logDir);

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
