#include "ArgHelp.h"
#include "Arg.h"
#include "ArgBaseException.h"
#include "ArgDefaultHelpPrinter.h"
#include "CmdLine.h"
#include "CommandLine.h"
#include "XorArg.h"

#include <gtest/gtest.h>

namespace {

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

// Parses, expecting the help argument to end the parse, and returns what it printed.
std::string helpOutput(CmdLine& cmd)
{
    testing::internal::CaptureStdout();
    bool printed = false;
    try {
        cmd.parse(false);
    } catch (const ArgHelpHasPrintedEx& e) {
        printed = true;
        EXPECT_STREQ(e.what(), "");
    } catch (const ArgBaseException& e) {
        ADD_FAILURE() << "unexpected fault: " << e.what();
    }
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(printed) << "help did not end the parse";
    return output;
}

// The small table of three optional arguments plus help, as a user would build it.
struct SmallTable
{
    Arg verbose{'v', "verbose", "Talk more.", false, false, nullptr, nullptr};
    Arg out{"out", "Output file.", false, true, nullptr, nullptr};
    Arg quiet{'q', "", "Quiet.", false, false, nullptr, nullptr};
    Arg classpath{'c', "classpath", "Your classpath.", false, true, nullptr, nullptr};

    void registerWith(CmdLine& cmd, ArgHelp& help)
    {
        cmd.addArg(verbose);
        cmd.addArg(out);
        cmd.addArg(quiet);
        cmd.addArg(classpath);
        cmd.addArg(help);
        ArgDefaultHelpPrinter::instance().setProgramDescription("Small tool");
        ArgDefaultHelpPrinter::instance().setExecutableName("small");
    }
};

class WithLongDescription : public Arg
{
public:
    WithLongDescription() : Arg("level", "Short.", false, true, nullptr, nullptr)
    {
        m_longDescription = "A much longer text.";
    }
};

} // namespace

TEST(HelpTable, ThreeArgumentExampleLaysOutColumns)
{
    Parser p({});
    Arg verbose('v', "verbose", "Talk more.", false, false, nullptr, nullptr);
    Arg out("out", "Output file.", false, true, nullptr, nullptr);
    Arg quiet('q', "", "Quiet.", false, false, nullptr, nullptr);
    p.cmd.addArg(verbose);
    p.cmd.addArg(out);
    p.cmd.addArg(quiet);

    // The help argument here is not part of the table it describes.
    ArgHelp help(&p.cmd);
    CmdLineContext nothingLeft({});
    ArgDefaultHelpPrinter::instance().setProgramDescription("Example");
    ArgDefaultHelpPrinter::instance().setExecutableName("ex");
    testing::internal::CaptureStdout();
    EXPECT_THROW(help.visit(nothingLeft), ArgHelpHasPrintedEx);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Example\n"
              "\n"
              "USAGE: ex [-v,--v[erbose]] [--o[ut] <arg>] [-q] \n"
              "\n"
              "  -v, --v[erbose]     Talk more.\n"
              "      --o[ut] <arg>   Output file.\n"
              "  -q                  Quiet.\n");
}

TEST(HelpTable, RequiredArgumentsComeFirstAndGroupsShowEachMember)
{
    Parser p({"--help"});
    Arg input('i', "input", "Input.", true, true, nullptr, nullptr);
    Arg mode("mode", "Mode.", true, true, nullptr, nullptr);
    Arg fast("fast", "Fast.", false, false, nullptr, nullptr);
    Arg slow("slow", "Slow.", false, false, nullptr, nullptr);
    XorArg speed({&fast, &slow}, "Speed", false);
    Arg single("single", "Alone in a group.", false, false, nullptr, nullptr);
    Arg sibling("singular", "Shares a prefix.", false, false, nullptr, nullptr);
    XorArg lonely({&single}, "Lonely", false);
    ArgHelp help(&p.cmd);
    p.cmd.addArg(speed);
    p.cmd.addArg(input);
    p.cmd.addArg(lonely);
    p.cmd.addArg(sibling);
    p.cmd.addArg(mode);
    p.cmd.addArg(help);
    ArgDefaultHelpPrinter::instance().setProgramDescription("Tool");
    ArgDefaultHelpPrinter::instance().setExecutableName("tool");

    // F = 2 ('-i', '-h'), N = 15 ('--i[nput] <arg>'): names at column 6, descriptions at column
    // 24. A group of one member still counts its member's name, so 'single' and 'singular' are
    // told apart.
    EXPECT_EQ(helpOutput(p.cmd),
              "Tool\n"
              "\n"
              "USAGE: tool -i,--i[nput] <arg> --m[ode] <arg>  [--f[ast] | --sl[ow]] "
              "[--singl[e]] [--singu[lar]] [-h,--h[elp]] \n"
              "\n"
              "  -i, --i[nput] <arg>   Input.\n"
              "      --m[ode] <arg>    Mode.\n"
              "      --f[ast]          Fast.\n"
              "      --sl[ow]          Slow.\n"
              "      --singl[e]        Alone in a group.\n"
              "      --singu[lar]      Shares a prefix.\n"
              "  -h, --h[elp]          Print this help.\n");
}

TEST(HelpTable, SingleRequiredAndSingleOptionalHaveNoTrailingBlank)
{
    Parser p({"--help"});
    Arg input("input", "Input.", true, true, nullptr, nullptr);
    ArgHelp help(&p.cmd);
    help.setFlags({}); // only '--help', so the table has no flags column
    p.cmd.addArg(input);
    p.cmd.addArg(help);
    ArgDefaultHelpPrinter::instance().setProgramDescription("T");
    ArgDefaultHelpPrinter::instance().setExecutableName("t");
    // F = 0, N = 15: names at column 4, descriptions at column 22.
    EXPECT_EQ(helpOutput(p.cmd), "T\n"
                                 "\n"
                                 "USAGE: t --i[nput] <arg> [--h[elp]]\n"
                                 "\n"
                                 "    --i[nput] <arg>   Input.\n"
                                 "    --h[elp]          Print this help.\n");
}

TEST(HelpForOneArgument, EveryWayOfNamingTheTopic)
{
    const std::string classpathHelp =
        "\nUSAGE: -c, --c[lasspath] <arg>\n\nDESCRIPTION: Your classpath.\n";
    for (const QStringList& line :
         {QStringList{"-h", "classpath"}, QStringList{"--help", "--classpath"},
          QStringList{"--help", "-c"}, QStringList{"-h", "class"}, QStringList{"--help=classpath"},
          QStringList{"--he", "--cl"}}) {
        Parser p(line);
        SmallTable t;
        ArgHelp help(&p.cmd);
        t.registerWith(p.cmd, help);
        EXPECT_EQ(helpOutput(p.cmd), classpathHelp) << line.join(' ').toStdString();
    }

    Parser own({"--help", "-hh"});
    SmallTable t;
    ArgHelp help(&own.cmd);
    t.registerWith(own.cmd, help);
    EXPECT_EQ(helpOutput(own.cmd), "\nUSAGE: -h, --h[elp]\n\nDESCRIPTION: Print this help.\n");

    Parser flagOnly({"-h", "-q"});
    SmallTable t2;
    ArgHelp help2(&flagOnly.cmd);
    t2.registerWith(flagOnly.cmd, help2);
    EXPECT_EQ(helpOutput(flagOnly.cmd), "\nUSAGE: -q\n\nDESCRIPTION: Quiet.\n");
}

TEST(HelpForOneArgument, LongDescriptionIsPreferred)
{
    Parser p({"-h", "level"});
    WithLongDescription level;
    ArgHelp help(&p.cmd);
    p.cmd.addArg(level);
    p.cmd.addArg(help);
    EXPECT_EQ(helpOutput(p.cmd), "\nUSAGE: --l[evel] <arg>\n\nDESCRIPTION: A much longer text.\n");
}

TEST(HelpForOneArgument, BadTopicsAreAnsweredWithoutLineEnd)
{
    struct Row
    {
        QStringList line;
        std::string output;
    };
    const QList<Row> rows{
        {{"--help", "-"}, "Empty flag."},
        {{"--help", "--"}, "Empty argument name."},
        {{"--help", ""}, "Empty argument name."},
        {{"--help="}, "Empty argument name."},
        {{"--help", "--nosuch"}, "Unknown argument: --nosuch"},
        {{"-h", "nosuch"}, "Unknown argument: --nosuch"},
        {{"--help", "-hx"}, "Unknown argument: -hx"},
        {{"--help", "-x"}, "Unknown argument: -x"},
        {{"--help", "-hv"}, "Unknown argument: -hv"}, // two different arguments
        {{"--help", "--c%1"}, "Unknown argument: --c%1"},
    };
    for (const Row& row : rows) {
        Parser p(row.line);
        SmallTable t;
        ArgHelp help(&p.cmd);
        t.registerWith(p.cmd, help);
        EXPECT_EQ(helpOutput(p.cmd), row.output) << row.line.join(' ').toStdString();
    }
}

// The shortest unique beginning is bracketed across the whole table, groups included: a name
// that begins another ('run' of 'runall') has none and is shown whole, and 'host' needs two
// letters beside 'help'. A value-taking member keeps its ' <arg>' inside the group's usage.
TEST(HelpTable, NameThatBeginsAnotherIsShownWhole)
{
    Parser p({"-h"});
    Arg run("run", "Run once.", false, false, nullptr, nullptr);
    Arg runall("runall", "Run everything.", false, false, nullptr, nullptr);
    Arg build("build", "Build a file.", false, true, nullptr, nullptr);
    XorArg mode({&run, &runall, &build}, "Mode", false);
    Arg host("host", "Host.", false, true, nullptr, nullptr);
    ArgHelp help(&p.cmd);
    p.cmd.addArg(mode);
    p.cmd.addArg(host);
    p.cmd.addArg(help);
    ArgDefaultHelpPrinter::instance().setProgramDescription("Runner");
    ArgDefaultHelpPrinter::instance().setExecutableName("runner");

    // F = 2 ('-h'), N = 15 ('--b[uild] <arg>'): names at column 6, descriptions at column 24.
    EXPECT_EQ(helpOutput(p.cmd),
              "Runner\n"
              "\n"
              "USAGE: runner [--run | --runa[ll] | --b[uild] <arg>] [--ho[st] <arg>] "
              "[-h,--he[lp]] \n"
              "\n"
              "      --run             Run once.\n"
              "      --runa[ll]        Run everything.\n"
              "      --b[uild] <arg>   Build a file.\n"
              "      --ho[st] <arg>    Host.\n"
              "  -h, --he[lp]          Print this help.\n");
}
