#include "LoaderTestSupport.h"

#include <QDir>
#include <QDirIterator>

QString fixture(const QString& relativePath)
{
    return QStringLiteral(VELM_LOADER_FIXTURES "/") + relativePath;
}

QByteArray fixtureClass(const QString& relativePath)
{
    return readFile(fixture(QStringLiteral("classes/") + relativePath));
}

void copyFixtureClasses(const QString& target, const QStringList& excluded)
{
    const QDir classes(fixture(QStringLiteral("classes")));
    QDirIterator it(classes.path(), {QStringLiteral("*.class")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = classes.relativeFilePath(it.next());
        bool skip = false;
        for (const QString& prefix : excluded)
            skip = skip || relative.startsWith(prefix);
        if (!skip)
            writeFile(target + QLatin1Char('/') + relative, readFile(it.filePath()));
    }
}
