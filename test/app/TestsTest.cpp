// The segment test runs in this process: which gold files each run loads, in which order, under
// which profile, and what it stores. The loaders log every classpath they are made for, so the
// log shows the lists exactly.
#include "Tests.h"
#include "AppTestSupport.h"
#include "Classpath.h"
#include "Options.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace {

const QString J2EE = "data/j2ee8.javagold";
const QString J2SE = "data/j2se8.javagold";
const QString IOS = "data/IOS.javagold";
const QString COMMON = "data/VELM_common.javagold";
const QString CORBA = "data/FormerlyCORBA.javagold";
const QString TSS_IND = "data/TSS_type_independent.javagold";
const QString TSS_ABS = "data/TSS_type_abstraction.javagold";

class TestsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ensureLogger();
        work = new QTemporaryDir();
        QDir().mkpath(work->path() + "/empty");
        QDir().mkpath(work->path() + "/logs");
        makeStandardData(work->path(), true);
        buildGold(fixture("tssapi"), work->path() + "/tss1.javagold");
        buildGold(fixture("tssapi"), work->path() + "/tss2.javagold");
    }
    static void TearDownTestSuite()
    {
        delete work;
        work = nullptr;
    }

    void SetUp() override
    {
        saved = *Options::opts;
        previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(work->path()));
        Options::opts->logDir = work->path() + "/logs";
        Options::opts->port = 0;
        classpath.append(fixture("supplied"));
        framework.append(work->path() + "/empty");
        tssGold = work->path() + "/tss1.javagold:" + work->path() + "/tss2.javagold";
    }
    void TearDown() override
    {
        QDir::setCurrent(previousDir);
        *Options::opts = saved;
    }

    // The classpaths that the run's loaders were made for, in order.
    QStringList classpathsOf(const std::function<void()>& run)
    {
        LogCapture log;
        run();
        QStringList lists;
        for (const QString& line : log.startingWith("Processing classpath: "))
            lists.append(line.mid(int(qstrlen("Processing classpath: "))));
        return lists;
    }

    QString results() const { return readFile(work->path() + "/logs/results.txt"); }

    static QTemporaryDir* work;
    Options saved;
    QString previousDir;
    Classpath classpath;
    Classpath framework;
    QString tssGold;
};

QTemporaryDir* TestsTest::work = nullptr;

QString joined(const QStringList& parts)
{
    return parts.join(':');
}

struct SegmentRun
{
    const char* name;
    // Gold classpath and access classpath for the interface runs; an empty gold list means the
    // access test alone, whose API list is the second.
    std::function<void(const Classpath&, const QString&, const Classpath&)> call;
    std::function<QStringList(const QStringList& platform, const QString& cp, const QString& tss,
                              const QString& fw)>
        gold;
    std::function<QStringList(const QStringList& platform, const QString& cp, const QString& tss,
                              const QString& fw)>
        access;
};

const SegmentRun runs[] = {
    {"oss", [](const Classpath& cp, const QString&, const Classpath&) { Tests::oss(cp); },
     [](const QStringList& p, const QString&, const QString&, const QString&) { return p; },
     [](const QStringList&, const QString&, const QString&, const QString&) {
         return QStringList();
     }},
    {"ios", [](const Classpath& cp, const QString&, const Classpath& fw) { Tests::ios(cp, fw); },
     [](const QStringList&, const QString&, const QString&, const QString&) {
         return QStringList({IOS});
     },
     [](const QStringList& p, const QString& cp, const QString&, const QString& fw) {
         return p + QStringList({COMMON, CORBA, cp, fw});
     }},
    {"tssabsiface",
     [](const Classpath& cp, const QString&, const Classpath& fw) { Tests::tssabsiface(cp, fw); },
     [](const QStringList&, const QString&, const QString&, const QString&) {
         return QStringList({TSS_IND, TSS_ABS});
     },
     [](const QStringList& p, const QString& cp, const QString&, const QString& fw) {
         return p + QStringList({COMMON, CORBA, cp, fw});
     }},
    {"tssabs",
     [](const Classpath& cp, const QString& tss, const Classpath& fw) {
         Tests::tssabs(cp, tss, fw);
     },
     [](const QStringList&, const QString&, const QString& tss, const QString&) {
         return QStringList({TSS_IND, tss});
     },
     [](const QStringList& p, const QString& cp, const QString&, const QString& fw) {
         return p + QStringList({COMMON, CORBA, TSS_ABS, cp, fw});
     }},
    {"tss",
     [](const Classpath& cp, const QString& tss, const Classpath& fw) { Tests::tss(cp, tss, fw); },
     [](const QStringList&, const QString&, const QString& tss, const QString&) {
         return QStringList({TSS_IND, tss});
     },
     [](const QStringList& p, const QString& cp, const QString&, const QString& fw) {
         return p + QStringList({COMMON, CORBA, cp, fw});
     }},
    {"pcs",
     [](const Classpath& cp, const QString& tss, const Classpath& fw) { Tests::pcs(cp, tss, fw); },
     [](const QStringList&, const QString&, const QString&, const QString&) {
         return QStringList();
     },
     [](const QStringList& p, const QString&, const QString& tss, const QString& fw) {
         return p + QStringList({IOS, COMMON, CORBA, TSS_IND, tss, fw});
     }},
    {"pss",
     [](const Classpath& cp, const QString& tss, const Classpath& fw) { Tests::pss(cp, tss, fw); },
     [](const QStringList&, const QString&, const QString&, const QString&) {
         return QStringList();
     },
     [](const QStringList& p, const QString&, const QString& tss, const QString& fw) {
         return p + QStringList({COMMON, CORBA, IOS, TSS_IND, tss, fw});
     }},
};

} // namespace

TEST_F(TestsTest, EveryRunLoadsItsListsInOrderAndJ2eeOnlyUnderTheGeneralProfile)
{
    const QString cp = classpath.toString();
    const QString fw = framework.toString();
    for (int profile : {1, 2, 3}) {
        Options::opts->profile = profile;
        const QStringList platform = profile == 1 ? QStringList({J2EE, J2SE}) : QStringList({J2SE});
        for (const SegmentRun& run : runs) {
            SCOPED_TRACE(QString("%1, profile %2").arg(run.name).arg(profile).toStdString());
            const QStringList lists =
                classpathsOf([&] { run.call(classpath, tssGold, framework); });
            const QStringList gold = run.gold(platform, cp, tssGold, fw);
            const QStringList access = run.access(platform, cp, tssGold, fw);
            QStringList expected;
            // The interface test loads the gold list, then the code under test; the access test
            // loads its list followed by the code under test, then the code under test alone.
            if (!gold.isEmpty())
                expected << joined(gold) << cp;
            if (!access.isEmpty())
                expected << joined(access + QStringList({cp})) << cp;
            EXPECT_EQ(lists, expected);
        }
    }
}

TEST_F(TestsTest, EmptyTssGoldTextAddsNoFile)
{
    Options::opts->profile = 3;
    const QString cp = classpath.toString();
    const QStringList lists = classpathsOf([&] { Tests::tss(classpath, QString(""), framework); });
    ASSERT_FALSE(lists.isEmpty());
    EXPECT_EQ(lists[0], TSS_IND);
    const QStringList pcs = classpathsOf([&] { Tests::pcs(classpath, QString(), framework); });
    ASSERT_FALSE(pcs.isEmpty());
    EXPECT_EQ(pcs[0], joined({J2SE, IOS, COMMON, CORBA, TSS_IND, framework.toString(), cp}));
}

TEST_F(TestsTest, OssStoresOnlyInterfaceResults)
{
    Options::opts->profile = 2;
    Tests::oss(classpath);
    const QString text = results();
    EXPECT_TRUE(text.startsWith("Results Tree:\n\n  Interface Results:\n\n    java.lang.Object:\n"))
        << text.toStdString();
    EXPECT_FALSE(text.contains("Access Results"));
}

TEST_F(TestsTest, IosStoresInterfaceThenAccessResults)
{
    Options::opts->profile = 3;
    Tests::ios(classpath, framework);
    const QString text = results();
    const int interface = text.indexOf("\n  Interface Results:\n");
    const int access = text.indexOf("\n  Access Results:\n");
    EXPECT_GT(interface, 0);
    EXPECT_GT(access, interface);
    // seg.Counter lacks add(int); seg.Client uses java.lang.Math, which the allowed API lacks.
    EXPECT_TRUE(text.contains("        Method void add(int) test: FAIL\n"
                              "          Test if method void add(int) is properly declared.\n"
                              "            ERROR: Not found\n"
                              "            ERROR: Candidates:\n"
                              "            ERROR: [None]\n\n"))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains("    seg.Client:\n\n      Class java.lang.Math existence test: FAIL\n"))
        << text.toStdString();
}

TEST_F(TestsTest, EachRunRewritesTheResultsFile)
{
    Options::opts->profile = 3;
    Tests::ios(classpath, framework);
    ASSERT_TRUE(results().contains("Access Results"));
    Tests::oss(classpath);
    EXPECT_FALSE(results().contains("Access Results"));
    EXPECT_FALSE(results().contains("seg.Counter"));
}

TEST_F(TestsTest, ResultsOfAnEarlierRunGoWhenARunStarts)
{
    Options::opts->profile = 3;
    const QString path = work->path() + "/logs/results.txt";
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("Results Tree:\n\n");
    earlier.close();

    // The run's first loader logs its classpath; a run that ends there stores nothing, so the
    // earlier results must be gone by then.
    bool checked = false;
    bool earlierThere = true;
    QObject context;
    QObject::connect(
        Logger::logger, &Logger::log, &context,
        [&](Logger::Level, const QString& text) {
            if (!checked && text.startsWith("Processing classpath: ")) {
                checked = true;
                earlierThere = QFile::exists(path);
            }
        },
        Qt::DirectConnection);
    Tests::ios(classpath, framework);
    ASSERT_TRUE(checked);
    EXPECT_FALSE(earlierThere);
    EXPECT_TRUE(results().contains("\n  Access Results:\n"));
}

// FAIL verdicts are results like any other; a run whose results are cut short or not written
// says so with status 1, and stores what it has.
TEST_F(TestsTest, RunReturnsOneOnlyWhenItsResultsAreNotWhole)
{
    Options::opts->profile = 3;
    EXPECT_EQ(Tests::ios(classpath, framework), 0);
    EXPECT_TRUE(results().contains(": FAIL\n"));

    {
        LogCapture log;
        log.throwOn("Interface test starting", "out of memory");
        EXPECT_EQ(Tests::ios(classpath, framework), 1);
        EXPECT_EQ(log.at(Logger::L_ERROR),
                  QStringList({"Test interrupted by exception - out of memory"}));
        EXPECT_TRUE(results().contains("\n  Access Results:\n"));
    }
    {
        LogCapture log;
        log.throwOn("Access test starting", "out of memory");
        EXPECT_EQ(Tests::pcs(classpath, tssGold, framework), 1);
        EXPECT_EQ(results(), QString("Results Tree:\n\n  Access Results:\n\n"));
    }

    const QString path = work->path() + "/missing/logs/results.txt";
    Options::opts->logDir = work->path() + "/missing/logs";
    LogCapture log;
    EXPECT_EQ(Tests::oss(classpath), 1);
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QStringList({"Unable to open results file for writing " + path}));
}
