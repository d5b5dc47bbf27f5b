#include "CmdLine.h"
#include "Arg.h"
#include "ArgBaseException.h"
#include "CommandLine.h"
#include "XorArg.h"

#include <gtest/gtest.h>

namespace {

// A parser over the given strings; the argument table is built by each test.
class Parser
{
public:
    explicit Parser(const QStringList& strings) : m_line(strings), cmd(m_line.argc(), m_line.argv())
    {
    }

private:
    CommandLine m_line;

public:
    CmdLine cmd;
};

// Parses and returns the message of the ArgBaseException thrown, or "" when none was.
QString parseFault(CmdLine& cmd, bool skipDoubleDelimiter = false)
{
    try {
        cmd.parse(skipDoubleDelimiter);
    } catch (const ArgBaseException& e) {
        return e.message();
    }
    return QString();
}

// The table most tests use: value-less flags a, g and v, value-taking o ("out"), classpath and
// port, and portable whose name starts with "port".
struct Table
{
    Arg a{'a', "all", "d", false, false, nullptr, nullptr};
    Arg g{'g', "", "d", false, false, nullptr, nullptr};
    Arg v{'v', "verbose", "d", false, false, nullptr, nullptr};
    Arg o{'o', "out", "d", false, true, nullptr, nullptr};
    Arg classpath{'c', "classpath", "d", false, true, nullptr, nullptr};
    Arg portable{"portable", "d", false, false, nullptr, nullptr};
    Arg port{"port", "d", false, true, nullptr, nullptr};

    void registerWith(CmdLine& cmd)
    {
        for (Arg* arg : {&a, &g, &v, &o, &classpath, &portable, &port})
            cmd.addArg(arg);
    }
};

} // namespace

TEST(CmdLineConstruction, SkipsProgramNameAndKeepsNullEntries)
{
    char prog[] = "prog";
    char x[] = "-x";
    char* argv[] = {prog, nullptr, x, nullptr};
    CmdLine cmd(3, argv);
    Arg xArg('x', "", "d", false, false, nullptr, nullptr);
    cmd.addArg(xArg);
    // The null entry is a string that starts with no delimiter.
    EXPECT_EQ(parseFault(cmd), "Unexpected option: . Argument \"\" doesn't expect any values.");

    CmdLine none(0, nullptr);
    EXPECT_EQ(parseFault(none), "");
}

TEST(CmdLineRegistration, SameObjectOnceAndTableCheckedOnEachAdd)
{
    Parser p({});
    Arg h1('h', "help", "d", false, false, nullptr, nullptr);
    Arg h2('h', "host", "d", false, true, nullptr, nullptr);
    p.cmd.addArg(h1);
    p.cmd.addArg(&h1);
    p.cmd.addArg(nullptr);
    EXPECT_EQ(p.cmd.arguments().size(), 1);
    try {
        p.cmd.addArg(h2);
        FAIL() << "no fault";
    } catch (const ArgNameOrFlagAlreadyKnownEx& e) {
        EXPECT_EQ(e.message(), "Flag already in use: h.");
    }
    EXPECT_EQ(p.cmd.arguments().size(), 2); // stays registered
}

TEST(CmdLineMandatory, EmptyLineRunsOnlyTheChecks)
{
    Parser p({});
    Arg req("req", "d", true, true, nullptr, nullptr);
    p.cmd.addArg(req);
    EXPECT_EQ(parseFault(p.cmd), "Not defined mandatory argument: req");
}

TEST(CmdLineMandatory, DoubleDelimiterStopsOrIsSkipped)
{
    Arg req("req", "d", true, false, nullptr, nullptr);
    Arg v('v', "", "d", false, false, nullptr, nullptr);

    Parser stop({"--", "-v"});
    stop.cmd.addArg(req);
    stop.cmd.addArg(v);
    EXPECT_EQ(parseFault(stop.cmd, false), "");
    EXPECT_FALSE(v.isPresent());

    Parser skip({"--", "-v"});
    skip.cmd.addArg(req);
    skip.cmd.addArg(v);
    EXPECT_EQ(parseFault(skip.cmd, true), "Not defined mandatory argument: req");
    EXPECT_TRUE(v.isPresent());
}

TEST(CmdLineLongNames, AbbreviationsExactNamesAndAmbiguity)
{
    {
        Parser p({"--class", "lib.jar"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_EQ(t.classpath.value().toString(), "lib.jar");
    }
    {
        Parser p({"--port", "99"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_EQ(t.port.value().toString(), "99");
        EXPECT_FALSE(t.portable.isPresent());
    }
    {
        Parser p({"--por"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "Unknown argument: --por");
    }
    {
        Parser p({"--nosuch"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "Unknown argument: --nosuch");
    }
    {
        // An exact name wins even after two partial matches.
        Parser p({"--port"});
        Arg portx("portx", "d", false, false, nullptr, nullptr);
        Arg porty("porty", "d", false, false, nullptr, nullptr);
        Arg port("port", "d", false, false, nullptr, nullptr);
        p.cmd.addArg(portx);
        p.cmd.addArg(porty);
        p.cmd.addArg(port);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_TRUE(port.isDefined());
    }
    {
        // Inside a group the first member that answers is taken; two groups are ambiguous.
        Arg pcs("testpcs", "d", false, false, nullptr, nullptr);
        Arg pss("testpss", "d", false, false, nullptr, nullptr);
        XorArg tests({&pcs, &pss}, "Tests", false);
        Arg tgold("testgold", "d", false, true, nullptr, nullptr);
        Parser inGroup({"--testp"});
        inGroup.cmd.addArg(tests);
        EXPECT_EQ(parseFault(inGroup.cmd), "");
        EXPECT_TRUE(pcs.isDefined());
        Parser across({"--test"});
        across.cmd.addArg(tests);
        across.cmd.addArg(tgold);
        EXPECT_EQ(parseFault(across.cmd), "Unknown argument: --test");
    }
}

TEST(CmdLineValues, EveryWayOfGivingAValue)
{
    for (const QStringList& line :
         {QStringList{"--out=x"}, QStringList{"--out", "x"}, QStringList{"-o=x"},
          QStringList{"-o", "x"}, QStringList{"-ox"}, QStringList{"--o=x"}}) {
        Parser p(line);
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "") << line.join(' ').toStdString();
        EXPECT_EQ(t.o.value(), QVariant(QString("x"))) << line.join(' ').toStdString();
    }
    {
        Parser p({"--out="});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_TRUE(t.o.isDefined());
        EXPECT_EQ(t.o.value().toString(), "");
    }
    {
        // A value-taking argument takes the next string whatever it looks like.
        Parser p({"--classpath", "--verbose"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_EQ(t.classpath.value().toString(), "--verbose");
        EXPECT_FALSE(t.v.isPresent());
    }
    {
        // '=' only splits at its first occurrence.
        Parser p({"--out=a=b"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_EQ(t.o.value().toString(), "a=b");
    }
    {
        Parser p({"--out"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "Not defined value of the argument: out");
        EXPECT_TRUE(t.o.isPresent());
    }
}

TEST(CmdLineFlagGroups, FlagsValueTakingFlagAndLoneDelimiter)
{
    {
        Parser p({"-av", "-", "-vofile"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_EQ(t.a.value(), QVariant(true));
        EXPECT_EQ(t.v.value(), QVariant(true));
        EXPECT_EQ(t.o.value().toString(), "file");
    }
    {
        // o takes the rest of the group, so g is never seen as a flag.
        Parser p({"-og"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "");
        EXPECT_EQ(t.o.value().toString(), "g");
        EXPECT_FALSE(t.g.isPresent());
    }
    {
        Parser p({"-ax"});
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), "Unknown argument: -x");
        EXPECT_TRUE(t.a.isDefined()); // handled before the fault
    }
}

TEST(CmdLineUnexpected, StrayValuesNameTheOptionBeforeThem)
{
    struct Row
    {
        QStringList line;
        QString message;
    };
    const QList<Row> rows{
        {{"foo"}, "Unexpected option: foo. Argument \"\" doesn't expect any values."},
        {{"-g", "foo"}, "Unexpected option: foo. Argument \"-g\" doesn't expect any values."},
        {{"--verbose=1"},
         "Unexpected option: 1. Argument \"--verbose\" doesn't expect any values."},
        {{"--all", "foo=bar"},
         "Unexpected option: foo. Argument \"--all\" doesn't expect any values."},
        // Placeholder-like text typed by the user is not filled in a second time.
        {{"-g", "%1%2"}, "Unexpected option: %1%2. Argument \"-g\" doesn't expect any values."},
    };
    for (const Row& row : rows) {
        Parser p(row.line);
        Table t;
        t.registerWith(p.cmd);
        EXPECT_EQ(parseFault(p.cmd), row.message);
    }
}

TEST(CmdLineDelimiter, FlagAndArgumentTellsFollowTheDelimiter)
{
    Parser p({"+v", "++out", "x"});
    Table t;
    t.registerWith(p.cmd);
    EXPECT_TRUE(p.cmd.isArgument("--x"));
    EXPECT_FALSE(p.cmd.isFlag("--x"));
    EXPECT_TRUE(p.cmd.isFlag("-x"));
    EXPECT_TRUE(p.cmd.isFlag("-"));
    EXPECT_FALSE(p.cmd.isFlag("x"));

    p.cmd.setDelimiter('+');
    EXPECT_TRUE(p.cmd.isArgument("++x"));
    EXPECT_FALSE(p.cmd.isArgument("--x"));
    EXPECT_EQ(parseFault(p.cmd), "");
    EXPECT_TRUE(t.v.isDefined());
    EXPECT_EQ(t.o.value().toString(), "x");
}
