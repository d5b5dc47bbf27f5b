#include "Classpath.h"
#include "Logger.h"
#include "Options.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    Options::opts->set(argc, argv);
    Logger::init(Options::opts->logDir);

    if (Options::opts->gui) {
        std::fputs("GUI mode is not available yet: the main window is not built. "
                   "Use --nogui with a command.\n",
                   stderr);
        return 1;
    }

    QCoreApplication app(argc, argv);
    emit Logger::logger->log(Logger::L_INFO, "Starting in console mode.");
    emit Logger::logger->log(Logger::L_INFO,
                             QString("Classpath: %1").arg(Options::opts->classpath.toString()));
    // The console jobs are not built yet: the run ends after its start-up lines.
    return 0;
}
