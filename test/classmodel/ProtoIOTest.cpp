#include "ProtoIO.h"
#include "GoldTestSupport.h"
#include "JavaTypes.pb.h"
#include "Permission.h"
#include "ProtoClass.h"
#include "ProtoClassLoader.h"
#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <stdexcept>
#include <string>

#include <sys/resource.h>

namespace {

QByteArray bytesOf(const google::protobuf::MessageLite& message)
{
    const std::string s = message.SerializeAsString();
    return QByteArray(s.data(), int(s.size()));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs `call`, which must throw std::runtime_error, and returns the exception's text.
template <typename F> QString runtimeErrorOf(F call)
{
    try {
        call();
    } catch (const std::runtime_error& e) {
        return QString::fromLocal8Bit(e.what());
    }
    ADD_FAILURE() << "no std::runtime_error";
    return QString();
}

JClasses twoClasses()
{
    JClasses all;
    JClass* a = all.add_classes();
    a->set_name("Lp/A;");
    a->set_parent("Ljava/lang/Object;");
    a->set_major_version(52);
    JMethod* m = a->add_methods();
    m->set_name("<init>");
    m->set_descriptor_("()V");
    m->add_exceptions("Ljava/io/IOException;");
    JClass* b = all.add_classes();
    b->set_name("Lp/B;");
    b->set_permission(JP_PACKAGE);
    b->add_interfaces("Lp/I;");
    JField* f = b->add_fields();
    f->set_name("x");
    f->set_descriptor_("J");
    f->set_permission(JP_PROTECTED);
    f->set_static_(true);
    return all;
}

class ProtoIOTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    LogCapture log;
};

} // namespace

// The wire form is what other readers of gold files see: field numbers, types and the
// enumeration's numbers, checked without this build's schema.
TEST_F(ProtoIOTest, WireFormDecodesWithTheSharedFieldNumbers)
{
    JClasses all = twoClasses();
    all.mutable_classes(0)->set_abstract(true);
    all.mutable_classes(0)->set_interface(true);
    all.mutable_classes(0)->set_final(true);
    all.mutable_classes(0)->set_package("p");
    all.mutable_classes(0)->set_filename("A.class");
    all.mutable_classes(0)->set_static_(true);
    JMethod* m = all.mutable_classes(0)->mutable_methods(0);
    m->set_permission(JP_PRIVATE);
    m->set_final(true);
    m->set_static_(true);
    m->set_requireinspection(true);
    m->set_signature_polymorphic(true);
    all.mutable_classes(1)->mutable_fields(0)->set_final(true);
    ProtoIO::write(&all, path("wire.javagold"));

    QProcess protoc;
    protoc.setStandardInputFile(path("wire.javagold"));
    protoc.start(VELM_PROTOC, {"--decode_raw"});
    ASSERT_TRUE(protoc.waitForFinished(30000));
    // Fields come out in number order, as every conforming writer puts them.
    EXPECT_EQ(QString::fromUtf8(protoc.readAllStandardOutput()),
              "1 {\n"
              "  1: \"A.class\"\n"
              "  2: \"p\"\n"
              "  3: \"Lp/A;\"\n"
              "  4: \"Ljava/lang/Object;\"\n"
              "  7: 1\n"
              "  8: 1\n"
              "  10 {\n"
              "    1: \"<init>\"\n"
              "    2: \"()V\"\n"
              "    3: 0\n"
              "    4: 1\n"
              "    5: 1\n"
              "    6: \"Ljava/io/IOException;\"\n"
              "    7: 1\n"
              "    8: 1\n"
              "  }\n"
              "  11: 1\n"
              "  12: 1\n"
              "  13: 52\n"
              "}\n"
              "1 {\n"
              "  3: \"Lp/B;\"\n"
              "  5: \"Lp/I;\"\n"
              "  6: 3\n"
              "  9 {\n"
              "    1: \"x\"\n"
              "    2: \"J\"\n"
              "    3: 1\n"
              "    4: 1\n"
              "    5: 1\n"
              "  }\n"
              "}\n");

    QProcess named;
    named.setStandardInputFile(path("wire.javagold"));
    named.start(VELM_PROTOC,
                {"--proto_path=" VELM_PROTO_DIR, "--decode=JClasses", "JavaTypes.proto"});
    ASSERT_TRUE(named.waitForFinished(30000));
    const QString text = QString::fromUtf8(named.readAllStandardOutput());
    EXPECT_TRUE(text.contains("  permission: JP_PACKAGE\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("    permission: JP_PRIVATE\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("    requireInspection: true\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("    descriptor_: \"()V\"\n")) << text.toStdString();
}

TEST_F(ProtoIOTest, SchemaDefaults)
{
    const JClass c;
    EXPECT_EQ(c.permission(), JP_PUBLIC);
    EXPECT_FALSE(c.final());
    EXPECT_FALSE(c.static_());
    EXPECT_FALSE(c.abstract());
    EXPECT_FALSE(c.interface());
    EXPECT_EQ(c.major_version(), 0);
    EXPECT_FALSE(c.has_parent());
    const JField f;
    EXPECT_EQ(f.permission(), JP_PUBLIC);
    EXPECT_FALSE(f.final());
    EXPECT_FALSE(f.static_());
    const JMethod m;
    EXPECT_EQ(m.permission(), JP_PUBLIC);
    EXPECT_FALSE(m.requireinspection());
    EXPECT_FALSE(m.signature_polymorphic());

    // The defaults are declared in the schema, so every reader of it agrees on them.
    EXPECT_TRUE(JClass::descriptor()->FindFieldByName("permission")->has_default_value());
    EXPECT_TRUE(
        JMethod::descriptor()->FindFieldByName("signature_polymorphic")->has_default_value());
    EXPECT_FALSE(JClass::descriptor()->FindFieldByName("major_version")->has_default_value());
    EXPECT_EQ(JPermission_descriptor()->value_count(), 4);
    EXPECT_EQ(Permission::fromInt(JP_PACKAGE), Permission::PACKAGE);
    EXPECT_EQ(Permission::fromInt(JP_PROTECTED), Permission::PROTECTED);
}

TEST_F(ProtoIOTest, PermissionOutsideTheEnumerationIsKeptAsUnknownField)
{
    // JClasses { classes { permission: 7 } }: field 6, varint.
    writeFile(path("bad-enum.javagold"), QByteArray("\x0a\x02\x30\x07", 4));
    JClasses* read = nullptr;
    ProtoIO::read(read, path("bad-enum.javagold"));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->classes_size(), 1);
    EXPECT_FALSE(read->classes(0).has_permission());
    EXPECT_EQ(read->classes(0).permission(), JP_PUBLIC);
    EXPECT_FALSE(read->classes(0).GetReflection()->GetUnknownFields(read->classes(0)).empty());
    EXPECT_EQ(ProtoClass(read->classes(0)).getPermission(), Permission::PUBLIC);

    // Written back, the unknown value travels along unchanged.
    ProtoIO::write(read, path("again.javagold"));
    EXPECT_EQ(readFile(path("again.javagold")), QByteArray("\x0a\x02\x30\x07", 4));
    delete read;
}

TEST_F(ProtoIOTest, UnknownFieldsAreIgnoredByReaders)
{
    // JClass { name: "Lp/A;", 99: "x", 100: 5 }
    QByteArray inner = QByteArray("\x1a\x05Lp/A;", 7) + QByteArray("\x9a\x06\x01x", 4) +
                       QByteArray("\xa0\x06\x05", 3);
    writeFile(path("unknown.javagold"), QByteArray(1, '\x0a') + char(inner.size()) + inner);
    ProtoClassLoader loader(path("unknown.javagold"));
    Class* c = loader.loadClass("Lp/A;");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->getName().descriptor, "Lp/A;");
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(ProtoIOTest, WriteThenReadGivesTheSameMessage)
{
    const JClasses all = twoClasses();
    ProtoIO::write(&all, path("two.javagold"));
    EXPECT_EQ(readFile(path("two.javagold")), bytesOf(all));
    JClasses* read = nullptr;
    ProtoIO::read(read, path("two.javagold"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->SerializeAsString(), all.SerializeAsString());
    delete read;
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(ProtoIOTest, WritingReplacesTheContent)
{
    writeFile(path("old.javagold"), QByteArray(1000, 'x'));
    const JClasses empty;
    ProtoIO::write(&empty, path("old.javagold"));
    EXPECT_EQ(QFileInfo(path("old.javagold")).size(), 0);

    JClasses* read = nullptr;
    ProtoIO::read(read, path("old.javagold"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->classes_size(), 0);
    delete read;
}

TEST_F(ProtoIOTest, WriteFailures)
{
    const JClasses all = twoClasses();
    const QString missing = path("no/such/dir/out.javagold");
    EXPECT_EQ(runtimeErrorOf([&] { ProtoIO::write(&all, missing); }),
              "Could not open file " + missing + " for writing");
    EXPECT_EQ(log.at(Logger::L_ERROR),
              QList<QString>{"Could not open file " + missing + " for writing"});
    EXPECT_FALSE(QFileInfo::exists(missing));

    // A device that accepts the open but no data: the loss must not pass for success.
    if (QFileInfo::exists("/dev/full")) {
        EXPECT_EQ(runtimeErrorOf([&] { ProtoIO::write(&all, "/dev/full"); }),
                  "Could not serialize to file /dev/full");
        EXPECT_EQ(log.at(Logger::L_ERROR).last(), "Could not serialize to file /dev/full");
    }
}

TEST_F(ProtoIOTest, FailedWriteLeavesTheEarlierFileUntouchedAndNoFragment)
{
    const QByteArray earlier = bytesOf(twoClasses());
    writeFile(path("out.javagold"), earlier);
    JClasses big;
    for (int i = 0; i < 50000; ++i)
        big.add_classes()->set_name(
            QString("Lsome/long/package/name/Class%1;").arg(i).toStdString());

    // A file size limit of 1 MiB makes every write past it fail, as a full disk does. The
    // signal it raises would end the process.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const sighandler_t oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 1 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const QString text = runtimeErrorOf([&] { ProtoIO::write(&big, path("out.javagold")); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(text, "Could not serialize to file " + path("out.javagold"));
    EXPECT_EQ(readFile(path("out.javagold")), earlier);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"out.javagold"}));

    // Without the limit the same message replaces the file whole.
    ProtoIO::write(&big, path("out.javagold"));
    EXPECT_EQ(readFile(path("out.javagold")), bytesOf(big));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"out.javagold"}));
}

TEST_F(ProtoIOTest, ReadFailuresLeaveTheMessageNull)
{
    const QString missing = path("missing.javagold");
    JClasses* read = nullptr;
    EXPECT_EQ(runtimeErrorOf([&] { ProtoIO::read(read, missing); }),
              "Could not open file " + missing + " for reading");
    EXPECT_EQ(read, nullptr);

    const QString garbage = path("garbage.javagold");
    writeFile(garbage, "this is not a gold file");
    EXPECT_EQ(runtimeErrorOf([&] { ProtoIO::read(read, garbage); }),
              "Could not deserialize from file " + garbage);
    EXPECT_EQ(read, nullptr);

    // A directory opens but cannot be read: no empty gold file may come of it.
    EXPECT_EQ(runtimeErrorOf([&] { ProtoIO::read(read, dir.path()); }),
              "Could not deserialize from file " + dir.path());
    EXPECT_EQ(read, nullptr);

    EXPECT_EQ(log.at(Logger::L_ERROR).mid(0, 2),
              (QList<QString>{"Could not open file " + missing + " for reading",
                              "Could not deserialize from file " + garbage}));
    EXPECT_EQ(log.at(Logger::L_ERROR).size(), 3);
}

TEST_F(ProtoIOTest, EveryTruncationIsReadOrRejectedSafely)
{
    const QByteArray whole = bytesOf(twoClasses());
    int accepted = 0;
    for (int length = 0; length < whole.size(); ++length) {
        writeFile(path("cut.javagold"), whole.left(length));
        JClasses* read = nullptr;
        try {
            ProtoIO::read(read, path("cut.javagold"));
            ++accepted;
            // A cut that falls between two records is a shorter, valid file.
            EXPECT_LE(read->classes_size(), 1) << length;
            delete read;
        } catch (const std::runtime_error&) {
            EXPECT_EQ(read, nullptr) << length;
        }
    }
    // The empty prefix and the one ending after the first class.
    EXPECT_EQ(accepted, 2);
}

TEST_F(ProtoIOTest, SizeLimitIsSixtyFourMebibytes)
{
    // JClasses { classes { filename: <n bytes> } }: tag, 4-byte length, tag, 4-byte length.
    const int limit = 64 * 1024 * 1024;
    auto record = [](int total) {
        JClass c;
        c.set_filename(std::string(size_t(total - 10), 'f'));
        JClasses all;
        *all.add_classes() = c;
        return all;
    };
    const JClasses exact = record(limit);
    ASSERT_EQ(exact.ByteSizeLong(), size_t(limit));
    ProtoIO::write(&exact, path("exact.javagold"));
    JClasses* read = nullptr;
    ProtoIO::read(read, path("exact.javagold"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->classes_size(), 1);
    delete read;
    read = nullptr;

    // One more record behind a full 64 MiB: a reader that stopped at the limit would take the
    // first record for the whole file.
    JClasses over = exact;
    over.add_classes()->set_name("Lp/Late;");
    ProtoIO::write(&over, path("over.javagold"));
    EXPECT_EQ(runtimeErrorOf([&] { ProtoIO::read(read, path("over.javagold")); }),
              "Could not deserialize from file " + path("over.javagold"));
    EXPECT_EQ(read, nullptr);
}

TEST_F(ProtoIOTest, LoaderFindsTheFirstOccurrenceByExactName)
{
    JClasses all = twoClasses();
    JClass* again = all.add_classes();
    again->set_name("Lp/A;");
    again->set_major_version(99);
    ProtoIO::write(&all, path("dup.javagold"));

    ProtoClassLoader loader(path("dup.javagold"));
    std::unique_ptr<Class> first(loader.defineClass("Lp/A;"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getMajorVersion(), 52);
    EXPECT_EQ(loader.defineClass("p.A"), nullptr);
    EXPECT_EQ(loader.defineClass("Lp/a;"), nullptr);
    EXPECT_EQ(loader.defineClass("Lp/A"), nullptr);
    EXPECT_EQ(loader.defineClass(""), nullptr);

    // Each call makes a new object; loadClass keeps one.
    std::unique_ptr<Class> second(loader.defineClass("Lp/A;"));
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(loader.loadClass("Lp/B;"), loader.loadClass("Lp/B;"));

    loader.loadAllClasses();
    const QMap<QString, Class*> classes = loader.getAllClasses();
    EXPECT_EQ(classes.keys(), (QList<QString>{"Lp/A;", "Lp/B;"}));
    EXPECT_EQ(classes.value("Lp/A;")->getMajorVersion(), 52);
    EXPECT_EQ(classes.value("Lp/B;")->getPermission(), Permission::PACKAGE);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(ProtoIOTest, UnreadableGoldFilesGiveAnEmptyLoader)
{
    const QString missing = path("missing.javagold");
    {
        ProtoClassLoader loader(missing);
        loader.loadAllClasses();
        EXPECT_TRUE(loader.getAllClasses().isEmpty());
        EXPECT_EQ(loader.loadClass("Lp/A;"), nullptr);
    }
    const QString garbage = path("garbage.javagold");
    writeFile(garbage, QByteArray("\x0a\xff\xff\xff\x7f", 5));
    {
        ProtoClassLoader loader(garbage);
        loader.loadAllClasses();
        EXPECT_TRUE(loader.getAllClasses().isEmpty());
    }
    EXPECT_EQ(log.lines, (QList<QPair<int, QString>>{
                             {Logger::L_ERROR, "Could not open file " + missing + " for reading"},
                             {Logger::L_ERROR, "Could not deserialize from file " + garbage}}));
}

// A file that reads as valid but holds no class would let every test against it pass unseen:
// zero bytes, or a message that carries only a field this schema does not know.
TEST_F(ProtoIOTest, GoldFileWithoutClassesIsUsedWithAWarning)
{
    const QString empty = path("empty.javagold");
    writeFile(empty, QByteArray());
    const QString headerOnly = path("header.javagold");
    writeFile(headerOnly, QByteArray("\x10\x01", 2));
    for (const QString& file : {empty, headerOnly}) {
        ProtoClassLoader loader(file);
        loader.loadAllClasses();
        EXPECT_TRUE(loader.getAllClasses().isEmpty());
        EXPECT_EQ(loader.loadClass("Lp/A;"), nullptr);
    }
    EXPECT_EQ(log.lines, (QList<QPair<int, QString>>{
                             {Logger::L_WARN, "Gold file " + empty + " holds no classes"},
                             {Logger::L_WARN, "Gold file " + headerOnly + " holds no classes"}}));
}

TEST_F(ProtoIOTest, NamesWithZeroBytesOrInvalidUtf8AreFoundByTheirText)
{
    JClasses all;
    all.add_classes()->set_name(std::string("Lp/A;\0first", 11));
    all.add_classes()->set_name(std::string("Lp/A;\0second", 12));
    all.add_classes()->set_name("Lp/\xff\xfe;");
    all.mutable_classes(2)->set_major_version(7);
    all.mutable_classes(2)->add_interfaces(std::string("\0", 1));
    ProtoIO::write(&all, path("odd.javagold"));

    ProtoClassLoader loader(path("odd.javagold"));
    loader.loadAllClasses();
    EXPECT_EQ(loader.getAllClasses().size(), 2);
    const Class* a = loader.loadClass("Lp/A;");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->getName().descriptor, "Lp/A;");
    const Class* odd = loader.loadClass(QString::fromUtf8("Lp/\xef\xbf\xbd\xef\xbf\xbd;"));
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->getMajorVersion(), 7);
    EXPECT_EQ(odd->getInterfaces()[0].kind, -1);
}
