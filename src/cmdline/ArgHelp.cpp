#include "ArgHelp.h"

#include "ArgBaseException.h"
#include "ArgDefaultHelpPrinter.h"
#include "CmdLine.h"
#include "CmdLineContext.h"

#include <QTextStream>

#include <cstdio>

ArgHelp::ArgHelp(CmdLine* cmdLine)
    : Arg(QLatin1Char('h'), QStringLiteral("help"), QStringLiteral("Print this help."), false,
          false, nullptr, nullptr),
      m_printer(&ArgDefaultHelpPrinter::instance()), m_cmdLine(cmdLine)
{
}

void ArgHelp::visit(CmdLineContext& context)
{
    // Built afresh, so that a second parse does not count every name twice.
    m_allNames.clear();
    initNames(m_cmdLine->arguments());

    if (!context.hasNext()) {
        m_printer->setDelimiterChar(m_cmdLine->delimiter());
        m_printer->setUsageString(createUsageString());
        m_printer->setHelpString(createHelpString());
        m_printer->print();
        throw ArgHelpHasPrintedEx();
    }

    const QString topic = context.next();
    if (m_cmdLine->isArgument(topic)) {
        printHelp(topic.mid(2));
    } else if (m_cmdLine->isFlag(topic)) {
        const QString flags = topic.mid(1);
        if (flags.isEmpty())
            writeAndEnd(QStringLiteral("Empty flag."));
        // '-xy' asks about one argument only when every flag of the group belongs to it.
        ArgIface* arg = nullptr;
        bool oneArgument = true;
        for (const QChar& flag : flags) {
            ArgIface* answer = nullptr;
            try {
                answer = m_cmdLine->findArgument(flag);
            } catch (const ArgUnknownArgumentEx&) {
            }
            if (!answer || (arg && answer != arg)) {
                oneArgument = false;
                break;
            }
            arg = answer;
        }
        if (!oneArgument)
            writeAndEnd(
                QString("Unknown argument: %1%2").arg(QString(m_cmdLine->delimiter()), flags));
        printHelp(arg);
    } else {
        printHelp(topic);
    }
}

void ArgHelp::printHelp(const QString& name)
{
    if (name.isEmpty())
        writeAndEnd(QStringLiteral("Empty argument name."));
    ArgIface* arg = nullptr;
    try {
        arg = m_cmdLine->findArgument(name);
    } catch (const ArgUnknownArgumentEx&) {
        writeAndEnd(QString("Unknown argument: %1%1%2").arg(QString(m_cmdLine->delimiter()), name));
    }
    printHelp(arg);
}

void ArgHelp::printHelp(ArgIface* arg)
{
    QString usage = arg->getUsageString(m_allNames);
    removeMarkersFromUsageString(usage);
    const QString description =
        arg->longDescription().isEmpty() ? arg->description() : arg->longDescription();
    writeAndEnd("\nUSAGE: " + usage + "\n\nDESCRIPTION: " + description + "\n");
}

void ArgHelp::initNames(const QList<ArgIface*>& args)
{
    for (const ArgIface* arg : args) {
        const QList<ArgIface*>& inner = arg->arguments();
        // A single argument lists only itself; anything else is a group, even of one member,
        // whose members' names must be counted too.
        if (inner.isEmpty() || (inner.size() == 1 && inner.first() == arg))
            m_allNames << arg->names();
        else
            initNames(inner);
    }
}

QString ArgHelp::createUsageString() const
{
    QList<const ArgIface*> required;
    QList<const ArgIface*> optional;
    for (const ArgIface* arg : m_cmdLine->arguments())
        (arg->isRequired() ? required : optional) << arg;

    QString usage;
    for (const ArgIface* arg : required) {
        usage += arg->getUsageString(m_allNames);
        if (required.size() >= 2)
            usage += ' ';
    }
    if (!usage.isEmpty())
        usage += ' ';
    for (const ArgIface* arg : optional) {
        usage += "[" + arg->getUsageString(m_allNames) + "]";
        if (optional.size() >= 2)
            usage += ' ';
    }
    return usage;
}

QString ArgHelp::createHelpString() const
{
    QString help;
    for (const ArgIface* arg : m_cmdLine->arguments()) {
        if (arg->isRequired())
            help += arg->getHelpString(m_allNames);
    }
    for (const ArgIface* arg : m_cmdLine->arguments()) {
        if (!arg->isRequired())
            help += arg->getHelpString(m_allNames);
    }
    return help;
}

void ArgHelp::removeMarkersFromUsageString(QString& text) const
{
    const QString delimiter(m_cmdLine->delimiter());
    text.remove(ArgHelpPrinterIface::beforeFlags)
        .remove(ArgHelpPrinterIface::beforeNames)
        .remove(ArgHelpPrinterIface::beforeDescription)
        .remove(ArgHelpPrinterIface::newLine)
        .replace(ArgHelpPrinterIface::afterFlags, QStringLiteral(", "))
        .replace(ArgHelpPrinterIface::namesSeparator, QStringLiteral(", "))
        .replace(ArgHelpPrinterIface::flagMarker, delimiter)
        .replace(ArgHelpPrinterIface::nameMarker, delimiter + delimiter)
        .replace(ArgHelpPrinterIface::argValue, QStringLiteral(" <arg>"));
}

void ArgHelp::writeAndEnd(const QString& text)
{
    QTextStream out(stdout);
    out << text;
    // The caller usually exits right after help; nothing may stay in a buffer.
    out.flush();
    std::fflush(stdout);
    throw ArgHelpHasPrintedEx();
}
