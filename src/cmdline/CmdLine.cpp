#include "CmdLine.h"

#include "ArgBaseException.h"
#include "ArgIface.h"

namespace {

QStringList programArguments(int argc, char** argv)
{
    QStringList strings;
    for (int i = 1; i < argc; ++i)
        strings << (argv[i] ? QString::fromLocal8Bit(argv[i]) : QString());
    return strings;
}

} // namespace

CmdLine::CmdLine(int argc, char** argv)
    : m_context(programArguments(argc, argv)), m_delimiter(QLatin1Char('-'))
{
}

const QList<ArgIface*>& CmdLine::arguments() const
{
    return m_args;
}

const QChar& CmdLine::delimiter() const
{
    return m_delimiter;
}

void CmdLine::setDelimiter(const QChar& delimiter)
{
    m_delimiter = delimiter;
}

void CmdLine::addArg(ArgIface& arg)
{
    addArg(&arg);
}

void CmdLine::addArg(ArgIface* arg)
{
    // A null entry could only crash later lookups; there is nothing to register.
    if (!arg || m_args.contains(arg))
        return;
    m_args << arg;
    checkArgumentsCorrectness();
}

bool CmdLine::isArgument(const QString& s) const
{
    // Formed from the current delimiter, so that it follows setDelimiter.
    return s.startsWith(QString(2, m_delimiter));
}

bool CmdLine::isFlag(const QString& s) const
{
    return !isArgument(s) && s.startsWith(m_delimiter);
}

void CmdLine::checkArgumentsCorrectness() const
{
    QList<QChar> usedFlags;
    QStringList usedNames;
    for (const ArgIface* arg : m_args)
        arg->check(m_delimiter, usedFlags, usedNames);
}

void CmdLine::checkMandatoryArguments() const
{
    for (const ArgIface* arg : m_args)
        arg->check();
}

ArgIface* CmdLine::findArgument(const QChar& flag)
{
    for (ArgIface* arg : m_args) {
        if (ArgIface* answer = arg->giveArgument(flag))
            return answer;
    }
    throw ArgUnknownArgumentEx(
        QString("Unknown argument: %1%2").arg(QString(m_delimiter), QString(flag)));
}

ArgIface* CmdLine::findArgument(const QString& text)
{
    // An exact name wins wherever it stands in the table; otherwise exactly one argument may have
    // a name starting with text.
    ArgIface* partial = nullptr;
    bool ambiguous = false;
    for (ArgIface* arg : m_args) {
        ArgIface* answer = arg->giveArgument(text);
        if (!answer)
            continue;
        if (answer->names().contains(text))
            return answer;
        if (partial)
            ambiguous = true;
        else
            partial = answer;
    }
    if (!partial || ambiguous)
        throw ArgUnknownArgumentEx(
            QString("Unknown argument: %1%1%2").arg(QString(m_delimiter), text));
    return partial;
}

void CmdLine::parse(bool skipDoubleDelimiter)
{
    checkArgumentsCorrectness();
    // The last option met, named in the message about a stray value.
    QString lastName;

    while (m_context.hasNext()) {
        const QString s = m_context.next();
        const int equals = s.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? s : s.left(equals);
        QString bareName = name;
        for (int i = 0; i < 2 && bareName.startsWith(m_delimiter); ++i)
            bareName.remove(0, 1);
        // The value part is read next as if it were a string of its own; it is always shorter
        // than s, so repeated '=' cannot keep the walk going for ever.
        if (equals >= 0)
            m_context.insertNext(s.mid(equals + 1));

        if (isArgument(s)) {
            if (bareName.isEmpty()) {
                if (skipDoubleDelimiter)
                    continue;
                return;
            }
            ArgIface* arg = findArgument(bareName);
            lastName = name;
            arg->process(m_context);
            arg->visit(m_context);
            arg->checkConstraint();
            continue;
        }

        if (!s.startsWith(m_delimiter))
            throw ArgUnexpectedOptionEx(
                QString("Unexpected option: %1. Argument \"%2\" doesn't expect any values.")
                    .arg(name, lastName));

        // A group of flags; a lone delimiter has none and is ignored.
        for (int i = 0; i < bareName.size(); ++i) {
            const QChar flag = bareName.at(i);
            ArgIface* arg = findArgument(flag);
            lastName = QString(m_delimiter) + flag;
            if (i == bareName.size() - 1) {
                arg->process(m_context);
            } else {
                // The rest of the group is offered as the value: '-ofile' gives o the value 'file'.
                CmdLineContext rest(QStringList() << bareName.mid(i + 1));
                if (arg->process(rest)) {
                    arg->visit(m_context);
                    arg->checkConstraint();
                    break;
                }
            }
            arg->visit(m_context);
            arg->checkConstraint();
        }
    }

    checkMandatoryArguments();
}
