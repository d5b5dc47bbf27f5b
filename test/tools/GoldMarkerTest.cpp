#include "GoldMarker.h"

#include "JavaTypes.pb.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const methodHandle = "Ljava/lang/invoke/MethodHandle;";

void addMethod(JClass* c, const std::string& name, const std::string& descriptor)
{
    JMethod* m = c->add_methods();
    m->set_name(name);
    m->set_descriptor_(descriptor);
}

// A gold content with the real shape of the API: MethodHandle with its two polymorphic methods
// among ordinary ones, and another class with a method of the same name.
JClasses sampleGold()
{
    JClasses gold;
    JClass* handle = gold.add_classes();
    handle->set_name(methodHandle);
    addMethod(handle, "invokeExact", "([Ljava/lang/Object;)Ljava/lang/Object;");
    addMethod(handle, "invoke", "([Ljava/lang/Object;)Ljava/lang/Object;");
    addMethod(handle, "invokeWithArguments", "([Ljava/lang/Object;)Ljava/lang/Object;");
    JClass* method = gold.add_classes();
    method->set_name("Ljava/lang/reflect/Method;");
    addMethod(method, "invoke", "(Ljava/lang/Object;[Ljava/lang/Object;)Ljava/lang/Object;");
    return gold;
}

QStringList markedMethods(const JClasses& gold)
{
    QStringList marked;
    for (const JClass& c : gold.classes())
        for (const JMethod& m : c.methods())
            if (m.signature_polymorphic())
                marked.append(QString::fromStdString(c.name() + "." + m.name()));
    return marked;
}

std::string serialised(const JClasses& gold)
{
    std::string bytes;
    gold.SerializeToString(&bytes);
    return bytes;
}

} // namespace

TEST(GoldMarkerTest, MarksOnlyTheNamedMethodsOfTheNamedClass)
{
    JClasses gold = sampleGold();
    QString error;
    EXPECT_EQ(GoldMarker::markSignaturePolymorphic(&gold, methodHandle,
                                                   {"invoke", "invokeExact", "invoke"}, &error),
              2);
    EXPECT_EQ(markedMethods(gold), QStringList({"Ljava/lang/invoke/MethodHandle;.invokeExact",
                                                "Ljava/lang/invoke/MethodHandle;.invoke"}));
    // Nothing else about the methods changes.
    EXPECT_EQ(gold.classes(0).methods(1).descriptor_(), "([Ljava/lang/Object;)Ljava/lang/Object;");
    EXPECT_FALSE(gold.classes(0).methods(1).has_permission());
}

TEST(GoldMarkerTest, MarksEveryCopyOfAClassThatTheFileHoldsTwice)
{
    JClasses gold = sampleGold();
    *gold.add_classes() = gold.classes(0);
    EXPECT_EQ(GoldMarker::markSignaturePolymorphic(&gold, methodHandle, {"invoke"}, nullptr), 2);
    EXPECT_EQ(markedMethods(gold).size(), 2);
}

TEST(GoldMarkerTest, MissingClassOrMethodChangesNothing)
{
    JClasses gold = sampleGold();
    const std::string before = serialised(gold);
    QString error;
    EXPECT_EQ(GoldMarker::markSignaturePolymorphic(&gold, "Ljava/lang/invoke/VarHandle;", {"get"},
                                                   &error),
              -1);
    EXPECT_EQ(error, "the gold file holds no class Ljava/lang/invoke/VarHandle;");
    // The first name exists, the second does not: the first is not marked either.
    EXPECT_EQ(GoldMarker::markSignaturePolymorphic(&gold, methodHandle, {"invoke", "invokeBasic"},
                                                   &error),
              -1);
    EXPECT_EQ(error, "the class Ljava/lang/invoke/MethodHandle; has no method invokeBasic");
    EXPECT_EQ(serialised(gold), before);
}

TEST(GoldMarkerTest, ProgramRewritesTheFileOrLeavesItAlone)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString goldPath = dir.filePath("api.javagold");
    {
        QFile f(goldPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::string bytes = serialised(sampleGold());
        f.write(bytes.data(), qint64(bytes.size()));
    }

    QProcess p;
    p.start(VELM_GOLDMARK, {goldPath, goldPath, methodHandle, "invoke", "invokeExact"});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(p.readAllStandardOutput(), "2 methods marked as signature polymorphic\n");
    QFile f(goldPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    JClasses gold;
    ASSERT_TRUE(gold.ParseFromArray(bytes.constData(), bytes.size()));
    EXPECT_EQ(markedMethods(gold).size(), 2);

    // A method that is not there: an error, and the file stays as it was.
    p.start(VELM_GOLDMARK, {goldPath, goldPath, methodHandle, "invokeBasic"});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              goldPath + ": the class Ljava/lang/invoke/MethodHandle; has no method invokeBasic\n");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
    f.close();

    // Bytes that are no JClasses message: a field number 0 is invalid on the wire.
    const QString brokenPath = dir.filePath("broken.javagold");
    {
        QFile b(brokenPath);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        b.write(QByteArray("\x00\x01\x02", 3));
    }
    const QString outPath = dir.filePath("out.javagold");
    p.start(VELM_GOLDMARK, {brokenPath, outPath, methodHandle, "invoke"});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              brokenPath + ": is not a valid gold file\n");
    EXPECT_FALSE(QFile::exists(outPath));

    p.start(VELM_GOLDMARK, {dir.filePath("none.javagold"), outPath, methodHandle, "invoke"});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError())
                    .startsWith(dir.filePath("none.javagold") + ": cannot be read: "));

    p.start(VELM_GOLDMARK, {goldPath, outPath, methodHandle});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).startsWith("usage: "));
}
