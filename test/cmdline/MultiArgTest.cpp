#include "MultiArg.h"
#include "ArgBaseException.h"
#include "ArgConstraintIface.h"
#include "ArgDefaultHelpPrinter.h"
#include "ArgHelp.h"
#include "CmdLine.h"
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class RejectB : public ArgConstraintIface
{
public:
    bool check(const QVariant& value) const override { return value.toString() != "b"; }
};

// A parser with a counted flag v (no value), a counted o (value) and a plain flag x.
class Counted
{
public:
    explicit Counted(const QStringList& strings, ArgConstraintIface* constraint = nullptr)
        : m_line(strings), cmd(m_line.argc(), m_line.argv()),
          v('v', "verbose", "More output.", false, false, nullptr, nullptr),
          o('o', "", "An input.", false, true, nullptr, constraint),
          x('x', "", "Something else.", false, false, nullptr, nullptr)
    {
        cmd.addArg(v);
        cmd.addArg(o);
        cmd.addArg(x);
    }

    // The message of the fault, or "" when the parse went through.
    QString parse()
    {
        try {
            cmd.parse(false);
        } catch (const ArgBaseException& e) {
            return e.message();
        }
        return QString();
    }

private:
    CommandLine m_line;

public:
    CmdLine cmd;
    MultiArg v;
    MultiArg o;
    Arg x;
};

} // namespace

TEST(MultiArgCount, StartsAtZeroAndIsAbsent)
{
    Counted c({});
    EXPECT_EQ(c.parse(), "");
    EXPECT_EQ(c.v.count(), 0);
    EXPECT_FALSE(c.v.isPresent());
    EXPECT_EQ(c.v.value(), QVariant(false));
}

TEST(MultiArgCount, RepeatsAndNumbers)
{
    struct Row
    {
        QStringList line;
        int count;
        bool xSeen;
    };
    const QList<Row> rows{
        {{"-v"}, 1, false},
        {{"-vvv"}, 3, false},
        {{"-v3"}, 3, false},
        {{"-vv3"}, 4, false},
        {{"-v", "5"}, 5, false},
        {{"-v", "-2"}, -2, false},
        {{"-v", "-x"}, 1, true},
        {{"-vx"}, 1, true},
        {{"--verbose", "2"}, 2, false},
        {{"-v", "-v", "+4"}, 5, false},
    };
    for (const Row& row : rows) {
        Counted c(row.line);
        EXPECT_EQ(c.parse(), "") << row.line.join(' ').toStdString();
        EXPECT_EQ(c.v.count(), row.count) << row.line.join(' ').toStdString();
        EXPECT_EQ(c.v.value(), QVariant(true));
        EXPECT_EQ(c.x.isPresent(), row.xSeen) << row.line.join(' ').toStdString();
    }

    // A word after the flag is not a count: it stays for the parser, which refuses it.
    Counted word({"-v", "foo"});
    EXPECT_EQ(word.parse(), "Unexpected option: foo. Argument \"-v\" doesn't expect any values.");
    EXPECT_EQ(word.v.count(), 1);
}

TEST(MultiArgCount, StopsAtTheLimitsOfInt)
{
    Counted up({"-v", "2147483647", "-v", "5"});
    EXPECT_EQ(up.parse(), "");
    EXPECT_EQ(up.v.count(), std::numeric_limits<int>::max());

    Counted down({"-v", "-2147483648", "-v", "-1"});
    EXPECT_EQ(down.parse(), "");
    EXPECT_EQ(down.v.count(), std::numeric_limits<int>::min());
}

TEST(MultiArgValues, CollectsEveryValueInOrder)
{
    for (const QStringList& line : {QStringList{"-o", "a", "-o", "b"}, QStringList{"-oa", "-ob"},
                                    QStringList{"-o=a", "-xo", "b"}}) {
        Counted c(line);
        EXPECT_EQ(c.parse(), "") << line.join(' ').toStdString();
        EXPECT_EQ(c.o.count(), 2);
        EXPECT_EQ(c.o.value().toList(), (QList<QVariant>{QString("a"), QString("b")}));
    }

    // A last '-o' without a value counts, but fails only when no value was given at all.
    Counted lastMissing({"-o", "a", "-o"});
    EXPECT_EQ(lastMissing.parse(), "");
    EXPECT_EQ(lastMissing.o.count(), 2);
    EXPECT_EQ(lastMissing.o.value().toList().size(), 1);

    Counted onlyMissing({"-o"});
    EXPECT_EQ(onlyMissing.parse(), "Not defined value of the argument: o");
    EXPECT_EQ(onlyMissing.o.count(), 1);
    EXPECT_TRUE(onlyMissing.o.isPresent());
}

TEST(MultiArgValues, ConstraintNamesTheRefusedElement)
{
    RejectB rejectB;
    Counted c({"-o", "a", "-o", "b", "-o", "c"}, &rejectB);
    EXPECT_EQ(c.parse(), "Constraint for the argument: o hasn't observed. Wrong value is: b");
    EXPECT_EQ(c.o.count(), 2); // the parse stopped at the second value
}

TEST(MultiArgHelp, RepeatMarkCountsIntoTheNamesColumn)
{
    CommandLine line({"-h"});
    CmdLine cmd(line.argc(), line.argv());
    MultiArg v('v', "verbose", "More output.", false, false, nullptr, nullptr);
    MultiArg o('o', "", "An input.", false, true, nullptr, nullptr);
    ArgHelp help(&cmd);
    cmd.addArg(v);
    cmd.addArg(o);
    cmd.addArg(help);
    ArgDefaultHelpPrinter::instance().setProgramDescription("Counter");
    ArgDefaultHelpPrinter::instance().setExecutableName("count");

    testing::internal::CaptureStdout();
    EXPECT_THROW(cmd.parse(false), ArgHelpHasPrintedEx);
    // F = 14 ('-o <arg> [...]'), N = 17 ('--v[erbose] [...]'): names at column 18, descriptions
    // at column 38. The usage line shows no repeat mark.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Counter\n"
              "\n"
              "USAGE: count [-v,--v[erbose]] [-o <arg>] [-h,--h[elp]] \n"
              "\n"
              "  -v,             --v[erbose] [...]   More output.\n"
              "  -o <arg> [...]                      An input.\n"
              "  -h,             --h[elp]            Print this help.\n");
}
