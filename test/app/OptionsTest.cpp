#include "Options.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Runs Options::set on a fresh record, as main does on Options::opts.
Options parse(const QStringList& args)
{
    std::vector<QByteArray> storage;
    storage.push_back("velm-jct");
    for (const QString& a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    Options o;
    o.set(int(storage.size()), argv.data());
    return o;
}

} // namespace

TEST(OptionsTest, DefaultsWithoutAnyOption)
{
    ASSERT_NE(Options::opts, nullptr);
    const Options o = parse({});
    EXPECT_TRUE(o.gui);
    EXPECT_EQ(o.profile, 0);
    EXPECT_EQ(o.command, 0);
    EXPECT_EQ(o.logDir, QString("."));
    EXPECT_EQ(o.port, 0);
    EXPECT_EQ(o.host, Options::defaultHost());
    EXPECT_TRUE(o.tssGold.isNull());
    EXPECT_TRUE(o.goldFile.isEmpty());
    EXPECT_TRUE(o.classpath.entries.isEmpty());
}

TEST(OptionsTest, ConsoleTestRunRecordsEveryValue)
{
    const Options o = parse({"--nogui", "--testtss", "--classpath", "a.jar::b", "--tssgold",
                             "t1.javagold:t2.javagold", "--frameworkclasspath", "fw", "--general",
                             "--logdir", "/tmp/logs", "--host", "collector", "--port=4711"});
    EXPECT_FALSE(o.gui);
    EXPECT_EQ(o.command, 4);
    EXPECT_EQ(o.profile, 1);
    EXPECT_EQ(o.classpath.entries, QStringList({"a.jar", "b"}));
    EXPECT_EQ(o.frameworkClasspath.entries, QStringList({"fw"}));
    EXPECT_EQ(o.tssGold, QString("t1.javagold:t2.javagold"));
    EXPECT_EQ(o.logDir, QString("/tmp/logs"));
    EXPECT_EQ(o.host, QString("collector"));
    EXPECT_EQ(o.port, 4711);
}

TEST(OptionsTest, CommandAndProfileNumbers)
{
    const char* commands[] = {"--testpcs",    "--testpss",         "--testoss", "--testtss",
                              "--testtssabs", "--testtssabsiface", "--testios"};
    for (int i = 0; i < 7; ++i) {
        const Options o =
            parse({"--nogui", commands[i], "--safetyBase", "--classpath", "c", "--tssgold", "g"});
        EXPECT_EQ(o.command, i + 1) << commands[i];
        EXPECT_EQ(o.profile, 3);
    }
    Options o = parse({"--nogui", "--buildjavagold", "out.javagold", "--classpath", "c"});
    EXPECT_EQ(o.command, 8);
    EXPECT_EQ(o.goldFile, QString("out.javagold"));
    EXPECT_EQ(o.profile, 0);
    o = parse({"--nogui", "--listcontents", "--classpath", "c", "--safetyExt"});
    EXPECT_EQ(o.command, 9);
    EXPECT_EQ(o.profile, 2);
}

TEST(OptionsTest, EmptyLogDirectoryIsTheCurrentDirectory)
{
    EXPECT_EQ(parse({"--logdir="}).logDir, QString("."));
    EXPECT_EQ(parse({"--logdir", ""}).logDir, QString("."));
}

TEST(OptionsTest, PortThatIsNoDecimalNumberIsACommandLineError)
{
    // Read as 0 it would quietly send no report.
    for (const char* port : {"eighty", "0x10", "80a"})
        EXPECT_EXIT(
            parse({"--nogui", "--testoss", "--general", "--classpath", "c", "--port", port}),
            ::testing::ExitedWithCode(1),
            QString("^The port %1 is not a decimal number.\n$").arg(port).toStdString())
            << port;
    EXPECT_EQ(parse({"--port", "80"}).port, 80);
    // A number beyond the TCP range is refused when the report is sent.
    EXPECT_EQ(parse({"--port", "65616"}).port, 65616);
}

TEST(OptionsTest, GuiModeKeepsCommandLineChoicesUnchecked)
{
    const Options o = parse({"--gui", "--testoss"});
    EXPECT_TRUE(o.gui);
    EXPECT_EQ(o.command, 3);
    EXPECT_EQ(o.profile, 0);
}
