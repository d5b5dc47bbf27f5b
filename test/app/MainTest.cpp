// Runs the built program and checks what a user sees: exit status, standard output and
// standard error, and the start-up lines in log.txt.
#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

ProcessResult run(const QStringList& args, const QString& workDir = QString())
{
    return runProgram(args, workDir);
}

// The application's option table as the help lays it out, worked out by hand: F = 2 ('-h'); the
// widest names text is '--f[rameworkclasspath] <arg>' (N = 28); names start at column 6 and
// descriptions at column 37. The layout rules themselves are tested with the command-line library.
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

TEST(MainTest, ConsoleRunLogsItsStartUpAndWorkerLines)
{
    QTemporaryDir dir;
    const ProcessResult r =
        run({"--nogui", "--class", "x:y::z", "--listcontents", "--logdir", dir.path()});
    EXPECT_EQ(r.status, 0);
    // Entries that are neither a directory, a JAR file nor a gold file are skipped with a WARN
    // line, which the console shows on standard output; nothing is listed.
    const QStringList out = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(out.size(), 3) << r.out.toStdString();
    EXPECT_TRUE(out[0].endsWith(" WARN: Could not create class loader for classpath entry x"));
    EXPECT_TRUE(out[2].endsWith(" WARN: Could not create class loader for classpath entry z"));
    EXPECT_EQ(r.err, QString());

    QFile log(dir.path() + "/log.txt");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLocal8Bit(log.readAll()).split('\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.section(' ', 1);
    ASSERT_EQ(lines.size(), 11) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, 5),
              QStringList({"INFO: Starting in console mode.", "INFO: Classpath: x:y:z",
                           "DEBUG: Worker thread started", "DEBUG: Worker thread beginning work",
                           "DEBUG: Processing classpath: x:y:z"}));
    // The worker thread's last line is queued and may come after the lines of the main thread
    // that waits for it, but it is never lost.
    for (const char* text : {"DEBUG: Waiting on worker thread to end",
                             "DEBUG: Workered thread ended", "DEBUG: Worker thread ended work"})
        EXPECT_TRUE(lines.mid(8).contains(text)) << text;
}
