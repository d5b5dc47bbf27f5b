#include "SigConverter.h"

// Before any header that brings Qt's keyword macros: the builder has a member named slots.
#include "ClassFileBuilder.h"
#include "JavaFixtureSupport.h"
#include "LogCapture.h"

#include "Classpath.h"
#include "JavaClassFile.h"
#include "JavaTypes.pb.h"
#include "MethodSignature.h"
#include "Pretest.h"
#include "SignatureFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

// A few release-8 signature files that cover a final class, the root class, interfaces with
// and without concrete methods, an enum, an annotation and the class with the
// signature-polymorphic methods. Folder names in ct.sym list the releases an entry belongs to.
const QMap<QString, QByteArray>& releaseEightSamples()
{
    static const QMap<QString, QByteArray> samples = [] {
        QMap<QString, QByteArray> byClass;
        const QRegularExpression pattern(QStringLiteral(
            "^[0-9A-Z]*8[0-9A-Z]*/java\\.base/(java/lang/(String|Object|Runnable|Thread\\$State|"
            "Deprecated|invoke/MethodHandle)|java/util/(Map\\$Entry|HashMap))\\.sig$"));
        const auto files = readSignatureFiles(QStringLiteral(VELM_CT_SYM), pattern);
        for (auto it = files.begin(); it != files.end(); ++it) {
            QString name = it.key().section(QLatin1Char('/'), 2);
            name.chop(4);
            byClass.insert(name, it.value());
        }
        return byClass;
    }();
    return samples;
}

std::unique_ptr<JavaClassFile> parse(const QByteArray& bytes)
{
    return std::unique_ptr<JavaClassFile>(JavaClassFile::create(bytes));
}

QByteArray convert(const QByteArray& sig, QString* error = nullptr)
{
    QString ignored;
    return SigConverter::convert(sig, error ? error : &ignored);
}

int expectedLocals(const JavaClassFile& file, const method_info* method)
{
    int locals = (method->access_flags & ACC_STATIC) ? 0 : 1;
    for (const TypeDescriptor& p : MethodSignature(file.getMethodDescriptor(method)).parameters)
        locals += (p.kind == 'J' || p.kind == 'D') ? 2 : 1;
    return locals;
}

const Code_attribute* codeOf(const JavaClassFile& file, const method_info* method)
{
    return static_cast<const Code_attribute*>(file.getMethodCodeAttr(method));
}

} // namespace

TEST(SigConverterTest, ReleaseEightSignatureFilesAreFoundInTheJdk)
{
    EXPECT_EQ(
        releaseEightSamples().keys(),
        QStringList({"java/lang/Deprecated", "java/lang/Object", "java/lang/Runnable",
                     "java/lang/String", "java/lang/Thread$State", "java/lang/invoke/MethodHandle",
                     "java/util/HashMap", "java/util/Map$Entry"}));
}

// The reader rejects the signature file as it is and accepts the conversion, which keeps every
// declaration that gold building reads and gives each concrete method the throwing stub.
TEST(SigConverterTest, ConvertedSignatureFilesLoadWithTheirDeclarationsUnchanged)
{
    for (auto it = releaseEightSamples().begin(); it != releaseEightSamples().end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        QString error;
        const QByteArray converted = convert(it.value(), &error);
        ASSERT_FALSE(converted.isNull()) << error.toStdString();
        const auto before = parse(it.value());
        const auto after = parse(converted);
        EXPECT_FALSE(after->checkLog.hasError) << after->checkLog.messages.join('\n').toStdString();

        EXPECT_EQ(after->getName(), before->getName());
        EXPECT_EQ(after->major_version, before->major_version);
        EXPECT_EQ(after->access_flags, before->access_flags);
        EXPECT_EQ(after->getParentName(), before->getParentName());
        ASSERT_EQ(after->interfaces.size(), before->interfaces.size());
        for (int i = 0; i < before->interfaces.size(); ++i)
            EXPECT_EQ(after->getInterfaceName(after->interfaces[i]),
                      before->getInterfaceName(before->interfaces[i]));
        // Existing entries keep their indexes; at most the "Code" name is appended.
        ASSERT_GE(after->constant_pool.size(), before->constant_pool.size());
        EXPECT_LE(after->constant_pool.size(), before->constant_pool.size() + 1);
        for (int i = 0; i < before->constant_pool.size(); ++i)
            EXPECT_EQ(after->constant_pool[i]->tag, before->constant_pool[i]->tag);

        ASSERT_EQ(after->fields.size(), before->fields.size());
        for (int i = 0; i < before->fields.size(); ++i) {
            EXPECT_EQ(after->getFieldName(after->fields[i]),
                      before->getFieldName(before->fields[i]));
            EXPECT_EQ(after->getFieldDescriptor(after->fields[i]),
                      before->getFieldDescriptor(before->fields[i]));
            EXPECT_EQ(after->fields[i]->access_flags, before->fields[i]->access_flags);
        }

        ASSERT_EQ(after->methods.size(), before->methods.size());
        bool anyStub = false;
        for (int i = 0; i < before->methods.size(); ++i) {
            const method_info* b = before->methods[i];
            const method_info* a = after->methods[i];
            SCOPED_TRACE(before->getMethodName(b).toStdString());
            EXPECT_EQ(after->getMethodName(a), before->getMethodName(b));
            EXPECT_EQ(after->getMethodDescriptor(a), before->getMethodDescriptor(b));
            EXPECT_EQ(a->access_flags, b->access_flags);
            EXPECT_EQ(after->getMethodExceptions(a), before->getMethodExceptions(b));
            const bool concrete = !(b->access_flags & (ACC_ABSTRACT | ACC_NATIVE));
            EXPECT_EQ(a->attributes.size(), b->attributes.size() + (concrete ? 1 : 0));
            const Code_attribute* code = codeOf(*after, a);
            if (!concrete) {
                EXPECT_EQ(code, nullptr);
                continue;
            }
            anyStub = true;
            ASSERT_NE(code, nullptr);
            EXPECT_EQ(code->code, QByteArray("\x01\xbf", 2)); // aconst_null; athrow
            EXPECT_EQ(code->max_stack, 1);
            EXPECT_EQ(code->max_locals, expectedLocals(*after, a));
            EXPECT_TRUE(code->exception_table.isEmpty());
            EXPECT_TRUE(code->attributes.isEmpty());
        }
        if (anyStub) {
            EXPECT_TRUE(before->checkLog.hasError);
            EXPECT_EQ(after->constant_pool.size(), before->constant_pool.size() + 1);
        } else {
            // Nothing to add: the file is already loadable and comes out as it went in.
            EXPECT_EQ(converted, it.value());
        }
    }
}

// The whole road: converted release-8 files build a gold file of the release-8 API.
TEST(SigConverterTest, GoldBuiltFromConvertedFilesDescribesReleaseEight)
{
    ensureLogger();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (auto it = releaseEightSamples().begin(); it != releaseEightSamples().end(); ++it) {
        const QString path = dir.filePath(QStringLiteral("classes/") + it.key() + ".class");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(convert(it.value()));
    }
    Classpath classpath;
    classpath.append(dir.filePath(QStringLiteral("classes")));
    const QString goldPath = dir.filePath(QStringLiteral("api.javagold"));
    Pretest::createGold(classpath, goldPath);

    QFile goldFile(goldPath);
    ASSERT_TRUE(goldFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = goldFile.readAll();
    JClasses gold;
    ASSERT_TRUE(gold.ParseFromArray(bytes.constData(), bytes.size()));
    QMap<std::string, const JClass*> classes;
    for (const JClass& c : gold.classes())
        classes.insert(c.name(), &c);
    EXPECT_EQ(classes.size(), releaseEightSamples().size());

    ASSERT_TRUE(classes.contains("Ljava/lang/String;"));
    std::set<std::string> stringMethods;
    for (const JMethod& m : classes["Ljava/lang/String;"]->methods())
        stringMethods.insert(m.name());
    EXPECT_TRUE(stringMethods.count("isEmpty"));
    EXPECT_TRUE(stringMethods.count("join")); // new in release 8
    for (const char* later : {"isBlank", "strip", "lines", "repeat"})
        EXPECT_EQ(stringMethods.count(later), 0u) << later;

    ASSERT_TRUE(classes.contains("Ljava/lang/invoke/MethodHandle;"));
    int invokes = 0;
    for (const JMethod& m : classes["Ljava/lang/invoke/MethodHandle;"]->methods()) {
        if (m.name() == "invoke" || m.name() == "invokeExact") {
            ++invokes;
            EXPECT_EQ(m.descriptor_(), "([Ljava/lang/Object;)Ljava/lang/Object;");
            EXPECT_FALSE(m.signature_polymorphic()); // only the marking step sets it
        }
    }
    EXPECT_EQ(invokes, 2);
}

TEST(SigConverterTest, JavacClassFilesComeOutUnchanged)
{
    const QStringList paths = fixtureClassPaths();
    ASSERT_FALSE(paths.isEmpty());
    for (const QString& path : paths) {
        const QByteArray bytes = readFixtureClass(path);
        QString error;
        EXPECT_EQ(convert(bytes, &error), bytes) << path.toStdString() << error.toStdString();
    }
}

TEST(SigConverterTest, ParameterSlotsCountLongAndDoubleTwice)
{
    EXPECT_EQ(SigConverter::parameterSlots("()V"), 0);
    EXPECT_EQ(SigConverter::parameterSlots("(I)I"), 1);
    EXPECT_EQ(SigConverter::parameterSlots("(JD)J"), 4);
    EXPECT_EQ(SigConverter::parameterSlots("([J[[DLjava/lang/String;Z)[Ljava/lang/Object;"), 4);
    EXPECT_EQ(SigConverter::parameterSlots("(" + QByteArray(255, '[') + "I)V"), 1);
}

TEST(SigConverterTest, MalformedDescriptorsAreRecognised)
{
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("V"), QByteArray("I()V"), QByteArray("("), QByteArray("(I"),
          QByteArray("(I)"), QByteArray("(L;)V"), QByteArray("(Ljava/lang/String)V"),
          QByteArray("(V)V"), QByteArray("()VV"), QByteArray("()[V"), QByteArray("(I)Q"),
          QByteArray("([)V"), QByteArray("()Ljava/lang/String"),
          QByteArray("(" + QByteArray(256, '[') + "I)V")})
        EXPECT_EQ(SigConverter::parameterSlots(bad), -1) << bad.toStdString();
}

TEST(SigConverterTest, StubsReserveSlotsForReceiverAndParameters)
{
    ClassFileBuilder b;
    b.addMethod(ACC_PUBLIC | ACC_STATIC, "s", "(JDI)V");
    b.addMethod(ACC_PUBLIC, "i", "(J)Ljava/lang/Object;");
    b.addMethod(ACC_PUBLIC, "<init>", "()V");
    b.addMethod(ACC_PUBLIC | ACC_NATIVE, "n", "(I)V");
    b.addMethod(ACC_PUBLIC | ACC_ABSTRACT, "a", "(I)V");
    // The largest parameter list the format allows, receiver included.
    b.addMethod(ACC_PUBLIC, "wide", "(" + QString(254, 'I') + ")V");
    const QByteArray converted = convert(b.build());
    const auto file = parse(converted);
    ASSERT_FALSE(file->checkLog.hasError) << file->checkLog.messages.join('\n').toStdString();
    const QList<int> locals = {5, 3, 1, -1, -1, 255};
    ASSERT_EQ(file->methods.size(), locals.size());
    for (int i = 0; i < locals.size(); ++i) {
        const Code_attribute* code = codeOf(*file, file->methods[i]);
        if (locals[i] < 0) {
            EXPECT_EQ(code, nullptr);
            continue;
        }
        ASSERT_NE(code, nullptr);
        EXPECT_EQ(code->max_locals, locals[i]);
    }
}

TEST(SigConverterTest, ExistingCodeNameIsReusedAndExistingCodeKept)
{
    ClassFileBuilder b;
    b.addCodeMethod(QByteArray("\xb1", 1)); // return; its Code attribute names "Code"
    b.addMethod(ACC_PUBLIC, "stub", "()V");
    const QByteArray sig = b.build();
    const QByteArray converted = convert(sig);
    const auto before = parse(sig);
    const auto after = parse(converted);
    ASSERT_FALSE(after->checkLog.hasError);
    EXPECT_EQ(after->constant_pool.size(), before->constant_pool.size());
    EXPECT_EQ(codeOf(*after, after->methods[0])->code, QByteArray("\xb1", 1));
    EXPECT_EQ(codeOf(*after, after->methods[1])->code, QByteArray("\x01\xbf", 2));
}

// Each case is a valid file with one thing wrong; each must be refused with a message that says
// what, never crash and never produce output.
TEST(SigConverterTest, MalformedFilesAreRejectedWithAClearMessage)
{
    const auto rejected = [](const QByteArray& bytes) {
        QString error;
        const QByteArray out = SigConverter::convert(bytes, &error);
        EXPECT_TRUE(out.isNull());
        return error;
    };
    const auto validWithMethod = [] {
        ClassFileBuilder b;
        b.addMethod(ACC_PUBLIC, "m", "(I)V");
        return b.build();
    };

    EXPECT_EQ(rejected(QByteArray()), "Class file format error - magic at offset 0 needs 4 bytes "
                                      "but only 0 are left in the class file");
    EXPECT_EQ(rejected(QByteArray("PK\x03\x04rest-of-a-zip")),
              "Not a Java class file - bad magic (0x504b0304)");

    QByteArray cut = validWithMethod();
    cut.truncate(20);
    EXPECT_TRUE(
        rejected(cut).startsWith("Class file format error - CONSTANT_Utf8 bytes at offset"));

    {
        ClassFileBuilder b;
        b.raw(ClassFileBuilder::u1(2) + ClassFileBuilder::u2(0));
        EXPECT_EQ(rejected(b.build()),
                  "Class file format error - unknown constant pool tag (2) at index 5");
    }
    {
        ClassFileBuilder b;
        b.poolCount = 0;
        EXPECT_EQ(rejected(b.build()),
                  "Class file format error - constant_pool_count is 0; it counts from 1");
    }
    {
        // A Long in the pool's last index: its second slot would lie outside the pool.
        ClassFileBuilder b;
        b.longEntry(7);
        b.poolCount = 6;
        const QString error = rejected(b.build());
        EXPECT_EQ(error, "Class file format error - the 8-byte constant at index 5 has no room "
                         "for its second slot in a pool of count 6");
    }
    {
        ClassFileBuilder b;
        b.methods.append(ClassFileBuilder::member(ACC_PUBLIC, 99, b.utf8("()V")));
        EXPECT_EQ(rejected(b.build()), "Class file format error - Method[0] index (99) does not "
                                       "exist");
    }
    {
        ClassFileBuilder b;
        b.methods.append(ClassFileBuilder::member(ACC_PUBLIC, b.utf8("m"), b.thisClass));
        EXPECT_EQ(rejected(b.build()), "Class file format error - Method[0] descriptor index (2) "
                                       "does not point to a CONSTANT_Utf8 entry");
    }
    {
        ClassFileBuilder b;
        b.addMethod(ACC_PUBLIC, "m", "(I");
        EXPECT_EQ(rejected(b.build()),
                  "Class file format error - Method[0] (m) has a malformed descriptor (I");
    }
    {
        ClassFileBuilder b;
        b.addMethod(ACC_PUBLIC, "tooWide", "(" + QString(255, 'I') + ")V");
        EXPECT_EQ(rejected(b.build()), "Class file format error - Method[0] (tooWide) needs 256 "
                                       "local slots for its parameters; at most 255 are allowed");
    }
    {
        ClassFileBuilder b;
        b.addMethod(ACC_PUBLIC, "m", "()V", {b.attribute("Deprecated", QByteArray(), 1000)});
        EXPECT_TRUE(rejected(b.build()).startsWith(
            "Class file format error - \"Deprecated\" attribute at offset"));
    }
    {
        ClassFileBuilder b;
        b.addMethod(ACC_PUBLIC, "m", "()V");
        QByteArray bytes = b.build();
        // The file ends with the method's attributes_count and the class's; 0 becomes 0xff00.
        bytes[bytes.size() - 4] = char(0xff);
        EXPECT_TRUE(rejected(bytes).startsWith("Class file format error - attributes_count "
                                               "(65280) at offset"));
    }
    EXPECT_EQ(rejected(validWithMethod() + "xy"),
              QString("Class file format error - 2 bytes follow the class attributes at offset %1")
                  .arg(validWithMethod().size()));
    {
        // No free index is left for the "Code" name that the stub needs.
        ClassFileBuilder b;
        b.addMethod(ACC_PUBLIC, "m", "()V");
        while (b.nextIndex() < 0xffff)
            b.integer(0);
        EXPECT_EQ(rejected(b.build()), "Class file format error - the constant pool is full; no "
                                       "room for a \"Code\" entry");
    }
    {
        ClassFileBuilder b;
        QList<QByteArray> attributes;
        const quint16 deprecated = b.utf8("Deprecated");
        for (int i = 0; i < 0xffff; ++i)
            attributes.append(b.attributeAt(deprecated, QByteArray()));
        b.addMethod(ACC_PUBLIC, "m", "()V", attributes);
        EXPECT_EQ(rejected(b.build()),
                  "Class file format error - Method[0] (m) has no room for a Code attribute");
    }
}

// Every cut of a real signature file is refused cleanly.
TEST(SigConverterTest, EveryTruncationOfARealFileIsRejected)
{
    const QByteArray sig = releaseEightSamples().value("java/lang/String");
    ASSERT_FALSE(sig.isEmpty());
    for (int n = 0; n < sig.size(); ++n) {
        QString error;
        EXPECT_TRUE(SigConverter::convert(sig.left(n), &error).isNull()) << n;
        EXPECT_FALSE(error.isEmpty()) << n;
    }
}

TEST(SigConverterTest, ProgramConvertsTreesAndNamesEveryBadFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(dir.filePath(path)).absolutePath());
        QFile f(dir.filePath(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("in/java/lang/String.sig", releaseEightSamples().value("java/lang/String"));
    write("in/java/lang/Bad.sig", QByteArray("\xca\xfe\xba\xbe\x00", 5));
    write("in/java/lang/notes.txt", QByteArray("not a signature file"));

    QProcess p;
    p.start(VELM_SIG2CLASS, {dir.filePath("in"), dir.filePath("out")});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.contains(dir.filePath("in/java/lang/Bad.sig") +
                             ": Class file format error - minor_version at offset 4"))
        << err.toStdString();
    EXPECT_TRUE(err.endsWith("1 of 2 files could not be converted\n")) << err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("out/java/lang/String.class")));
    EXPECT_FALSE(QFile::exists(dir.filePath("out/java/lang/Bad.class")));
    EXPECT_FALSE(QFile::exists(dir.filePath("out/java/lang/notes.txt")));

    // Relative names are taken from the working directory.
    p.setWorkingDirectory(dir.path());
    p.start(VELM_SIG2CLASS, {"in/java", "relative"});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QFile::exists(dir.filePath("relative/lang/String.class")));

    QDir().mkpath(dir.filePath("empty"));
    p.start(VELM_SIG2CLASS, {dir.filePath("empty"), dir.filePath("out2")});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              dir.filePath("empty") + ": holds no .sig files\n");

    p.start(VELM_SIG2CLASS, {dir.filePath("missing.sig"), dir.filePath("x.class")});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError())
                    .startsWith(dir.filePath("missing.sig") + ": cannot be read: "));

    p.start(VELM_SIG2CLASS, {dir.filePath("in")});
    ASSERT_TRUE(p.waitForFinished());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).startsWith("usage: "));
}
