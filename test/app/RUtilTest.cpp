// The results text file and the TCP results report, against a listener in this process.
#include "RUtil.h"
#include "AppTestSupport.h"
#include "Options.h"
#include "TestResult.pb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <csignal>
#include <thread>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void addResult(TestResultGroup* group, const char* name, const char* description, int score,
               const QList<QPair<LogLevel, const char*>>& entries = {})
{
    TestResult* result = group->add_results();
    result->set_name(name);
    result->set_description(description);
    if (score != 0)
        result->set_score(TestScore(score));
    for (const auto& entry : entries) {
        LogEntry* log = result->add_logs();
        log->set_level(entry.first);
        log->set_text(entry.second);
    }
}

class RUtilTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureLogger();
        ASSERT_TRUE(dir.isValid());
        saved = *Options::opts;
        Options::opts->logDir = dir.path();
        Options::opts->host = Options::defaultHost();
        Options::opts->port = 0;
    }
    void TearDown() override { *Options::opts = saved; }

    QString resultsFile() const { return dir.path() + "/results.txt"; }

    // Listens on a free loopback port and sets the report port to it.
    void listen()
    {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        Options::opts->port = server.serverPort();
    }

    // The bytes of the one connection the listener got; the sender has closed it already.
    QByteArray received()
    {
        if (!server.hasPendingConnections() && !server.waitForNewConnection(5000))
            return QByteArray();
        QTcpSocket* socket = server.nextPendingConnection();
        QByteArray bytes;
        for (;;) {
            bytes += socket->readAll();
            if (socket->state() != QAbstractSocket::ConnectedState ||
                !socket->waitForReadyRead(5000))
                break;
        }
        bytes += socket->readAll();
        delete socket;
        return bytes;
    }

    QTemporaryDir dir;
    Options saved;
    QTcpServer server;
};

TestResultGroup sampleTree()
{
    TestResultGroup root;
    root.set_name("Results Tree");
    addResult(&root, "Alpha test", "Checks alpha.", R_PASS,
              {{L_WARNING, "careful"}, {L_ERROR, "broken"}});
    TestResultGroup* interface = root.add_subgroup();
    interface->set_name("Interface Results");
    TestResultGroup* counter = interface->add_subgroup();
    counter->set_name("seg.Counter");
    addResult(counter, "Method void add(int) test", "Test if method void add(int) is declared.",
              R_FAIL, {{L_ERROR, "Not found"}});
    addResult(counter, "Native call test", "Needs a person.", R_INSPECT);
    addResult(counter, "Unscored test", "Reads as a pass.", 0);
    TestResultGroup* access = root.add_subgroup();
    access->set_name("Access Results");
    addResult(access, "Class java.lang.Math existence test", "Checking for existence.", R_FAIL,
              {{L_ERROR, "Class not found"}});
    return root;
}

const char* const sampleText = "Results Tree:\n"
                               "\n"
                               "  Alpha test: PASS\n"
                               "    Checks alpha.\n"
                               "      WARNING: careful\n"
                               "      ERROR: broken\n"
                               "\n"
                               "  Interface Results:\n"
                               "\n"
                               "    seg.Counter:\n"
                               "\n"
                               "      Method void add(int) test: FAIL\n"
                               "        Test if method void add(int) is declared.\n"
                               "          ERROR: Not found\n"
                               "\n"
                               "      Native call test: UNKNOWN\n"
                               "        Needs a person.\n"
                               "\n"
                               "      Unscored test: PASS\n"
                               "        Reads as a pass.\n"
                               "\n"
                               "  Access Results:\n"
                               "\n"
                               "    Class java.lang.Math existence test: FAIL\n"
                               "      Checking for existence.\n"
                               "        ERROR: Class not found\n"
                               "\n";

} // namespace

TEST_F(RUtilTest, ResultsTextIndentsGroupsAndPutsResultsBeforeSubgroups)
{
    RUtil::writeResultsFile(resultsFile(), sampleTree());
    EXPECT_EQ(readFile(resultsFile()), QString(sampleText));
}

TEST_F(RUtilTest, EmptyRootIsTwoLines)
{
    TestResultGroup root;
    root.set_name("Results Tree");
    RUtil::writeResultsFile(resultsFile(), root);
    EXPECT_EQ(readFile(resultsFile()), QString("Results Tree:\n\n"));
}

TEST_F(RUtilTest, EveryWriteReplacesTheFile)
{
    RUtil::writeResultsFile(resultsFile(), sampleTree());
    TestResultGroup second;
    second.set_name("Second");
    RUtil::writeResultsFile(resultsFile(), second);
    EXPECT_EQ(readFile(resultsFile()), QString("Second:\n\n"));
}

TEST_F(RUtilTest, UnwritableResultsFileIsLoggedAndTheReportStillGoes)
{
    const QString path = dir.path() + "/missing/results.txt";
    {
        LogCapture log;
        RUtil::writeResultsFile(path, sampleTree());
        EXPECT_EQ(log.at(Logger::L_ERROR),
                  QStringList({"Unable to open results file for writing " + path}));
    }
    EXPECT_FALSE(QFile::exists(path));

    Options::opts->logDir = dir.path() + "/missing";
    listen();
    LogCapture log;
    store(sampleTree());
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Unable to open results file for writing " + path}));
    EXPECT_FALSE(received().isEmpty());
}

TEST_F(RUtilTest, ResultsFileOnAFullDeviceIsLoggedAsNotWritten)
{
    const QString path = resultsFile();
    ASSERT_TRUE(QFile::link("/dev/full", path));
    LogCapture log;
    RUtil::writeResultsFile(path, sampleTree());
    EXPECT_EQ(log.at(Logger::L_ERROR), QStringList({"Could not write results file " + path}));
}

TEST_F(RUtilTest, ResultsFileIsReplacedOnlyWhenWrittenWhole)
{
    QFile earlier(resultsFile());
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("Results Tree:\n\n");
    earlier.close();

    TestResultGroup root;
    root.set_name("Results Tree");
    addResult(&root, "Large", std::string(64 * 1024, 'x').c_str(), R_PASS);
    // The file size limit stops the write part way, as a full disk does.
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    LogCapture log;
    RUtil::writeResultsFile(resultsFile(), root);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Could not write results file " + resultsFile()}));
    EXPECT_EQ(readFile(resultsFile()), QString("Results Tree:\n\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"results.txt"}));
}

TEST_F(RUtilTest, PortZeroWritesTheFileAndSendsNothing)
{
    LogCapture log;
    store(sampleTree());
    EXPECT_EQ(readFile(resultsFile()), QString(sampleText));
    EXPECT_EQ(log.texts(), QStringList());
}

TEST_F(RUtilTest, ReportIsOneFrameWithBigEndianLengthAndTheTree)
{
    listen();
    const TestResultGroup tree = sampleTree();
    LogCapture log;
    store(tree);
    EXPECT_EQ(log.texts(), QStringList());
    EXPECT_EQ(readFile(resultsFile()), QString(sampleText));

    const QByteArray frame = received();
    ASSERT_GE(frame.size(), 4);
    const QByteArray payload = frame.mid(4);
    const quint32 length = (quint32(quint8(frame[0])) << 24) | (quint32(quint8(frame[1])) << 16) |
                           (quint32(quint8(frame[2])) << 8) | quint32(quint8(frame[3]));
    EXPECT_EQ(length, quint32(payload.size()));
    TestResultGroup parsed;
    ASSERT_TRUE(parsed.ParseFromArray(payload.constData(), payload.size()));
    EXPECT_EQ(parsed.SerializeAsString(), tree.SerializeAsString());
    EXPECT_EQ(parsed.subgroup(0).subgroup(0).results(1).score(), R_INSPECT);
}

TEST_F(RUtilTest, FrameOfA300ByteTreeStartsWith0000012C)
{
    TestResultGroup root;
    // One tag byte and two length bytes before the name.
    root.set_name(std::string(297, 'n'));
    ASSERT_EQ(root.ByteSizeLong(), 300u);
    listen();
    store(root);
    const QByteArray frame = received();
    ASSERT_EQ(frame.size(), 304);
    EXPECT_EQ(frame.left(4), QByteArray::fromHex("0000012c"));
}

TEST_F(RUtilTest, RefusedConnectionIsLoggedOnce)
{
    listen();
    const int port = Options::opts->port;
    server.close();
    LogCapture log;
    store(sampleTree());
    EXPECT_EQ(log.texts(), QStringList({QString("Could not connect to 127.0.0.1:%1 to report test "
                                                "results. Connection refused")
                                            .arg(port)}));
    // The results file does not depend on the report.
    EXPECT_EQ(readFile(resultsFile()), QString(sampleText));
}

TEST_F(RUtilTest, PortOutsideTheTcpRangeSendsNothing)
{
    listen();
    const int listening = Options::opts->port;
    // 65536 + p would reach port p if the number were cut to 16 bits.
    for (int port : {65536 + listening, 65536, -1, 0x7fffffff}) {
        Options::opts->port = port;
        LogCapture log;
        store(sampleTree());
        EXPECT_EQ(log.texts(),
                  QStringList({QString("Could not connect to 127.0.0.1:%1 to report test results. "
                                       "The port is out of range: it must be between 1 and 65535.")
                                   .arg(port)}));
        server.waitForNewConnection(0);
        EXPECT_FALSE(server.hasPendingConnections()) << port;
    }
}

TEST_F(RUtilTest, ListenerThatNeverReadsCostsTheWaitsAndNothingElse)
{
    // The listener takes the connection but reads nothing; with a small receive buffer a large
    // report fills the connection and the sender's waits run out.
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const int small = 4096;
    ASSERT_EQ(
        setsockopt(int(server.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
    Options::opts->port = server.serverPort();

    TestResultGroup root;
    root.set_name("Results Tree");
    addResult(&root, "Large", std::string(16 * 1024 * 1024, 'x').c_str(), R_PASS);
    LogCapture log;
    store(root);
    // The reasons are the socket's own texts, which depend on the wait that ran out.
    const QStringList lines = log.texts();
    ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Could not write data to network. ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("Disconnect problem. ")) << lines[1].toStdString();
    ASSERT_TRUE(server.waitForNewConnection(0));
    delete server.nextPendingConnection();
}

TEST_F(RUtilTest, ReportThatTheServerResetsIsLoggedAsNotWritten)
{
    // A listener that reads the first bytes of the frame and then resets the connection.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::thread server([listener] {
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            return;
        char head[16];
        (void)!recv(connection, head, sizeof head, MSG_WAITALL);
        const linger reset{1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        close(connection);
    });
    Options::opts->port = ntohs(address.sin_port);

    // Larger than the buffers of both ends together, so most of it is still to send.
    TestResultGroup root;
    root.set_name("Results Tree");
    addResult(&root, "Large", std::string(32 * 1024 * 1024, 'x').c_str(), R_PASS);
    LogCapture log;
    store(root);
    server.join();
    close(listener);

    const QStringList lines = log.texts();
    ASSERT_EQ(lines.size(), 1) << lines.join('|').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Could not write data to network. ")) << lines[0].toStdString();
}
