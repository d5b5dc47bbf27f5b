#pragma once

#include "QStringPrinter.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QStringList>

// The class files that javac compiles from fixtures/java at build time. VELM_JAVA_FIXTURES_DIR is
// passed by the build as a compile definition.
inline QString javaFixturesDir()
{
    return QStringLiteral(VELM_JAVA_FIXTURES_DIR);
}

// The bytes of one fixture class, by its path under the fixture directory
// ("fixtures/Planet.class"); empty when the file is missing.
inline QByteArray readFixtureClass(const QString& path)
{
    QFile file(javaFixturesDir() + QLatin1Char('/') + path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Every fixture class file, as paths under the fixture directory, sorted.
inline QStringList fixtureClassPaths()
{
    QStringList paths;
    const QDir root(javaFixturesDir());
    QDirIterator it(javaFixturesDir(), {QStringLiteral("*.class")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(root.relativeFilePath(it.next()));
    paths.sort();
    return paths;
}
