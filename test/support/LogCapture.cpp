#include "LogCapture.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <stdexcept>

void ensureApp()
{
    static int argc = 1;
    static char name[] = "velm_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

void ensureLogger()
{
    ensureApp();
    static QTemporaryDir logDir;
    Logger::init(logDir.path());
}

void PrintTo(const LogLine& line, std::ostream* os)
{
    *os << "level " << int(line.level) << ' ';
    PrintTo(line.text, os);
}

bool operator==(const QList<LogLine>& lines, const QList<QPair<int, QString>>& pairs)
{
    if (lines.size() != pairs.size())
        return false;
    for (int i = 0; i < lines.size(); ++i) {
        if (int(lines[i].level) != pairs[i].first || lines[i].text != pairs[i].second)
            return false;
    }
    return true;
}

bool operator==(const QList<QPair<int, QString>>& pairs, const QList<LogLine>& lines)
{
    return lines == pairs;
}

LogCapture::LogCapture()
{
    ensureLogger();
    // The context lives in this thread: lines logged here arrive at once, lines logged in other
    // threads are queued here.
    QObject::connect(Logger::logger, &Logger::log, &context,
                     [this](Logger::Level level, const QString& text) {
                         lines.append({level, text});
                         if (!throwText.isNull() && text == throwText) {
                             throwText = QString();
                             throw std::runtime_error(throwMessage);
                         }
                     });
}

LogCapture::~LogCapture() = default;

QStringList LogCapture::at(Logger::Level level) const
{
    QStringList result;
    for (const LogLine& line : lines) {
        if (line.level == level)
            result.append(line.text);
    }
    return result;
}

QStringList LogCapture::texts() const
{
    QStringList result;
    for (const LogLine& line : lines)
        result.append(line.text);
    return result;
}

QStringList LogCapture::startingWith(const QString& prefix) const
{
    QStringList result;
    for (const LogLine& line : lines) {
        if (line.text.startsWith(prefix))
            result.append(line.text);
    }
    return result;
}

QStringList LogCapture::progress() const
{
    return texts().filter(QRegularExpression(QStringLiteral("^Test [0-9]+% ")));
}

void LogCapture::throwOn(const QString& text, const std::string& message)
{
    throwText = text;
    throwMessage = message;
}
