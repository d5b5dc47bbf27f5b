#include "JdkTools.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>

QString JdkTools::javaHome()
{
    const QString fromEnvironment = QProcessEnvironment::systemEnvironment().value("JAVA_HOME");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString javac = QFileInfo("/usr/bin/javac").canonicalFilePath();
    return QFileInfo(javac).dir().absoluteFilePath("..");
}

bool JdkTools::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed\n", qPrintable(program),
                     qPrintable(arguments.join(' ')));
        return false;
    }
    return true;
}

QString JdkTools::extractJavaBase(const QString& directory)
{
    if (!run("jimage", {"extract", "--include", "regex:/java\\.base/.*", "--dir", directory,
                        javaHome() + "/lib/modules"}))
        return QString();
    return directory + "/java.base";
}
