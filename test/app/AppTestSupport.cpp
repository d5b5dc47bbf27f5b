#include "AppTestSupport.h"

#include "Classpath.h"
#include "JavaTypes.pb.h"
#include "Pretest.h"
#include "ProtoIO.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>

QString fixture(const QString& set)
{
    return QString(APP_FIXTURES) + "/" + set;
}

void buildGold(const QString& classpath, const QString& goldFile)
{
    ensureLogger();
    Classpath cp;
    cp.append(classpath);
    Pretest::createGold(cp, goldFile);
}

namespace {

// A gold file of one class that nothing refers to: it adds nothing to an allowed API, and unlike
// an empty gold file it is not warned about.
void writeUnusedClassGold(const char* className, const QString& goldFile)
{
    ensureLogger();
    JClasses gold;
    JClass* cls = gold.add_classes();
    cls->set_name(className);
    cls->set_parent("Ljava/lang/Object;");
    ProtoIO::write(&gold, goldFile);
}

} // namespace

void makeStandardData(const QString& dir, bool withJ2ee)
{
    const QString data = dir + "/data/";
    QDir().mkpath(data);
    buildGold(fixture("platform"), data + "j2se8.javagold");
    if (withJ2ee)
        buildGold(fixture("platform"), data + "j2ee8.javagold");
    buildGold(fixture("reference"), data + "IOS.javagold");
    writeUnusedClassGold("Lcommon/Unused;", data + "VELM_common.javagold");
    writeUnusedClassGold("Lcorba/Unused;", data + "FormerlyCORBA.javagold");
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
