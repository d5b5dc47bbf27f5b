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

// The application's own table, registered in its order. The expected text is worked out by hand:
// F = 2 ('-h'); the widest names text is '--f[rameworkclasspath] <arg>' (N = 28); names start at
// column 6 and descriptions at column 37.
TEST(HelpTable, ApplicationOptionTable)
{
    Parser p({"-h"});
    Arg gui("gui", "Show the GUI. [Default] (No other options will be used.)", false, false,
            nullptr, nullptr);
    Arg nogui("nogui", "Do not show the GUI, and execute in command mode.", false, false, nullptr,
              nullptr);
    Arg classpath("classpath",
                  "Your classpath in command mode. (Required for testing in command mode.)", false,
                  true, nullptr, nullptr);
    Arg frameworkclasspath("frameworkclasspath",
                           "Framework classpath in command mode. (For testing in command mode.)",
                           false, true, nullptr, nullptr);
    Arg logdir("logdir", "Your log directory in command mode. (Defaults to current directory.)",
               false, true, nullptr, nullptr);
    Arg testpcs("testpcs", "Test a PCS.", false, false, nullptr, nullptr);
    Arg testpss("testpss", "Test a PSS.", false, false, nullptr, nullptr);
    Arg testoss("testoss", "Test a OSS.", false, false, nullptr, nullptr);
    Arg testtss("testtss", "Test a TSS.", false, false, nullptr, nullptr);
    Arg testtssabs("testtssabs", "Test a TSS with Abstraction Layer.", false, false, nullptr,
                   nullptr);
    Arg testtssabsiface("testtssabsiface", "Test a TSS Abstraction Interface.", false, false,
                        nullptr, nullptr);
    Arg testios("testios", "Test a IOS.", false, false, nullptr, nullptr);
    Arg buildjavagold("buildjavagold", "Build a Java Gold file.", false, true, nullptr, nullptr);
    Arg tssgold("tssgold", "TSS Java Gold classpath.", false, true, nullptr, nullptr);
    Arg listcontents("listcontents", "List contents of a classpath.", false, false, nullptr,
                     nullptr);
    Arg general("general", "Use General Profile.", false, false, nullptr, nullptr);
    Arg safetyExt("safetyExt", "Use Safety Extended Profile.", false, false, nullptr, nullptr);
    Arg safetyBase("safetyBase", "Use Safety Base Profile.", false, false, nullptr, nullptr);
    Arg host("host", "Hostname to report results.", false, true, nullptr, nullptr);
    Arg port("port", "TCP port to report results.", false, true, nullptr, nullptr);
    XorArg guiMode({&gui, &nogui}, "GUI Mode", false);
    XorArg commandMode({&testpcs, &testpss, &testoss, &testtss, &testtssabs, &testtssabsiface,
                        &testios, &buildjavagold, &listcontents},
                       "Command Mode", false);
    XorArg profile({&general, &safetyExt, &safetyBase}, "Profile", false);
    ArgHelp help(&p.cmd);
    help.printer()->setProgramDescription("VELM Java Conformance Tester");
    help.printer()->setExecutableName("./velm-jct");
    for (ArgIface* arg : QList<ArgIface*>{&guiMode, &classpath, &frameworkclasspath, &tssgold,
                                          &logdir, &commandMode, &profile, &host, &port, &help})
        p.cmd.addArg(arg);

    EXPECT_EQ(
        helpOutput(p.cmd),
        "VELM Java Conformance Tester\n"
        "\n"
        "USAGE: ./velm-jct [--gu[i] | --n[ogui]] [--c[lasspath] <arg>] "
        "[--f[rameworkclasspath] <arg>] [--ts[sgold] <arg>] [--lo[gdir] <arg>] "
        "[--testpc[s] | --testps[s] | --testo[ss] | --testtss | --testtssabs | "
        "--testtssabsi[face] | --testi[os] | --b[uildjavagold] <arg> | --li[stcontents]] "
        "[--ge[neral] | --safetyE[xt] | --safetyB[ase]] [--ho[st] <arg>] [--p[ort] <arg>] "
        "[-h,--he[lp]] \n"
        "\n"
        "      --gu[i]                        Show the GUI. [Default] (No other options will be "
        "used.)\n"
        "      --n[ogui]                      Do not show the GUI, and execute in command mode.\n"
        "      --c[lasspath] <arg>            Your classpath in command mode. (Required for "
        "testing in command mode.)\n"
        "      --f[rameworkclasspath] <arg>   Framework classpath in command mode. (For testing in "
        "command mode.)\n"
        "      --ts[sgold] <arg>              TSS Java Gold classpath.\n"
        "      --lo[gdir] <arg>               Your log directory in command mode. (Defaults to "
        "current directory.)\n"
        "      --testpc[s]                    Test a PCS.\n"
        "      --testps[s]                    Test a PSS.\n"
        "      --testo[ss]                    Test a OSS.\n"
        "      --testtss                      Test a TSS.\n"
        "      --testtssabs                   Test a TSS with Abstraction Layer.\n"
        "      --testtssabsi[face]            Test a TSS Abstraction Interface.\n"
        "      --testi[os]                    Test a IOS.\n"
        "      --b[uildjavagold] <arg>        Build a Java Gold file.\n"
        "      --li[stcontents]               List contents of a classpath.\n"
        "      --ge[neral]                    Use General Profile.\n"
        "      --safetyE[xt]                  Use Safety Extended Profile.\n"
        "      --safetyB[ase]                 Use Safety Base Profile.\n"
        "      --ho[st] <arg>                 Hostname to report results.\n"
        "      --p[ort] <arg>                 TCP port to report results.\n"
        "  -h, --he[lp]                       Print this help.\n");
}
