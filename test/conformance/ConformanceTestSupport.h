#pragma once

#include "LogCapture.h"
#include "QStringPrinter.h"
#include "TestFiles.h"
#include "TestResult.pb.h"

#include <QString>

class JClasses;

// The whole results tree as indented text, one line per group, result and entry:
//   group name
//     [SCORE] result name | description
//       LEVEL: entry text
// A group's results come before its subgroups. A score or level that was never set shows as
// UNSET, so a check that forgot to score itself is visible.
QString renderTree(const TestResultGroup& group);

// Writes a gold file made through the generated message classes.
void writeGold(const JClasses& classes, const QString& path);
