#include "Options.h"

#include "Arg.h"
#include "ArgBaseException.h"
#include "ArgHelp.h"
#include "ArgHelpPrinterIface.h"
#include "CmdLine.h"
#include "XorArg.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const QByteArray& text)
{
    std::fputs(text.constData(), stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    std::exit(1);
}

void validate(const Options& o)
{
    const bool hasProfile = o.profile >= 1 && o.profile <= 3;
    const bool hasClasspath = !o.classpath.entries.isEmpty();
    switch (o.command) {
    case 3:
    case 6:
    case 7:
        if (!hasProfile)
            fail("Unknown profile.");
        if (!hasClasspath)
            fail("A classpath is required for test command mode.");
        break;
    case 1:
    case 2:
    case 4:
    case 5:
        if (!hasProfile)
            fail("Unknown profile.");
        if (!hasClasspath)
            fail("A classpath is required for test command mode.");
        if (o.tssGold.isNull())
            fail("A TSS Java Gold classpath is required for PCS, PSS, and TSS test modes.");
        break;
    case 8:
    case 9:
        if (!hasClasspath)
            fail("A classpath is required.");
        break;
    default:
        fail("Unknown command.");
    }
}

} // namespace

Options* Options::opts = new Options;

void Options::set(int argc, char** argv)
{
    try {
        parse(argc, argv);
    } catch (const ArgHelpHasPrintedEx&) {
        std::exit(1);
    } catch (const ArgBaseException& e) {
        fail(e.what());
    }
    if (!this->gui)
        validate(*this);
}

void Options::parse(int argc, char** argv)
{
    {
        CmdLine cmdLine(argc, argv);

        Arg gui("gui", "Show the GUI. [Default] (No other options will be used.)", false, false,
                nullptr, nullptr);
        Arg nogui("nogui", "Do not show the GUI, and execute in command mode.", false, false,
                  nullptr, nullptr);
        Arg classpathArg("classpath",
                         "Your classpath in command mode. (Required for testing in command mode.)",
                         false, true, nullptr, nullptr);
        Arg frameworkArg("frameworkclasspath",
                         "Framework classpath in command mode. (For testing in command mode.)",
                         false, true, nullptr, nullptr);
        Arg logdirArg("logdir",
                      "Your log directory in command mode. (Defaults to current directory.)", false,
                      true, nullptr, nullptr);
        Arg testpcs("testpcs", "Test a PCS.", false, false, nullptr, nullptr);
        Arg testpss("testpss", "Test a PSS.", false, false, nullptr, nullptr);
        Arg testoss("testoss", "Test a OSS.", false, false, nullptr, nullptr);
        Arg testtss("testtss", "Test a TSS.", false, false, nullptr, nullptr);
        Arg testtssabs("testtssabs", "Test a TSS with Abstraction Layer.", false, false, nullptr,
                       nullptr);
        Arg testtssabsiface("testtssabsiface", "Test a TSS Abstraction Interface.", false, false,
                            nullptr, nullptr);
        Arg testios("testios", "Test a IOS.", false, false, nullptr, nullptr);
        Arg buildjavagold("buildjavagold", "Build a Java Gold file.", false, true, nullptr,
                          nullptr);
        Arg tssgoldArg("tssgold", "TSS Java Gold classpath.", false, true, nullptr, nullptr);
        Arg listcontents("listcontents", "List contents of a classpath.", false, false, nullptr,
                         nullptr);
        Arg general("general", "Use General Profile.", false, false, nullptr, nullptr);
        Arg safetyExt("safetyExt", "Use Safety Extended Profile.", false, false, nullptr, nullptr);
        Arg safetyBase("safetyBase", "Use Safety Base Profile.", false, false, nullptr, nullptr);
        Arg hostArg("host", "Hostname to report results.", false, true, nullptr, nullptr);
        Arg portArg("port", "TCP port to report results.", false, true, nullptr, nullptr);

        XorArg guiMode(QList<ArgIface*>() << &gui << &nogui, "GUI Mode", false);
        XorArg commandMode(QList<ArgIface*>()
                               << &testpcs << &testpss << &testoss << &testtss << &testtssabs
                               << &testtssabsiface << &testios << &buildjavagold << &listcontents,
                           "Command Mode", false);
        XorArg profileArg(QList<ArgIface*>() << &general << &safetyExt << &safetyBase, "Profile",
                          false);
        ArgHelp help(&cmdLine);

        help.printer()->setProgramDescription("VELM Java Conformance Tester");
        help.printer()->setExecutableName(QString::fromLocal8Bit(argc > 0 ? argv[0] : ""));

        cmdLine.addArg(guiMode);
        cmdLine.addArg(classpathArg);
        cmdLine.addArg(frameworkArg);
        cmdLine.addArg(tssgoldArg);
        cmdLine.addArg(logdirArg);
        cmdLine.addArg(commandMode);
        cmdLine.addArg(profileArg);
        cmdLine.addArg(hostArg);
        cmdLine.addArg(portArg);
        cmdLine.addArg(help);

        cmdLine.parse(false);

        this->gui = !nogui.value().toBool();
        classpath = Classpath();
        if (classpathArg.isPresent())
            classpath.append(classpathArg.value().toString());
        frameworkClasspath = Classpath();
        if (frameworkArg.isPresent())
            frameworkClasspath.append(frameworkArg.value().toString());
        // An empty directory would put log.txt and results.txt in the filesystem root once
        // "/log.txt" is appended; it means the current directory, as no option does.
        logDir = logdirArg.isPresent() ? logdirArg.value().toString() : QString();
        if (logDir.isEmpty())
            logDir = ".";
        goldFile = buildjavagold.value().toString();
        tssGold = tssgoldArg.isPresent() ? tssgoldArg.value().toString() : QString();
        host = hostArg.isPresent() ? hostArg.value().toString() : defaultHost();
        port = 0;
        if (portArg.isPresent()) {
            // Text that is no number would otherwise read as port 0, so that the report would
            // quietly not be sent.
            const QString text = portArg.value().toString();
            bool decimal = false;
            port = text.toInt(&decimal, 10);
            if (!decimal)
                throw ArgContraintNotObservedEx(
                    QString("The port %1 is not a decimal number.").arg(text));
        }

        const Arg* commands[] = {&testpcs,    &testpss,         &testoss, &testtss,
                                 &testtssabs, &testtssabsiface, &testios};
        for (int i = 0; i < 7; ++i) {
            if (commands[i]->isPresent())
                command = i + 1;
        }
        if (general.isPresent())
            profile = 1;
        if (safetyExt.isPresent())
            profile = 2;
        if (safetyBase.isPresent())
            profile = 3;
        if (buildjavagold.isPresent())
            command = 8;
        if (listcontents.isPresent())
            command = 9;
    }
}
