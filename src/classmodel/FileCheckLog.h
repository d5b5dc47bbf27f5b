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
};
