#include "ConformanceTestSupport.h"

#include "JavaTypes.pb.h"

#include <gtest/gtest.h>

#include <QFile>

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

void writeGold(const JClasses& classes, const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const std::string bytes = classes.SerializeAsString();
    ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
}
