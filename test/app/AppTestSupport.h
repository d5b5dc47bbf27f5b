#pragma once

#include "LogCapture.h"
#include "QStringPrinter.h"

#include <QString>
#include <QStringList>

// Where the javac-compiled fixture sets are: APP_FIXTURES/<set>.
QString fixture(const QString& set);

// Builds a gold file from the classes under `classpath` (one without public classes gives no
// file).
void buildGold(const QString& classpath, const QString& goldFile);

// Makes `dir`/data/ with the standard gold files built from the fixtures: the Java platform as
// j2se8 (and, when `withJ2ee`, j2ee8), the segment reference API as IOS and both TSS files, and
// common and CORBA files of one class each that no fixture uses. Also writes `dir`/tss.javagold
// from the TSS fixture API.
void makeStandardData(const QString& dir, bool withJ2ee);

// The whole text of a file, or a null string when it cannot be read.
QString readFile(const QString& path);

// The outcome of running the built program.
struct ProcessResult
{
    int status = -1;
    QString out;
    QString err;
};

// Runs the built program with `args` in `workDir` (the test's own when empty).
ProcessResult runProgram(const QStringList& args, const QString& workDir = QString());
