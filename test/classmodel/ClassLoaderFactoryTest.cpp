#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"
#include "FileSystemClassLoader.h"
#include "GoldTestSupport.h"
#include "JarFileClassLoader.h"
#include "JavaTypes.pb.h"
#include "ParentClassLoader.h"
#include "ProtoClassLoader.h"
#include "ProtoIO.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThreadPool>

#include <memory>

#include <sys/stat.h>

namespace {

const QString classesDir = VELM_GOLD_CLASSES;

// The lines the factory itself writes, leaving out what the loaders it makes report.
QList<QPair<int, QString>> factoryLines(const LogCapture& log)
{
    QList<QPair<int, QString>> lines;
    for (const auto& line : log.lines) {
        if (line.text.startsWith("Processing classpath: ") || line.text.startsWith("Treating ") ||
            line.text.startsWith("Could not create class loader"))
            lines.append(qMakePair(int(line.level), line.text));
    }
    return lines;
}

QPair<int, QString> debug(const QString& text)
{
    return qMakePair(int(Logger::L_DEBUG), text);
}

QPair<int, QString> warn(const QString& text)
{
    return qMakePair(int(Logger::L_WARN), text);
}

// What one child loader can define, sorted.
QStringList classesOf(ClassLoader* loader)
{
    loader->loadAllClasses();
    QStringList names = loader->getAllClasses().keys();
    names.sort();
    return names;
}

// One tree of classpath entries for every case: making archives takes a JVM each.
class ClassLoaderFactoryTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir();
        ASSERT_TRUE(dir->isValid());
        for (const char* sub : {"lib/p", "lib/sub", "archives", "empty", "classes.jar/p"})
            ASSERT_TRUE(QDir(dir->path()).mkpath(sub));
        copyClass("p/Outer.class", "lib/p/Outer.class");
        copyClass("p/Polygon.class", "classes.jar/p/Polygon.class");
        makeJar("lib/sub/a.jar", "p/Names.class");
        makeJar("extra.jar", "p/Square.class");
        makeJar("archives/one.jar", "p/Shape.class");
        makeJar("archives/two.jar", "p/Polygon.class");
        makeJar("a.tar.jar", "p/Gen$2Local.class");
        ASSERT_TRUE(QFile::copy(path("extra.jar"), path("LIB.JAR")));
        ASSERT_TRUE(QFile::copy(path("extra.jar"), path("noext")));
        ensureLogger();
        JClasses gold;
        gold.add_classes()->set_name("Lg/Gold;");
        ProtoIO::write(&gold, path("g.javagold"));
    }

    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }

    static QString path(const QString& name) { return dir->filePath(name); }

    static void copyClass(const QString& from, const QString& to)
    {
        ASSERT_TRUE(QFile::copy(classesDir + "/" + from, path(to)));
    }

    static void makeJar(const QString& jar, const QString& entry)
    {
        QProcess process;
        process.start(VELM_JAR, {"cf", path(jar), "-C", classesDir, entry});
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }

    std::unique_ptr<ParentClassLoader> create(const QStringList& entries)
    {
        Classpath classpath;
        classpath.entries = entries;
        ClassLoader* loader = ClassLoader::create(classpath);
        ParentClassLoader* parent = dynamic_cast<ParentClassLoader*>(loader);
        EXPECT_NE(parent, nullptr);
        return std::unique_ptr<ParentClassLoader>(parent);
    }

    static QTemporaryDir* dir;
    LogCapture log;
};

QTemporaryDir* ClassLoaderFactoryTest::dir = nullptr;

} // namespace

TEST_F(ClassLoaderFactoryTest, EmptyClasspathGivesAParentWithoutChildren)
{
    std::unique_ptr<ClassLoader> loader(ClassLoader::create(Classpath()));
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(factoryLines(log), (QList<QPair<int, QString>>{debug("Processing classpath: ")}));
    EXPECT_EQ(loader->loadClass("Lp/Outer;"), nullptr);
    loader->loadAllClasses();
    EXPECT_TRUE(loader->getAllClasses().isEmpty());
}

TEST_F(ClassLoaderFactoryTest, EachEntryGetsTheLoaderOfItsKind)
{
    const QStringList entries{path("lib"),   path("extra.jar"), path("g.javagold"), path("LIB.JAR"),
                              path("noext"), path("a.tar.jar"), path("classes.jar")};
    const auto parent = create(entries);
    EXPECT_EQ(
        factoryLines(log),
        (QList<QPair<int, QString>>{
            debug("Processing classpath: " + entries.join(':')),
            debug("Treating " + entries[0] + " as a directory of .class and/or .jar files"),
            debug("Treating " + entries[1] + " as a jar file"),
            debug("Treating " + entries[2] + " as a binary javagold file"),
            warn("Could not create class loader for classpath entry " + entries[3]),
            warn("Could not create class loader for classpath entry " + entries[4]),
            debug("Treating " + entries[5] + " as a jar file"),
            debug("Treating " + entries[6] + " as a directory of .class and/or .jar files")}));

    // lib, the archive found inside it, extra.jar, the gold file, a.tar.jar, classes.jar.
    ASSERT_EQ(parent->loaders.size(), 6);
    EXPECT_TRUE(parent->idleLoaders.isEmpty());
    EXPECT_NE(dynamic_cast<FileSystemClassLoader*>(parent->loaders[0]), nullptr);
    EXPECT_NE(dynamic_cast<JarFileClassLoader*>(parent->loaders[1]), nullptr);
    EXPECT_NE(dynamic_cast<JarFileClassLoader*>(parent->loaders[2]), nullptr);
    EXPECT_NE(dynamic_cast<ProtoClassLoader*>(parent->loaders[3]), nullptr);
    EXPECT_NE(dynamic_cast<JarFileClassLoader*>(parent->loaders[4]), nullptr);
    EXPECT_NE(dynamic_cast<FileSystemClassLoader*>(parent->loaders[5]), nullptr);

    EXPECT_EQ(classesOf(parent->loaders[0]), QStringList{"Lp/Outer;"});
    EXPECT_EQ(classesOf(parent->loaders[1]), QStringList{"Lp/Names;"});
    EXPECT_EQ(classesOf(parent->loaders[2]), QStringList{"Lp/Square;"});
    EXPECT_EQ(classesOf(parent->loaders[3]), QStringList{"Lg/Gold;"});
    EXPECT_EQ(classesOf(parent->loaders[4]), QStringList{"Lp/Gen$2Local;"});
    EXPECT_EQ(classesOf(parent->loaders[5]), QStringList{"Lp/Polygon;"});
    EXPECT_NE(parent->loadClass("Lg/Gold;"), nullptr);
    EXPECT_NE(parent->loadClass("Lp/Polygon;"), nullptr);
}

TEST_F(ClassLoaderFactoryTest, ReadingAheadGoesOnFromAGoldFileThatStopsIt)
{
    // The threads ask the class-file loaders in front of the gold file and stop there; the
    // lookup goes on with the gold file itself, which alone holds the class.
    const int saved = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(4);
    const int threads = JavaClassLoader::parsingThreads();
    const auto parent = create({path("lib"), path("g.javagold")});
    parent->prefetchClasses({"Lg/Gold;", "Lp/Outer;"});
    parent->prefetchClasses({}); // keeps what the first window worked out for its lookups
    QThreadPool::globalInstance()->setMaxThreadCount(saved);
    ASSERT_GT(threads, 1);
    const Class* gold = parent->loadClass("Lg/Gold;");
    ASSERT_NE(gold, nullptr);
    EXPECT_EQ(gold->getName().descriptor, "Lg/Gold;");
    EXPECT_NE(parent->loadClass("Lp/Outer;"), nullptr);
}

TEST_F(ClassLoaderFactoryTest, DirectoriesWithoutClassFilesAreKeptIdle)
{
    const auto parent = create({path("archives"), path("empty")});
    ASSERT_EQ(parent->idleLoaders.size(), 2);
    EXPECT_NE(dynamic_cast<FileSystemClassLoader*>(parent->idleLoaders[0]), nullptr);
    EXPECT_NE(dynamic_cast<FileSystemClassLoader*>(parent->idleLoaders[1]), nullptr);
    ASSERT_EQ(parent->loaders.size(), 2);
    QStringList found = classesOf(parent->loaders[0]) + classesOf(parent->loaders[1]);
    found.sort();
    EXPECT_EQ(found, (QStringList{"Lp/Polygon;", "Lp/Shape;"}));
}

TEST_F(ClassLoaderFactoryTest, SameArchiveReachedTwiceGetsTwoLoaders)
{
    const auto parent = create({path("lib"), path("lib/sub/a.jar")});
    ASSERT_EQ(parent->loaders.size(), 3);
    EXPECT_NE(parent->loaders[1], parent->loaders[2]);
    EXPECT_EQ(classesOf(parent->loaders[1]), QStringList{"Lp/Names;"});
    EXPECT_EQ(classesOf(parent->loaders[2]), QStringList{"Lp/Names;"});
    parent->loadAllClasses();
    EXPECT_EQ(parent->getAllClasses().count("Lp/Names;"), 2);
}

TEST_F(ClassLoaderFactoryTest, MissingEntriesAreJudgedBySuffixAlone)
{
    const QStringList entries{path("missing.jar"), path("missing.javagold"), path("missing")};
    const auto parent = create(entries);
    ASSERT_EQ(parent->loaders.size(), 2);
    EXPECT_NE(dynamic_cast<JarFileClassLoader*>(parent->loaders[0]), nullptr);
    EXPECT_NE(dynamic_cast<ProtoClassLoader*>(parent->loaders[1]), nullptr);
    EXPECT_TRUE(parent->idleLoaders.isEmpty());
    EXPECT_TRUE(
        log.at(Logger::L_ERROR).contains("Could not open file " + entries[1] + " for reading"));
    EXPECT_EQ(log.at(Logger::L_WARN),
              QList<QString>{"Could not create class loader for classpath entry " + entries[2]});
    EXPECT_EQ(parent->loadClass("Lp/Names;"), nullptr);
}

TEST_F(ClassLoaderFactoryTest, FifosNamedLikeArchivesAreRefusedWithoutWaiting)
{
    // Opening a FIFO for reading waits for a writer that never comes.
    const QStringList entries{path("pipe.jar"), path("pipe.javagold"), path("extra.jar")};
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(mkfifo(QFile::encodeName(entries[i]).constData(), 0600), 0);
    const auto parent = create(entries);
    ASSERT_EQ(parent->loaders.size(), 3);
    EXPECT_EQ(log.at(Logger::L_ERROR),
              (QList<QString>{"beginSession() archive_read_open failed " + entries[0] +
                                  ": not a regular file",
                              "Could not open file " + entries[1] + " for reading"}));
    EXPECT_EQ(classesOf(parent->loaders[1]), QStringList());
    EXPECT_NE(parent->loadClass("Lp/Square;"), nullptr);
}
