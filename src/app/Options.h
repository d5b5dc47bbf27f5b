#ifndef OPTIONS_H
#define OPTIONS_H

#include "Classpath.h"

#include <QString>

// The run configuration: filled once from the command line, read by every job.
class Options
{
public:
    // Parses the command line into this record. Ends the process with status 1 after help, a
    // command-line error or, in console mode, a combination that cannot run.
    void set(int argc, char** argv);
    // The parsing alone, with the program's option table: throws ArgHelpHasPrintedEx after help
    // and ArgBaseException on a command-line error (a port that is not a decimal number among
    // them), and checks no combination.
    void parse(int argc, char** argv);

    static Options* opts;

    // Where results are reported unless the command line names a host: this machine's loopback
    // interface, given as an address so that no name lookup is needed.
    static QString defaultHost() { return QStringLiteral("127.0.0.1"); }

    bool gui = true;
    Classpath classpath;
    Classpath frameworkClasspath;
    int profile = 0;
    int command = 0;
    QString tssGold;
    QString goldFile;
    QString logDir;
    QString host = defaultHost();
    int port = 0;
};

#endif
