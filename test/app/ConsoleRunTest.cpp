// Console runs of the built program, end to end: every command, with log.txt, results.txt,
// standard output and error, the exit status and the TCP report.
#include "AppTestSupport.h"
#include "JavaTypes.pb.h"
#include "ProtoIO.h"
#include "TestResult.pb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <vector>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the built program in `workDir` as a child of this process, with its standard output on
// `out`, its standard error on `err` and, unless it is RLIM_INFINITY, `fileSizeLimit` as the most
// bytes it may write to a file (ulimit -f). The child starts with the default actions for SIGPIPE
// and SIGXFSZ, whatever this process does, so the program must see to them itself. Returns the
// exit status, or -1 when the program did not exit normally (a signal ended it).
int runChild(const QStringList& args, const QString& workDir, int out, int err,
             rlim_t fileSizeLimit = RLIM_INFINITY)
{
    std::vector<QByteArray> storage{QByteArray(VELM_JCT_PATH)};
    for (const QString& arg : args)
        storage.push_back(arg.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const QByteArray dir = workDir.toLocal8Bit();

    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.constData()) != 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(127);
        if (fileSizeLimit != RLIM_INFINITY) {
            rlimit limit;
            if (getrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(127);
            limit.rlim_cur = fileSizeLimit;
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(127);
        }
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// Runs the built program in `workDir` with its standard output on a pipe that nobody reads any
// more, as `velm-jct ... | head -1` leaves it once head has gone; standard error is dropped.
int runWithClosedOutput(const QStringList& args, const QString& workDir)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    close(fds[0]);
    const int devNull = open("/dev/null", O_WRONLY);
    const int status = runChild(args, workDir, fds[1], devNull);
    close(devNull);
    close(fds[1]);
    return status;
}

class ConsoleRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureLogger();
        ASSERT_TRUE(work.isValid());
        makeStandardData(work.path(), false);
    }

    ProcessResult run(const QStringList& args) { return runProgram(args, work.path()); }
    QString log() const { return readFile(work.path() + "/log.txt"); }
    QString results() const { return readFile(work.path() + "/results.txt"); }

    // The texts of the lines of log.txt, without date and time.
    QStringList logTexts() const
    {
        QStringList texts;
        for (const QString& line : log().split('\n', Qt::SkipEmptyParts))
            texts.append(line.section(' ', 1));
        return texts;
    }

    QTemporaryDir work;
};

} // namespace

TEST_F(ConsoleRunTest, EveryTestCommandRunsItsSegmentAndStoresTheResults)
{
    const QString supplied = fixture("supplied");
    const struct
    {
        QStringList args;
        const char* progress;
        // The first group under the root.
        const char* firstGroup;
        bool access;
    } cases[] = {
        {{"--testoss"}, "Running OSS test", "Interface Results", false},
        {{"--testios"}, "Running IOS test", "Interface Results", true},
        {{"--testtss", "--tssgold", "tss.javagold"}, "Running TSS test", "Interface Results", true},
        {{"--testtssabs", "--tssgold", "tss.javagold"},
         "Running TSS with Type Abstraction test",
         "Interface Results",
         true},
        {{"--testtssabsiface"},
         "Running TSS Abstraction Interface test",
         "Interface Results",
         true},
        {{"--testpcs", "--tssgold", "tss.javagold"}, "Running PCS test", "Access Results", true},
        {{"--testpss", "--tssgold", "tss.javagold"}, "Running PSS test", "Access Results", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.progress);
        QFile::remove(work.path() + "/results.txt");
        const ProcessResult r =
            run(QStringList({"--nogui", "--safetyBase", "--classpath", supplied}) + c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, QString());
        EXPECT_EQ(r.out, QString());

        const QStringList texts = logTexts();
        ASSERT_GE(texts.size(), 5);
        EXPECT_EQ(
            texts.mid(0, 5),
            QStringList({"INFO: Starting in console mode.", "INFO: Classpath: " + supplied,
                         "DEBUG: Worker thread started", "DEBUG: Worker thread beginning work",
                         QString("INFO: ") + c.progress}));
        EXPECT_TRUE(texts.contains("DEBUG: Worker thread ended work"));
        EXPECT_TRUE(texts.contains("DEBUG: Workered thread ended"));

        const QString text = results();
        EXPECT_TRUE(text.startsWith(QString("Results Tree:\n\n  %1:\n\n").arg(c.firstGroup)))
            << text.toStdString();
        EXPECT_EQ(text.contains("\n  Access Results:\n"), c.access);
        if (c.access) {
            EXPECT_TRUE(text.contains("      Class java.lang.Math existence test: FAIL\n"));
        }
    }
}

TEST_F(ConsoleRunTest, ClosedStandardOutputDoesNotEndTheRun)
{
    // A class file that the loader rejects gives a WARN line on standard output.
    ASSERT_TRUE(QDir(work.path()).mkdir("broken"));
    QFile broken(work.path() + "/broken/Broken.class");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a class");
    broken.close();

    EXPECT_EQ(runWithClosedOutput({"--nogui", "--testios", "--safetyBase", "--classpath",
                                   fixture("supplied") + ":broken"},
                                  work.path()),
              0);
    EXPECT_TRUE(log().contains(" WARN: Broken: "));
    EXPECT_TRUE(results().contains("\n  Access Results:\n"));
}

// The access test's worker logs a line per class and per dependency, thousands in all; the log
// file after the run holds each of them whole, once, in the order they were logged, up to the
// worker's last line.
TEST_F(ConsoleRunTest, LogFileHoldsEveryLineOfTheRunInOrder)
{
    const int count = 3000;
    JClasses delivery;
    for (int i = 0; i < count; ++i) {
        JClass* cls = delivery.add_classes();
        cls->set_name(QString("Lp/C%1;").arg(i, 4, 10, QChar('0')).toStdString());
        cls->set_parent("Ljava/lang/Object;");
    }
    ProtoIO::write(&delivery, work.path() + "/delivery.javagold");

    const ProcessResult r =
        run({"--nogui", "--testios", "--safetyBase", "--classpath", "delivery.javagold"});
    EXPECT_EQ(r.status, 0);
    const QStringList lines = log().split('\n');
    ASSERT_EQ(lines.last(), QString());
    const QRegularExpression whole("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ "
                                   "(DEBUG|INFO|WARN|ERROR): \\S");
    QStringList accessLines;
    bool inAccessTest = false;
    for (const QString& line : lines.mid(0, lines.size() - 1)) {
        ASSERT_TRUE(whole.match(line).hasMatch()) << line.toStdString();
        const QString text = line.section(' ', 1);
        if (text == "INFO: Access test starting")
            inAccessTest = true;
        else if (inAccessTest)
            accessLines.append(text);
    }
    ASSERT_EQ(accessLines.size(), count + 4) << accessLines.mid(count).join('|').toStdString();
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(accessLines[i], QString("INFO: Test %1% %2/%3 p.C%4")
                                      .arg((i + 1) * 100 / count)
                                      .arg(i + 1)
                                      .arg(count)
                                      .arg(i, 4, 10, QChar('0')));
    EXPECT_EQ(accessLines[count], "INFO: Access test completed");
    // The worker's last line follows its `done`, so it comes after the lines that the main
    // thread logs when it answers that signal, as it would if each line were queued on its own.
    EXPECT_EQ(accessLines.mid(count + 1),
              QStringList({"DEBUG: Waiting on worker thread to end", "DEBUG: Workered thread ended",
                           "DEBUG: Worker thread ended work"}));
}

TEST_F(ConsoleRunTest, TssGoldClassesAreTestedAfterTheTypeIndependentOnes)
{
    const ProcessResult r = run({"--nogui", "--testtss", "--general", "--classpath",
                                 fixture("supplied"), "--tssgold", "tss.javagold"});
    EXPECT_EQ(r.status, 0);
    const QString text = results();
    EXPECT_TRUE(text.contains("    tss.Extension:\n\n      Attributes:\n\n"
                              "        Class tss.Extension existence test: FAIL\n"
                              "          Test if class tss.Extension exists.\n"
                              "            ERROR: tss.Extension could not be loaded from the "
                              "classpath\n"))
        << text.toStdString();
}

TEST_F(ConsoleRunTest, MissingStandardGoldFileIsReportedAndTheRunGoesOn)
{
    // The general profile adds data/j2ee8.javagold, which this data directory lacks.
    const ProcessResult r =
        run({"--nogui", "--testoss", "--general", "--classpath", fixture("supplied")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.endsWith(" ERROR: Could not open file data/j2ee8.javagold for reading\n"))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1);
    EXPECT_TRUE(results().contains("    java.lang.Object:\n"));
}

TEST_F(ConsoleRunTest, LogDirectoryReceivesLogAndResults)
{
    QTemporaryDir logs;
    const ProcessResult r = run({"--nogui", "--testoss", "--safetyExt", "--classpath",
                                 fixture("supplied"), "--logdir", logs.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(readFile(logs.path() + "/results.txt").startsWith("Results Tree:\n"));
    EXPECT_TRUE(readFile(logs.path() + "/log.txt").contains(" INFO: Running OSS test\n"));
    EXPECT_FALSE(QFile::exists(work.path() + "/results.txt"));
}

TEST_F(ConsoleRunTest, ListContentsPrintsOneClassPerLineInKeyOrder)
{
    ProcessResult r = run({"--nogui", "--listcontents", "--classpath", fixture("supplied")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QString("seg.Client\nseg.Counter\nseg.Service\n"));
    EXPECT_EQ(r.err, QString());
    EXPECT_FALSE(QFile::exists(work.path() + "/results.txt"));

    // Gold files list the same way; a class that two entries hold is listed once per entry.
    r = run({"--nogui", "--listcontents", "--classpath",
             "data/j2se8.javagold:data/IOS.javagold:data/TSS_type_independent.javagold"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              QString("java.lang.Object\nseg.Counter\nseg.Counter\nseg.Service\nseg.Service\n"));

    // Enough classes that their lines are made on several threads, in pieces that a line count
    // of three does not divide: the pieces still come out in key order. Each file is a copy
    // listed under its own name, so the lines repeat in threes.
    QString expected;
    for (int i = 0; i < 300; ++i) {
        const QString package = QString("%1/many/p%2/").arg(work.path()).arg(i, 3, 10, QChar('0'));
        QDir().mkpath(package);
        int copy = 0;
        for (const char* name : {"Client", "Counter", "Service"}) {
            const QString copyName = package + QChar('A' + copy++) + ".class";
            ASSERT_TRUE(QFile::copy(fixture("supplied") + "/seg/" + name + ".class", copyName));
            expected += QString("seg.%1\n").arg(name);
        }
    }
    r = run({"--nogui", "--listcontents", "--classpath", "many"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, QString());
}

TEST_F(ConsoleRunTest, ListingComesAfterEveryLineThatLoadingLogged)
{
    // So many broken class files that the main thread is still writing their warnings when the
    // loading has ended.
    const QString dir = work.path() + "/mixed/";
    QDir().mkpath(dir + "seg");
    QDir().mkpath(dir + "bad");
    for (const char* name : {"Client", "Counter", "Service"})
        ASSERT_TRUE(QFile::copy(fixture("supplied") + "/seg/" + name + ".class",
                                dir + "seg/" + name + ".class"));
    for (int i = 0; i < 2000; ++i) {
        QFile bad(dir + QString("bad/B%1.class").arg(i));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("not a class");
    }
    const ProcessResult r = run({"--nogui", "--listcontents", "--classpath", "mixed"});
    EXPECT_EQ(r.status, 0);
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2003);
    EXPECT_EQ(lines.mid(lines.size() - 3),
              QStringList({"seg.Client", "seg.Counter", "seg.Service"}));
    lines.erase(lines.end() - 3, lines.end());
    EXPECT_EQ(lines.filter(" WARN: ").size(), lines.size());
}

TEST_F(ConsoleRunTest, ListingAnEmptyDirectoryPrintsNothing)
{
    QDir(work.path()).mkdir("empty");
    const ProcessResult r = run({"--nogui", "--listcontents", "--classpath", "empty"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(r.err, QString());
}

TEST_F(ConsoleRunTest, ListingThatCannotBeWrittenIsAnErrorWithStatusOne)
{
    // A listing of 16,000 bytes; the log of the run stays far below the size limit below.
    JClasses delivery;
    for (int i = 0; i < 2000; ++i) {
        JClass* cls = delivery.add_classes();
        cls->set_name(QString("Lp/C%1;").arg(i, 4, 10, QChar('0')).toStdString());
        cls->set_parent("Ljava/lang/Object;");
    }
    ProtoIO::write(&delivery, work.path() + "/delivery.javagold");

    const struct
    {
        const char* output;
        rlim_t fileSizeLimit;
        const char* reason;
    } cases[] = {{"/dev/full", RLIM_INFINITY, "No space left on device"},
                 {"listing.txt", 4096, "File too large"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const int out = open(QDir(work.path()).filePath(c.output).toLocal8Bit().constData(),
                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const QString errFile = work.path() + "/stderr.txt";
        const int err = open(errFile.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(out, 0);
        ASSERT_GE(err, 0);
        const int status =
            runChild({"--nogui", "--listcontents", "--classpath", "delivery.javagold"}, work.path(),
                     out, err, c.fileSizeLimit);
        close(out);
        close(err);
        EXPECT_EQ(status, 1);
        const QString line =
            QString(" ERROR: Could not write to standard output - %1\n").arg(c.reason);
        const QString errText = readFile(errFile);
        EXPECT_TRUE(errText.endsWith(line)) << errText.toStdString();
        EXPECT_EQ(errText.count('\n'), 1) << errText.toStdString();
        EXPECT_EQ(log().count(line), 1) << log().toStdString();
    }
}

TEST_F(ConsoleRunTest, LogDirectoryInUseByAnotherRunIsLeftAsItIs)
{
    // This process stands for a run that is still going on: it holds the lock on log.txt.
    QFile earlierResults(work.path() + "/results.txt");
    ASSERT_TRUE(earlierResults.open(QIODevice::WriteOnly));
    earlierResults.write("Results Tree:\n\n");
    earlierResults.close();
    QFile held(work.path() + "/log.txt");
    ASSERT_TRUE(held.open(QIODevice::WriteOnly));
    held.write("running\n");
    held.flush();
    ASSERT_EQ(flock(held.handle(), LOCK_EX | LOCK_NB), 0);

    ProcessResult r =
        run({"--nogui", "--testoss", "--safetyBase", "--classpath", fixture("supplied")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, QString("Log directory . is in use by another run\n"));
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(log(), QString("running\n"));
    EXPECT_EQ(results(), QString("Results Tree:\n\n"));

    // Once that run has ended, the directory is free.
    held.close();
    r = run({"--nogui", "--testoss", "--safetyBase", "--classpath", fixture("supplied")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(log().contains(" INFO: Running OSS test\n"));
    EXPECT_FALSE(log().contains("running"));
    EXPECT_TRUE(results().contains("\n  Interface Results:\n"));
}

TEST_F(ConsoleRunTest, ClasspathWithoutClassesIsAnError)
{
    const ProcessResult r =
        run({"--nogui", "--testios", "--safetyBase", "--classpath", "/no/such/dir"});
    EXPECT_EQ(r.status, 0);
    const QString line = " ERROR: No classes to test in /no/such/dir\n";
    EXPECT_TRUE(r.err.endsWith(line)) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_EQ(log().count(line), 1);
    // The loader factory's warnings stay.
    EXPECT_TRUE(
        r.out.contains(" WARN: Could not create class loader for classpath entry /no/such/dir\n"))
        << r.out.toStdString();
}

TEST_F(ConsoleRunTest, BuiltGoldFileHoldsThePublicClasses)
{
    ProcessResult r =
        run({"--nogui", "--buildjavagold", "built.javagold", "--classpath", fixture("supplied")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, QString());
    EXPECT_FALSE(log().contains("INFO: Running"));
    r = run({"--nogui", "--listcontents", "--classpath", "built.javagold"});
    EXPECT_EQ(r.out, QString("seg.Client\nseg.Counter\nseg.Service\n"));
}

// Output that is not whole is a failed run: each cause is logged once at ERROR, and the status is
// 1. (FAIL verdicts keep status 0: see the first test.)
TEST_F(ConsoleRunTest, RunWhoseOutputIsNotWholeExitsWithOne)
{
    const QString supplied = fixture("supplied");
    ProcessResult r =
        run({"--nogui", "--buildjavagold", "missing/built.javagold", "--classpath", supplied});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.endsWith(" ERROR: Could not open file missing/built.javagold for writing\n"))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();

    // A gold file without classes is not written; one already there stays as it was.
    ASSERT_TRUE(QDir(work.path()).mkdir("empty"));
    ASSERT_TRUE(QFile::copy(work.path() + "/tss.javagold", work.path() + "/kept.javagold"));
    r = run({"--nogui", "--buildjavagold", "kept.javagold", "--classpath", "empty"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.endsWith(" ERROR: No classes to build a gold file from in empty\n"))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_EQ(readFile(work.path() + "/kept.javagold"), readFile(work.path() + "/tss.javagold"));

    // A log directory that cannot be made: neither log.txt nor results.txt can be written.
    r = run({"--nogui", "--testoss", "--safetyBase", "--classpath", supplied, "--logdir",
             "missing/logs"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.endsWith(
        " ERROR: Unable to open results file for writing missing/logs/results.txt\n"))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count("results file"), 1) << r.err.toStdString();
}

TEST_F(ConsoleRunTest, ResultsAreReportedToTheCollectingServer)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const ProcessResult r =
        run({"--nogui", "--testios", "--safetyBase", "--classpath", fixture("supplied"), "--host",
             "127.0.0.1", "--port", QString::number(server.serverPort())});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, QString());

    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket* socket = server.nextPendingConnection();
    QByteArray frame;
    do
        frame += socket->readAll();
    while (socket->state() == QAbstractSocket::ConnectedState && socket->waitForReadyRead(5000));
    frame += socket->readAll();
    delete socket;

    ASSERT_GE(frame.size(), 4);
    const qint32 length =
        qint32((quint32(quint8(frame[0])) << 24) | (quint32(quint8(frame[1])) << 16) |
               (quint32(quint8(frame[2])) << 8) | quint32(quint8(frame[3])));
    EXPECT_EQ(length, frame.size() - 4);
    TestResultGroup root;
    ASSERT_TRUE(root.ParseFromArray(frame.constData() + 4, frame.size() - 4));
    EXPECT_EQ(root.name(), "Results Tree");
    ASSERT_EQ(root.subgroup_size(), 2);
    EXPECT_EQ(root.subgroup(0).name(), "Interface Results");
    EXPECT_EQ(root.subgroup(1).name(), "Access Results");
    server.waitForNewConnection(0);
    EXPECT_FALSE(server.hasPendingConnections());
}

TEST_F(ConsoleRunTest, ReportPortBeyondTheTcpRangeIsRefused)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const int port = 65536 + server.serverPort();
    const ProcessResult r = run({"--nogui", "--testoss", "--safetyBase", "--classpath",
                                 fixture("supplied"), "--port", QString::number(port)});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.endsWith(QString(" ERROR: Could not connect to 127.0.0.1:%1 to report test "
                                       "results. The port is out of range: it must be between 1 "
                                       "and 65535.\n")
                                   .arg(port)))
        << r.err.toStdString();
    server.waitForNewConnection(0);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_TRUE(results().startsWith("Results Tree:\n"));
}
