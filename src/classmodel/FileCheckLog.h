#pragma once

#include <QList>
#include <QString>

// The problems found in one class file, in the order they were met. A loader rejects a file
// whose hasError is set and prints the stored texts as they are.
//
// The prefixes look swapped: error() stores "Warning - " and warning() stores "Error - ". Logs
// written so far and the people and tools that read them rely on exactly these texts, so they
// stay as they are; the flags, not the prefixes, say how serious a message is.
class FileCheckLog
{
public:
    QList<QString> messages;
    bool hasWarning = false;
    bool hasError = false;

    // A fault that makes the file unusable.
    void error(const QString& message);
    // A peculiarity that does not stop the file from being used.
    void warning(const QString& message);

    // A name from the file as it is shown inside a message: names longer than maxShownLength
    // characters are cut there and marked with "...". A file can repeat one huge name in
    // thousands of places; each message then stays small instead of copying it in full.
    static QString abbreviate(const QString& name);
    static const int maxShownLength = 200;
};
