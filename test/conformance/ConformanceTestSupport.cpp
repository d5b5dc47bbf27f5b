#include "ConformanceTestSupport.h"

#include "JavaTypes.pb.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <stdexcept>

void ensureLogger()
{
    static QTemporaryDir logDir;
    Logger::init(logDir.path());
}

namespace {

QString text(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.c_str());
}

QString scoreText(const TestResult& result)
{
    if (!result.has_score())
        return "UNSET";
    switch (result.score()) {
    case R_PASS:
        return "PASS";
    case R_FAIL:
        return "FAIL";
    case R_INSPECT:
        return "INSPECT";
    }
    return "INVALID";
}

QString levelText(const LogEntry& entry)
{
    if (!entry.has_level())
        return "UNSET";
    return entry.level() == L_ERROR ? "ERROR" : "WARNING";
}

void render(const TestResultGroup& group, int depth, QString& out)
{
    const QString indent(2 * depth, ' ');
    out += indent + text(group.name()) + '\n';
    for (const TestResult& result : group.results()) {
        out += QStringLiteral("%1  [%2] %3 | %4\n")
                   .arg(indent, scoreText(result), text(result.name()), text(result.description()));
        for (const LogEntry& entry : result.logs())
            out +=
                QStringLiteral("%1    %2: %3\n").arg(indent, levelText(entry), text(entry.text()));
    }
    for (const TestResultGroup& subgroup : group.subgroup())
        render(subgroup, depth + 1, out);
}

} // namespace

QString renderTree(const TestResultGroup& group)
{
    QString out;
    render(group, 0, out);
    return out;
}

LogCapture::LogCapture()
{
    ensureLogger();
    connection = QObject::connect(Logger::logger, &Logger::log,
                                  [this](Logger::Level level, const QString& line) {
                                      lines.append(qMakePair(int(level), line));
                                      if (!throwText.isNull() && line == throwText) {
                                          throwText = QString();
                                          throw std::runtime_error(throwMessage);
                                      }
                                  });
}

LogCapture::~LogCapture()
{
    QObject::disconnect(connection);
}

QStringList LogCapture::at(Logger::Level level) const
{
    QStringList result;
    for (const auto& line : lines) {
        if (line.first == level)
            result.append(line.second);
    }
    return result;
}

QStringList LogCapture::texts() const
{
    QStringList result;
    for (const auto& line : lines)
        result.append(line.second);
    return result;
}

QStringList LogCapture::startingWith(const QString& prefix) const
{
    return texts().filter(QRegExp("^" + QRegExp::escape(prefix)));
}

QStringList LogCapture::progress() const
{
    return texts().filter(QRegExp("^Test [0-9]+% "));
}

void LogCapture::throwOn(const QString& text, const std::string& message)
{
    throwText = text;
    throwMessage = message;
}

void copyTree(const QString& from, const QString& to)
{
    QDir source(from);
    ASSERT_TRUE(source.exists()) << from.toStdString();
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = to + '/' + source.relativeFilePath(path);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(target).path()));
        ASSERT_TRUE(QFile::copy(path, target)) << target.toStdString();
    }
}

void setMajorVersion(const QString& classFile, quint16 version)
{
    QFile file(classFile);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << classFile.toStdString();
    // magic (4 bytes) and minor version (2 bytes) come first; the major version is big-endian.
    ASSERT_TRUE(file.seek(6));
    const char bytes[2] = {char(version >> 8), char(version & 0xff)};
    ASSERT_EQ(file.write(bytes, 2), 2);
}

void writeGold(const JClasses& classes, const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const std::string bytes = classes.SerializeAsString();
    ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
}
