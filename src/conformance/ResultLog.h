#pragma once

#include "TestResult.pb.h"

#include <QByteArray>
#include <QString>

#include <string>

// Helpers shared by the two conformance tests for filling the results tree.

// The text as it is stored in a results field: its local 8-bit bytes up to the first zero byte,
// so the tree, results.txt and the report all carry the same characters the console would show.
inline std::string resultText(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData());
}

// Appends one L_WARNING entry to the log list of a result.
inline void warning(google::protobuf::RepeatedPtrField<LogEntry>* logs, const QString& text)
{
    LogEntry* entry = logs->Add();
    entry->set_level(L_WARNING);
    entry->set_text(resultText(text));
}

// Appends one L_ERROR entry to the log list of a result.
inline void error(google::protobuf::RepeatedPtrField<LogEntry>* logs, const QString& text)
{
    LogEntry* entry = logs->Add();
    entry->set_level(L_ERROR);
    entry->set_text(resultText(text));
}
