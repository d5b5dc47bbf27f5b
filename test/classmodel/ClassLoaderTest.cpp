#include "Class.h"
#include "ClassFileBuilder.h"
#include "FileSystemClassLoader.h"
#include "JavaClassFile.h"
#include "LoaderTestSupport.h"
#include "ParentClassLoader.h"
#include "TypeDescriptor.h"

#include <gtest/gtest.h>

#include <QMultiMap>
#include <QTemporaryDir>

namespace {

// A directory loader that counts how often its source is asked for bytes.
class CountingLoader : public FileSystemClassLoader
{
public:
    using FileSystemClassLoader::FileSystemClassLoader;

    QByteArray readClassData(const QString& name) override
    {
        ++reads;
        return FileSystemClassLoader::readClassData(name);
    }

    int reads = 0;
};

class ClassLoaderTest : public testing::Test
{
protected:
    QTemporaryDir first;
    QTemporaryDir second;
    LogCapture log;

    QString descriptorOf(const Class* cls) const
    {
        return cls ? cls->getName().descriptor : "null";
    }
};

// A class file with two unknown attributes (two warnings) and, when `withError`, a method that
// has no code but is not abstract (an error).
QByteArray warnedClass(bool withError)
{
    ClassFileBuilder builder("w/Warned");
    builder.classAttributes.append(builder.attribute("Strange", "ab"));
    builder.classAttributes.append(builder.attribute("Stranger", "cd"));
    if (withError)
        builder.addMethod(0x0001, "run", "()V");
    return builder.build();
}

} // namespace

TEST_F(ClassLoaderTest, CachesFoundClassesAndLooksForMissingOnesEveryTime)
{
    copyFixtureClasses(first.path());
    auto* child = new CountingLoader(QDir(first.path()));
    ParentClassLoader parent;
    parent.loaders.append(child);

    Class* peer = parent.loadClass("Lla/Peer;");
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(parent.loadClass("Lla/Peer;"), peer);
    EXPECT_EQ(child->reads, 1);

    EXPECT_EQ(parent.loadClass("Lla/Nowhere;"), nullptr);
    EXPECT_EQ(parent.loadClass("Lla/Nowhere;"), nullptr);
    EXPECT_EQ(child->reads, 3);

    // The key is the text as passed: the dotted spelling is another, unknown name.
    EXPECT_EQ(parent.loadClass("la.Peer"), nullptr);
    // The parent's own cache is not part of what it reports.
    EXPECT_TRUE(parent.getAllClasses().isEmpty());
    EXPECT_TRUE(child->getAllClasses().isEmpty());
}

TEST_F(ClassLoaderTest, FirstLoaderWinsLookupsWhileMergedMapsFavourTheLaterOne)
{
    writeFile(first.filePath("la/Peer.class"), fixtureClass("la/Peer.class"));
    // Stored as la/Peer.class but declaring lb/Other.
    writeFile(second.filePath("la/Peer.class"), fixtureClass("lb/Other.class"));
    writeFile(second.filePath("lb/Sub.class"), fixtureClass("lb/Sub.class"));
    auto* a = new FileSystemClassLoader(QDir(first.path()));
    auto* b = new FileSystemClassLoader(QDir(second.path()));
    ParentClassLoader parent;
    parent.loaders = {a, b};

    Class* fromParent = parent.loadClass("Lla/Peer;");
    EXPECT_EQ(descriptorOf(fromParent), "Lla/Peer;");

    parent.loadAllClasses();
    const QMap<QString, Class*> all = parent.getAllClasses();
    EXPECT_EQ(all.keys(), QStringList({"Lla/Peer;", "Lla/Peer;", "Llb/Sub;"}));
    const QList<Class*> peers = QMultiMap<QString, Class*>(all).values("Lla/Peer;");
    ASSERT_EQ(peers.size(), 2);
    // The later loader's entry comes first and is what lookups by name give.
    EXPECT_EQ(descriptorOf(peers.at(0)), "Llb/Other;");
    EXPECT_EQ(descriptorOf(peers.at(1)), "Lla/Peer;");
    EXPECT_EQ(all.value("Lla/Peer;"), b->loadClass("Lla/Peer;"));
    EXPECT_EQ(all.find("Lla/Peer;").value(), peers.at(0));
    EXPECT_EQ(all.begin().value(), peers.at(0));
    // A class file whose own name differs is cached under the name asked for.
    EXPECT_EQ(b->getAllClasses().keys(), QStringList({"Lla/Peer;", "Llb/Sub;"}));
    // The parent's class is its own object, not the child's.
    EXPECT_NE(fromParent, a->loadClass("Lla/Peer;"));
    EXPECT_EQ(parent.loadClass("Lla/Peer;"), fromParent);
}

TEST_F(ClassLoaderTest, WarningsAloneNeitherRejectNorLog)
{
    writeFile(first.filePath("w/Warned.class"), warnedClass(false));
    FileSystemClassLoader loader{QDir(first.path())};
    Class* cls = loader.loadClass("Lw/Warned;");
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->getName().descriptor, "Lw/Warned;");
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(ClassLoaderTest, RejectedFileLogsEveryMessageAndIsReadAgainNextTime)
{
    const QByteArray bytes = warnedClass(true);
    writeFile(first.filePath("w/Warned.class"), bytes);
    JavaClassFile* parsed = JavaClassFile::create(bytes);
    const QList<QString> messages = parsed->checkLog.messages;
    EXPECT_TRUE(parsed->checkLog.hasError);
    delete parsed;
    ASSERT_EQ(messages.size(), 3);

    QList<LogLine> expected;
    for (const QString& message : messages)
        expected.append({Logger::L_WARN, "w.Warned: " + message});

    CountingLoader loader{QDir(first.path())};
    EXPECT_EQ(loader.loadClass("Lw/Warned;"), nullptr);
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(loader.loadClass("Lw/Warned;"), nullptr);
    EXPECT_EQ(log.lines, expected + expected);
    EXPECT_EQ(loader.reads, 2);
    EXPECT_TRUE(loader.getAllClasses().isEmpty());
}

TEST_F(ClassLoaderTest, EmptyAndMissingBytesAreSilentlyAbsent)
{
    writeFile(first.filePath("p/Empty.class"), QByteArray());
    FileSystemClassLoader loader{QDir(first.path())};
    EXPECT_EQ(loader.loadClass("Lp/Empty;"), nullptr);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(ClassLoaderTest, ParentDeletesItsIdleChildrenToo)
{
    // Under the leak checker of the sanitizer build, a child left behind fails this test.
    auto* parent = new ParentClassLoader;
    copyFixtureClasses(first.path());
    parent->loaders.append(new FileSystemClassLoader(QDir(first.path())));
    parent->idleLoaders.append(new FileSystemClassLoader(QDir(second.path())));
    parent->loadAllClasses();
    ASSERT_NE(parent->loadClass("Llb/Sub;"), nullptr);
    delete static_cast<ClassLoader*>(parent);
}
