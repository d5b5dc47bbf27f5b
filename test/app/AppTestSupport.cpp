#include "AppTestSupport.h"

#include "Classpath.h"
#include "Pretest.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

QString fixture(const QString& set)
{
    return QString(APP_FIXTURES) + "/" + set;
}

void ensureApp()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

void buildGold(const QString& classpath, const QString& goldFile)
{
    ensureLogger();
    Classpath cp;
    cp.append(classpath);
    Pretest::createGold(cp, goldFile);
}

void makeStandardData(const QString& dir, bool withJ2ee)
{
    const QString data = dir + "/data/";
    QDir().mkpath(data);
    QTemporaryDir empty;
    buildGold(fixture("platform"), data + "j2se8.javagold");
    if (withJ2ee)
        buildGold(fixture("platform"), data + "j2ee8.javagold");
    buildGold(fixture("reference"), data + "IOS.javagold");
    buildGold(empty.path(), data + "VELM_common.javagold");
    buildGold(empty.path(), data + "FormerlyCORBA.javagold");
    buildGold(fixture("reference"), data + "TSS_type_independent.javagold");
    buildGold(fixture("reference"), data + "TSS_type_abstraction.javagold");
    buildGold(fixture("tssapi"), dir + "/tss.javagold");
}

QString readFile(const QString& path)
{
    return readText(path);
}

ProcessResult runProgram(const QStringList& args, const QString& workDir)
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(VELM_JCT_PATH, args);
    ProcessResult r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}
