#pragma once

#include "LogCapture.h"
#include "QStringPrinter.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A path inside the build's loader fixtures (compiled classes under "classes/", archives packed
// by the jar tool under "archives/").
QString fixture(const QString& relativePath);
// The bytes of a compiled fixture class, such as "la/Base.class".
QByteArray fixtureClass(const QString& relativePath);

// The bytes of a file; an empty array, and a test failure, when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    return readBytes(path);
}
// Copies the compiled fixture classes into `target`, leaving out files whose relative path
// starts with one of `excluded`.
void copyFixtureClasses(const QString& target, const QStringList& excluded = {});
