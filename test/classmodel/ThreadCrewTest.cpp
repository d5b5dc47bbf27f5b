#include "ThreadCrew.h"
#include "Class.h"
#include "FileSystemClassLoader.h"
#include "JarFileClassLoader.h"
#include "LoaderTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <future>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// A crew that gets only `allowed` threads from the system, as under a limit on threads or
// memory: every further start fails as std::thread fails then.
class ScarceCrew : public ThreadCrew
{
public:
    ScarceCrew(int size, int allowed) : ThreadCrew(size), allowed(allowed) {}

protected:
    std::thread startThread(const std::function<void()>& work) override
    {
        if (allowed-- > 0)
            return ThreadCrew::startThread(work);
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }

private:
    int allowed;
};

TEST(ThreadCrewTest, WorkThatNoThreadTakesIsDoneByTheWaitingThread)
{
    for (const int allowed : {0, 1}) {
        SCOPED_TRACE(allowed);
        ScarceCrew crew(4, allowed);
        std::vector<int> runs(200, 0);
        ThreadCrew::Tasks tasks(&crew, int(runs.size()), [&runs](int i) { ++runs[size_t(i)]; });
        EXPECT_EQ(crew.threadCount(), allowed);
        tasks.waitForAll();
        EXPECT_EQ(runs, std::vector<int>(runs.size(), 1));
    }
    // Tasks that nobody waits for are taken back, not waited for.
    ScarceCrew crew(4, 0);
    bool ran = false;
    {
        ThreadCrew::Tasks tasks(&crew, 1, [&ran](int) { ran = true; });
    }
    EXPECT_FALSE(ran);
}

TEST(ThreadCrewTest, FailureOnACrewThreadIsThrownWhereTheTaskIsWaitedFor)
{
    ThreadCrew crew(1);
    std::promise<std::thread::id> runner;
    ThreadCrew::Tasks tasks(&crew, 1, [&runner](int) {
        runner.set_value(std::this_thread::get_id());
        throw std::bad_alloc();
    });
    // Nobody waits before the crew's thread has taken it.
    EXPECT_NE(runner.get_future().get(), std::this_thread::get_id());
    EXPECT_THROW(tasks.waitFor(0), std::bad_alloc);
}

TEST(ThreadCrewTest, FirstTaskThrowingStopsTheRunAndEveryWaitThrowsIt)
{
    ScarceCrew crew(4, 0);
    std::vector<int> runs(5, 0);
    ThreadCrew::Tasks tasks(&crew, int(runs.size()), [&runs](int i) {
        ++runs[size_t(i)];
        if (i == 0)
            throw std::runtime_error("first");
    });
    for (const int i : {3, 0, 4}) {
        try {
            tasks.waitFor(i);
            ADD_FAILURE() << "task " << i << " did not throw";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "first");
        }
    }
    EXPECT_EQ(runs, (std::vector<int>{1, 0, 0, 0, 0}));
}

// Loads that the crew cannot give threads define and log exactly what loads on threads do; a
// failure while a class is worked out reaches the loading thread, with the classes before it
// defined and logged.
class CrewLoaderTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    LogCapture log;

    QString path(const QString& relative) const { return dir.filePath(relative); }

    template <typename Loader>
    QPair<QList<LogLine>, QStringList> load(Loader* loader, ThreadCrew* crew)
    {
        loader->setThreadCrew(crew);
        log.lines.clear();
        loader->loadAllClasses();
        return qMakePair(log.lines, loader->getAllClasses().keys());
    }
};

// A loader whose reads on the threads fail at one name, as memory running out would.
class FailingLoader : public JavaClassLoader
{
public:
    void loadAll(const QStringList& names, const QString& failing, const QByteArray& bytes)
    {
        loadInOrder(
            names,
            [failing, bytes](const QString& name) {
                if (name == failing)
                    throw std::bad_alloc();
                ClassData data;
                data.bytes = bytes;
                data.lines.append(qMakePair(Logger::L_DEBUG, "read " + name));
                return data;
            },
            true);
    }
};

TEST_F(CrewLoaderTest, LoadsWithoutThreadsAsWithThemAndPassesFailuresOn)
{
    const QByteArray good = fixtureClass("la/Base.class");
    QList<ArchiveEntry> entries;
    for (int i = 0; i < 100; ++i)
        entries.append({QString("p/C%1.class").arg(i), i % 9 == 4 ? good.left(30) : good});
    for (const ArchiveEntry& entry : qAsConst(entries))
        writeFile(path("tree/" + entry.path), entry.data);
    writeArchive(path("all.jar"), entries, ArchiveFormat::ZipDeflated);

    ThreadCrew threads(4);
    ScarceCrew none(4, 0);
    FileSystemClassLoader treeOnThreads{QDir(path("tree"))};
    FileSystemClassLoader treeAlone{QDir(path("tree"))};
    const auto tree = load(&treeOnThreads, &threads);
    EXPECT_EQ(tree.second.size(), 100 - 11);
    EXPECT_EQ(load(&treeAlone, &none), tree);
    JarFileClassLoader jarOnThreads(path("all.jar"));
    JarFileClassLoader jarAlone(path("all.jar"));
    const auto jar = load(&jarOnThreads, &threads);
    EXPECT_EQ(jar.second, tree.second);
    EXPECT_EQ(load(&jarAlone, &none), jar);

    QStringList names;
    QStringList before;
    for (int i = 0; i < 100; ++i) {
        names.append(QString("Lp/C%1;").arg(i));
        if (i < 50)
            before.append("read " + names.last());
    }
    FailingLoader failing;
    failing.setThreadCrew(&threads);
    log.lines.clear();
    EXPECT_THROW(failing.loadAll(names, "Lp/C50;", good), std::bad_alloc);
    EXPECT_EQ(log.texts(), before);
    EXPECT_EQ(failing.getAllClasses().size(), 50);
}

} // namespace
