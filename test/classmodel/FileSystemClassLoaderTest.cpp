#include "FileSystemClassLoader.h"
#include "Class.h"
#include "Classpath.h"
#include "JarFileClassLoader.h"
#include "JarFileReader.h"
#include "LoaderTestSupport.h"
#include "ParentClassLoader.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <memory>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSystemClassLoaderTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    LogCapture log;

    QString path(const QString& relative) const { return dir.filePath(relative); }

    void link(const QString& target, const QString& linkName)
    {
        ASSERT_TRUE(QFile::link(target, path(linkName))) << linkName.toStdString();
    }
};

QStringList sortedKeys(const ClassLoader& loader)
{
    QStringList keys = loader.getAllClasses().keys();
    keys.sort();
    return keys;
}

} // namespace

TEST_F(FileSystemClassLoaderTest, WalksTheTreeCountingClassFilesAndOpeningArchives)
{
    copyFixtureClasses(dir.path());
    writeFile(path("deep/er/nested.jar"), readFile(fixture("archives/one.jar")));
    // Neither hidden entries nor case-differing suffixes count.
    writeFile(path(".hidden/la/Peer.class"), fixtureClass("la/Peer.class"));
    writeFile(path(".secret.jar"), readFile(fixture("archives/one.jar")));
    writeFile(path("Foo.CLASS"), fixtureClass("la/Peer.class"));
    writeFile(path("lib.JAR"), readFile(fixture("archives/one.jar")));
    writeFile(path("notes.txt"), "x");
    // Counted by its last suffix, but never loaded by its complete one.
    writeFile(path("Foo.bar.class"), fixtureClass("la/Peer.class"));
    // A directory with a class suffix is walked, not counted.
    writeFile(path("dir.class/la/Peer.class"), fixtureClass("la/Peer.class"));

    FileSystemClassLoader loader{QDir(dir.path())};
    EXPECT_EQ(loader.classFileCount, 11 + 2);
    ASSERT_EQ(loader.jarLoaders.size(), 1);
    EXPECT_EQ(loader.jarLoaders.first()->reader->classNames, QStringList({"Lla/Peer;"}));

    loader.loadAllClasses();
    EXPECT_EQ(sortedKeys(loader),
              QStringList({"LTop;", "Lla/Base;", "Lla/Hidden;", "Lla/Outer$Inner;", "Lla/Outer;",
                           "Lla/Peer;", "Llb/Orphan;", "Llb/Other;", "Llb/Sub;", "Llb/SubSub;",
                           "Llc/Gone;"}));
    // Every ".class" of the path goes, so the class under dir.class is looked for at
    // dir/la/Peer.class and not found.
    EXPECT_EQ(log.texts(Logger::L_DEBUG),
              QStringList({QString("Could not read class Ldir/la/Peer; because the class file %1 "
                                   "does not exist")
                               .arg(path("dir/la/Peer.class"))}));
    qDeleteAll(loader.jarLoaders);
}

// Each directory is walked in name order ignoring case, directories among the files, whatever
// order the file system keeps: it decides which of two archives that hold one class is consulted
// first.
TEST_F(FileSystemClassLoaderTest, WalksEachDirectoryInNameOrderIgnoringCase)
{
    const QStringList inOrder = {"a.jar",   "B.jar", "c.jar", "D.jar", "e.jar", "F.jar", "g/y.jar",
                                 "g/Z.jar", "h.jar", "I.jar", "j.jar", "K.jar", "l.jar", "M.jar",
                                 "n.jar",   "O.jar", "p.jar", "Q.jar", "r.jar", "S.jar"};
    const QByteArray base = fixtureClass("la/Base.class");
    const QByteArray peer = fixtureClass("la/Peer.class");
    // Made out of order; each archive holds a class named after it, a.jar and B.jar also p.X.
    QDir().mkpath(path("d/g"));
    for (int i = 0; i < inOrder.size(); ++i) {
        const QString name = inOrder.at(i * 7 % inOrder.size());
        const QString stem = QFileInfo(name).completeBaseName();
        QList<ArchiveEntry> entries = {{"n/" + stem + ".class", peer}};
        if (stem == "a" || stem == "B")
            entries.append({"p/X.class", stem == "a" ? base : peer});
        writeArchive(path("d/" + name), entries, ArchiveFormat::ZipStored);
    }
    // The file system's own order must differ, or this proves nothing.
    QStringList listed;
    QDirIterator it(path("d"), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext())
        listed.append(QFileInfo(it.next()).fileName());
    QStringList topLevel;
    for (const QString& name : inOrder) {
        if (!topLevel.contains(name.section('/', 0, 0)))
            topLevel.append(name.section('/', 0, 0));
    }
    ASSERT_NE(listed, topLevel);

    FileSystemClassLoader loader{QDir(path("d"))};
    QStringList walked;
    for (const JarFileClassLoader* jarLoader : qAsConst(loader.jarLoaders))
        walked.append(jarLoader->reader->classNames.value(0));
    qDeleteAll(loader.jarLoaders);
    QStringList expected;
    for (const QString& name : inOrder)
        expected.append("Ln/" + QFileInfo(name).completeBaseName() + ";");
    EXPECT_EQ(walked, expected);

    Classpath classpath;
    classpath.append(path("d"));
    const std::unique_ptr<ClassLoader> parent(ClassLoader::create(classpath));
    const Class* cls = parent->loadClass("Lp/X;");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->getName().toString(), "la.Base");
}

// Names equal but for case follow each other in code-unit order, whatever order the file system
// keeps: of two archives `Lib.jar` and `lib.jar` with one class, `Lib.jar` is consulted first.
TEST_F(FileSystemClassLoaderTest, ArchivesNamedAlikeButForCaseAreWalkedUpperCaseFirst)
{
    const QByteArray upper = fixtureClass("la/Base.class");
    const QByteArray lower = fixtureClass("la/Peer.class");
    const QStringList stems = {"Lib", "Core", "Api", "Util", "Ext", "Tools"};
    ASSERT_TRUE(QDir().mkpath(path("d")));
    // Made in both orders, so that the file system lists some lower-case twin first.
    for (int i = 0; i < stems.size(); ++i) {
        const QString& stem = stems.at(i);
        for (const QString& name :
             i % 2 ? QStringList({stem, stem.toLower()}) : QStringList({stem.toLower(), stem})) {
            writeArchive(path("d/" + name + ".jar"),
                         {{"p/" + stem + ".class", name == stem ? upper : lower}},
                         ArchiveFormat::ZipStored);
        }
    }
    QStringList listed;
    QDirIterator it(path("d"), QDir::Files);
    while (it.hasNext())
        listed.append(QFileInfo(it.next()).fileName());
    ASSERT_TRUE(std::any_of(stems.begin(), stems.end(), [&listed](const QString& stem) {
        return listed.indexOf(stem.toLower() + ".jar") < listed.indexOf(stem + ".jar");
    })) << "the file system lists every pair in code-unit order; this proves nothing";

    Classpath classpath;
    classpath.append(path("d"));
    const std::unique_ptr<ClassLoader> parent(ClassLoader::create(classpath));
    for (const QString& stem : stems) {
        const Class* cls = parent->loadClass("Lp/" + stem + ";");
        ASSERT_NE(cls, nullptr) << stem.toStdString();
        EXPECT_EQ(cls->getName().toString(), "la.Base") << stem.toStdString();
    }
}

TEST_F(FileSystemClassLoaderTest, DirectoryWithOnlyAnArchiveDefinesNothingItself)
{
    writeFile(path("a.jar"), readFile(fixture("archives/one.jar")));
    FileSystemClassLoader loader{QDir(dir.path())};
    EXPECT_EQ(loader.classFileCount, 0);
    ASSERT_EQ(loader.jarLoaders.size(), 1);
    loader.loadAllClasses();
    EXPECT_TRUE(loader.getAllClasses().isEmpty());
    EXPECT_EQ(loader.loadClass("Lla/Peer;"), nullptr);
    qDeleteAll(loader.jarLoaders);
}

TEST_F(FileSystemClassLoaderTest, ReadsClassFilesByDescriptor)
{
    copyFixtureClasses(dir.path());
    FileSystemClassLoader loader{QDir(dir.path())};
    EXPECT_EQ(loader.readClassData("LTop;"), fixtureClass("Top.class"));
    EXPECT_EQ(loader.readClassData("Lla/Outer$Inner;"), fixtureClass("la/Outer$Inner.class"));
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(FileSystemClassLoaderTest, ExplainsEveryFailedReadAtDebugLevel)
{
    QDir().mkpath(path("Foo.class"));
    writeFile(path("p/q.r/C.class"), fixtureClass("la/Peer.class"));
    FileSystemClassLoader loader{QDir(dir.path())};

    EXPECT_TRUE(loader.readClassData("I").isEmpty());
    EXPECT_TRUE(loader.readClassData("[Ljava/lang/String;").isEmpty());
    EXPECT_TRUE(loader.readClassData("Lno/Such;").isEmpty());
    EXPECT_TRUE(loader.readClassData("LFoo;").isEmpty());
    // p/q.r/C.class loads as Lp/q/r/C;, whose file is p/q/r/C.class.
    loader.loadAllClasses();
    EXPECT_TRUE(loader.getAllClasses().isEmpty());

    const QList<LogLine> expected = {
        {Logger::L_DEBUG, "Could not read class I because descriptor name is not valid"},
        {Logger::L_DEBUG,
         "Could not read class [Ljava/lang/String; because descriptor name is not valid"},
        {Logger::L_DEBUG, QString("Could not read class Lno/Such; because the class file %1 does "
                                  "not exist")
                              .arg(path("no/Such.class"))},
        {Logger::L_DEBUG, "Could not read class LFoo; because the file system object referenced "
                          "is not a file"},
        {Logger::L_DEBUG, QString("Could not read class Lp/q/r/C; because the class file %1 does "
                                  "not exist")
                              .arg(path("p/q/r/C.class"))}};
    EXPECT_EQ(log.lines, expected);
}

TEST_F(FileSystemClassLoaderTest, OversizedClassFileIsRefusedNamingItExactly)
{
    // A sparse file just over the limit; the name carries a placeholder of its own, which must
    // reach the message as it stands.
    QFile big(path("p/%1.class"));
    QDir().mkpath(path("p"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(JavaClassLoader::maxClassFileSize + 1));
    big.close();

    FileSystemClassLoader loader{QDir(dir.path())};
    EXPECT_EQ(loader.loadClass("Lp/%1;"), nullptr);
    EXPECT_EQ(log.lines, QList<LogLine>({{Logger::L_DEBUG,
                                          "Could not read class Lp/%1; because the file is larger "
                                          "than 67108864 bytes"}}));
}

TEST_F(FileSystemClassLoaderTest, PipesAndUnreadableFilesAreExplainedWithoutBeingRead)
{
    // Opening a pipe for reading would wait for a writer: it must be refused before any open.
    ASSERT_EQ(mkfifo(QFile::encodeName(path("Pipe.class")).constData(), 0600), 0);
    writeFile(path("Locked.class"), fixtureClass("Top.class"));
    ASSERT_TRUE(QFile::setPermissions(path("Locked.class"), QFileDevice::Permissions()));
    // A link to a readable class file reads as the file does.
    writeFile(path("real/Top.class"), fixtureClass("Top.class"));
    link(path("real/Top.class"), "Top.class");

    FileSystemClassLoader loader{QDir(dir.path())};
    EXPECT_TRUE(loader.readClassData("LPipe;").isEmpty());
    EXPECT_EQ(loader.readClassData("LTop;"), fixtureClass("Top.class"));
    QList<LogLine> expected = {{Logger::L_DEBUG, "Could not read class LPipe; because the file "
                                                 "system object referenced is not a file"}};
    EXPECT_EQ(log.lines, expected);

    // The superuser reads whatever the permissions say.
    if (geteuid() == 0)
        return;
    log.lines.clear();
    EXPECT_TRUE(loader.readClassData("LLocked;").isEmpty());
    expected = {{Logger::L_WARN, "Could not read class file " + path("Locked.class") +
                                     " because it cannot be opened: Permission denied"}};
    EXPECT_EQ(log.lines, expected);
}

TEST_F(FileSystemClassLoaderTest, UnreadableClassFilesAndDirectoriesAreWarnedOfByName)
{
    writeFile(path("p/A.class"), fixtureClass("la/Peer.class"));
    writeFile(path("p/B.class"), fixtureClass("Top.class"));
    writeFile(path("q/C.class"), fixtureClass("Top.class"));
    // Everyone may read the tree but for B.class and q, which nobody may.
    const auto setMode = [](const QString& name, mode_t mode) {
        return ::chmod(QFile::encodeName(name).constData(), mode) == 0;
    };
    ASSERT_TRUE(setMode(dir.path(), 0755) && setMode(path("p"), 0755));
    ASSERT_TRUE(setMode(path("p/A.class"), 0644) && setMode(path("p/B.class"), 0));
    ASSERT_TRUE(setMode(path("q"), 0));

    // The superuser reads whatever the permissions say; this thread then works under another
    // user's file-system identity, as a user who runs the tester without rights would.
    struct Identity
    {
        const bool changed = geteuid() == 0;
        Identity()
        {
            if (changed)
                setfsuid(65534);
        }
        ~Identity()
        {
            if (changed)
                setfsuid(0);
        }
    };
    const Identity identity;
    if (identity.changed && setfsuid(65534) != 65534)
        GTEST_SKIP() << "this thread cannot change its file-system identity";

    FileSystemClassLoader loader{QDir(dir.path())};
    loader.loadAllClasses();
    EXPECT_EQ(loader.getAllClasses().keys(), QStringList({"Lp/A;"}));
    QList<LogLine> warnings;
    for (const LogLine& line : qAsConst(log.lines)) {
        if (line.level != Logger::L_DEBUG)
            warnings.append(line);
    }
    const QList<LogLine> expected = {
        {Logger::L_WARN, "Could not read directory " + path("q") +
                             " because it cannot be listed: Permission denied"},
        {Logger::L_WARN, "Could not read class file " + path("p/B.class") +
                             " because it cannot be opened: Permission denied"}};
    EXPECT_EQ(warnings, expected);
}

TEST_F(FileSystemClassLoaderTest, LinkCyclesAreWalkedOnce)
{
    writeFile(path("root/la/Peer.class"), fixtureClass("la/Peer.class"));
    writeFile(path("root/la/lib.jar"), readFile(fixture("archives/one.jar")));
    writeFile(path("outside/lb/Other.class"), fixtureClass("lb/Other.class"));
    // A link back to the root, a second way into la, and a way out of the tree.
    link(path("root"), "root/la/up");
    link(path("root/la"), "root/again");
    link(path("outside/lb"), "root/lb");

    FileSystemClassLoader loader{QDir(path("root"))};
    EXPECT_EQ(loader.classFileCount, 2);
    EXPECT_EQ(loader.jarLoaders.size(), 1);
    loader.loadAllClasses();
    const QStringList keys = sortedKeys(loader);
    // la is reached either directly or through the second link, whichever the listing meets
    // first, but only once.
    ASSERT_EQ(keys.size(), 2);
    EXPECT_TRUE(keys.contains("Llb/Other;"));
    EXPECT_TRUE(keys.contains("Lla/Peer;") || keys.contains("Lagain/Peer;"));
    qDeleteAll(loader.jarLoaders);
}

TEST_F(FileSystemClassLoaderTest, LinkToItsOwnDirectoryDoesNotRecurse)
{
    writeFile(path("Top.class"), fixtureClass("Top.class"));
    link(path("."), "self");
    FileSystemClassLoader loader{QDir(dir.path())};
    EXPECT_EQ(loader.classFileCount, 1);
    loader.loadAllClasses();
    EXPECT_EQ(sortedKeys(loader), QStringList({"LTop;"}));
}

TEST_F(FileSystemClassLoaderTest, DirectoryOfTwoThousandArchivesStaysWithinTheFileLimit)
{
    const FileLimit limit(1024);
    const QByteArray jar = readFile(fixture("archives/one.jar"));
    for (int i = 0; i < 2000; ++i)
        writeFile(path(QString("libs/lib%1.jar").arg(i)), jar);
    auto* loader = new FileSystemClassLoader(QDir(path("libs")));
    EXPECT_EQ(loader->jarLoaders.size(), 2000);
    ParentClassLoader parent;
    parent.idleLoaders.append(loader);
    for (JarFileClassLoader* jarLoader : qAsConst(loader->jarLoaders))
        parent.loaders.append(jarLoader);
    parent.loadAllClasses();
    EXPECT_EQ(parent.getAllClasses().size(), 2000);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(FileSystemClassLoaderTest, LoadingAllOnSeveralThreadsDefinesAndLogsAsOneByOne)
{
    // Enough classes to be parsed on several threads, with files that are rejected, empty,
    // repeated or unreachable under their walked name among them.
    const QByteArray good = fixtureClass("la/Base.class");
    const QByteArray bad = good.left(good.size() / 2);
    QList<ArchiveEntry> entries;
    for (int i = 0; i < 300; ++i)
        entries.append({QString("p/C%1.class").arg(i), i % 37 == 5 ? bad : good});
    entries.insert(40, {"p/Empty.class", {}});
    entries.insert(90, {"p/q.r/D.class", good});
    entries.append({"p/C5.class", good});  // a repeat of a rejected class
    entries.append({"p/C200.class", bad}); // a repeat of a defined one
    for (const ArchiveEntry& entry : entries.mid(0, 300))
        writeFile(path("tree/" + entry.path), entry.data);

    const auto loadAll = [&](ClassLoader* loader, int threads) {
        const int saved = QThreadPool::globalInstance()->maxThreadCount();
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        log.lines.clear();
        loader->loadAllClasses();
        QThreadPool::globalInstance()->setMaxThreadCount(saved);
        return qMakePair(log.lines, loader->getAllClasses().keys());
    };
    FileSystemClassLoader oneTree{QDir(path("tree"))};
    FileSystemClassLoader manyTree{QDir(path("tree"))};
    const auto treeByOne = loadAll(&oneTree, 1);
    EXPECT_EQ(loadAll(&manyTree, 8), treeByOne);
    EXPECT_EQ(treeByOne.second.size(), 300 - 2 - 8);
    EXPECT_TRUE(log.texts(Logger::L_DEBUG)
                    .contains("Could not read class Lp/q/r/D; because the class file " +
                              path("tree/p/q/r/D.class") + " does not exist"));

    // A ZIP archive is read entry by entry on the threads, a tar archive in one pass.
    for (const ArchiveFormat format : {ArchiveFormat::ZipDeflated, ArchiveFormat::Tar}) {
        SCOPED_TRACE(int(format));
        writeArchive(path("many.jar"), entries, format);
        JarFileClassLoader oneJar(path("many.jar"));
        JarFileClassLoader manyJar(path("many.jar"));
        const auto jarByOne = loadAll(&oneJar, 1);
        EXPECT_EQ(loadAll(&manyJar, 8), jarByOne);
        EXPECT_EQ(jarByOne.second.size(), 300 - 8 + 1);
        EXPECT_TRUE(
            jarByOne.first.contains({Logger::L_WARN, "Problem reading p.Empty in archive " +
                                                         path("many.jar") + " - read 0 bytes"}));
        // A rejected class is reported once per request, its repeat included. Of a name stored
        // twice, a ZIP archive gives the copy that its directory lists last, a walk the first.
        const auto linesOf = [&](const QString& className) {
            int count = 0;
            for (const LogLine& line : jarByOne.first)
                count += line.text.startsWith(className + ": ") ? 1 : 0;
            return count;
        };
        EXPECT_GT(linesOf("p.C42"), 0);
        EXPECT_EQ(linesOf(format == ArchiveFormat::Tar ? "p.C5" : "p.C200"), 2 * linesOf("p.C42"));
    }
}
