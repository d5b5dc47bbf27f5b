#include "CmdLineContext.h"

const QString CmdLineContext::m_null;

CmdLineContext::CmdLineContext(const QStringList& strings) : m_strings(strings), m_current(0) {}

bool CmdLineContext::hasNext() const
{
    return m_current < m_strings.size();
}

const QString& CmdLineContext::peek() const
{
    return hasNext() ? m_strings.at(m_current) : m_null;
}

QString CmdLineContext::next()
{
    if (!hasNext())
        return m_null;
    return m_strings.at(m_current++);
}

void CmdLineContext::insertNext(const QString& s)
{
    m_strings.insert(m_current, s);
}
