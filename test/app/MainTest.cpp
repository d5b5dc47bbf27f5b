// Runs the built program and checks what a user sees: exit status, standard output and
// standard error, and the start-up lines in log.txt.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct ProcessResult
{
    int status = -1;
    QString out;
    QString err;
};

ProcessResult run(const QStringList& args, const QString& workDir = QString())
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(VELM_JCT_PATH, args);
    ProcessResult r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

const char* const helpTable =
    "      --gu[i]                        Show the GUI. [Default] (No other options will be "
    "used.)\n"
    "      --n[ogui]                      Do not show the GUI, and execute in command mode.\n"
    "      --c[lasspath] <arg>            Your classpath in command mode. (Required for testing in "
    "command mode.)\n"
    "      --f[rameworkclasspath] <arg>   Framework classpath in command mode. (For testing in "
    "command mode.)\n"
    "      --ts[sgold] <arg>              TSS Java Gold classpath.\n"
    "      --lo[gdir] <arg>               Your log directory in command mode. (Defaults to current "
    "directory.)\n"
    "      --testpc[s]                    Test a PCS.\n"
    "      --testps[s]                    Test a PSS.\n"
    "      --testo[ss]                    Test a OSS.\n"
    "      --testtss                      Test a TSS.\n"
    "      --testtssabs                   Test a TSS with Abstraction Layer.\n"
    "      --testtssabsi[face]            Test a TSS Abstraction Interface.\n"
    "      --testi[os]                    Test a IOS.\n"
    "      --b[uildjavagold] <arg>        Build a Java Gold file.\n"
    "      --li[stcontents]               List contents of a classpath.\n"
    "      --ge[neral]                    Use General Profile.\n"
    "      --safetyE[xt]                  Use Safety Extended Profile.\n"
    "      --safetyB[ase]                 Use Safety Base Profile.\n"
    "      --ho[st] <arg>                 Hostname to report results.\n"
    "      --p[ort] <arg>                 TCP port to report results.\n"
    "  -h, --he[lp]                       Print this help.\n";

const char* const usageLine =
    "[--gu[i] | --n[ogui]] [--c[lasspath] <arg>] [--f[rameworkclasspath] <arg>] "
    "[--ts[sgold] <arg>] [--lo[gdir] <arg>] [--testpc[s] | --testps[s] | --testo[ss] | "
    "--testtss | --testtssabs | --testtssabsi[face] | --testi[os] | --b[uildjavagold] <arg> | "
    "--li[stcontents]] [--ge[neral] | --safetyE[xt] | --safetyB[ase]] [--ho[st] <arg>] "
    "[--p[ort] <arg>] [-h,--he[lp]] ";

} // namespace

TEST(MainTest, HelpPrintsTheWholeOptionTableAndExitsWithOne)
{
    const QString expected = QString("VELM Java Conformance Tester\n\nUSAGE: %1 %2\n\n%3")
                                 .arg(VELM_JCT_PATH, usageLine, helpTable);
    for (const char* option : {"-h", "--help", "--he"}) {
        const ProcessResult r = run({option});
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_EQ(r.out, expected) << option;
        EXPECT_EQ(r.err, QString());
    }
}

TEST(MainTest, HelpOnOneOption)
{
    ProcessResult r = run({"-h", "classpath"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, QString("\nUSAGE: --c[lasspath] <arg>\n\nDESCRIPTION: Your classpath in "
                             "command mode. (Required for testing in command mode.)\n"));
    r = run({"--help=testtssabs"});
    EXPECT_EQ(r.out, QString("\nUSAGE: --testtssabs\n\nDESCRIPTION: Test a TSS with "
                             "Abstraction Layer.\n"));
    r = run({"--help", "--nosuch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, QString("Unknown argument: --nosuch"));
}

TEST(MainTest, ConsoleValidationFailures)
{
    QTemporaryDir dir;
    const struct
    {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"--nogui"}, "Unknown command."},
        {{"--nogui", "--testoss", "--classpath", "a"}, "Unknown profile."},
        {{"--nogui", "--testtssabsiface", "--safetyBase"},
         "A classpath is required for test command mode."},
        {{"--nogui", "--testios", "--general", "--classpath", ":::"},
         "A classpath is required for test command mode."},
        {{"--nogui", "--testpcs", "--classpath", "a"}, "Unknown profile."},
        {{"--nogui", "--testtss", "--general", "--classpath", "a"},
         "A TSS Java Gold classpath is required for PCS, PSS, and TSS test modes."},
        {{"--nogui", "--testpss", "--safetyExt"}, "A classpath is required for test command mode."},
        {{"--nogui", "--listcontents"}, "A classpath is required."},
        {{"--nogui", "--buildjavagold", "out.javagold", "--general"}, "A classpath is required."},
    };
    for (const auto& c : cases) {
        const ProcessResult r = run(c.args, dir.path());
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, QString(c.message) + "\n") << c.args.join(' ').toStdString();
        EXPECT_EQ(r.out, QString());
    }
    // Nothing ran, so no log was started.
    EXPECT_FALSE(QFile::exists(dir.path() + "/log.txt"));
}

TEST(MainTest, CommandLineErrorsGoToStandardErrorWithStatusOne)
{
    const struct
    {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"--nogui", "--testoss", "--testios"},
         "Defined more than one argument under XOR mask. First defined argument: testoss. "
         "Second defined argument: testios."},
        {{"--gui", "--nogui"},
         "Defined more than one argument under XOR mask. First defined argument: gui. "
         "Second defined argument: nogui."},
        {{"--t"}, "Unknown argument: --t"},
        {{"--h"}, "Unknown argument: --h"},
        {{"--nosuch"}, "Unknown argument: --nosuch"},
        {{"-x"}, "Unknown argument: -x"},
        {{"foo"}, "Unexpected option: foo. Argument \"\" doesn't expect any values."},
        {{"--nogui", "bar"},
         "Unexpected option: bar. Argument \"--nogui\" doesn't expect any values."},
        {{"--nogui", "--classpath"}, "Not defined value of the argument: classpath"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, QString(c.message) + "\n") << c.args.join(' ').toStdString();
        EXPECT_EQ(r.out, QString());
    }
}

TEST(MainTest, ConsoleRunLogsItsStartUpLines)
{
    QTemporaryDir dir;
    const ProcessResult r =
        run({"--nogui", "--class", "x:y::z", "--listcontents", "--logdir", dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err, QString());
    QFile log(dir.path() + "/log.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(" INFO: Starting in console mode."));
    EXPECT_TRUE(lines[1].endsWith(" INFO: Classpath: x:y:z"));
}

TEST(MainTest, GuiModeIsNotAvailableYet)
{
    QTemporaryDir dir;
    const ProcessResult r = run({"--gui", "--testoss"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("main window is not built")) << r.err.toStdString();
}
