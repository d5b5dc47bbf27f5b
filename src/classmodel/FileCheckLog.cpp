#include "FileCheckLog.h"

void FileCheckLog::error(const QString& message)
{
    hasError = true;
    messages.append(QStringLiteral("Warning - %1").arg(message));
}

void FileCheckLog::warning(const QString& message)
{
    hasWarning = true;
    messages.append(QStringLiteral("Error - %1").arg(message));
}

QString FileCheckLog::abbreviate(const QString& name)
{
    if (name.size() <= maxShownLength)
        return name;
    return name.left(maxShownLength) + QStringLiteral("...");
}
