#ifndef TEST_CMDLINE_COMMANDLINE_H
#define TEST_CMDLINE_COMMANDLINE_H

#include <QByteArray>
#include <QStringList>

#include <vector>

// An argc/argv pair as main receives it, with a program name in front of the given strings.
class CommandLine
{
public:
    explicit CommandLine(const QStringList& strings)
    {
        m_bytes.push_back("prog");
        for (const QString& s : strings)
            m_bytes.push_back(s.toLocal8Bit());
        for (QByteArray& bytes : m_bytes)
            m_argv.push_back(bytes.data());
        m_argv.push_back(nullptr);
    }

    int argc() const { return int(m_bytes.size()); }
    char** argv() { return m_argv.data(); }

private:
    std::vector<QByteArray> m_bytes;
    std::vector<char*> m_argv;
};

#endif // TEST_CMDLINE_COMMANDLINE_H
