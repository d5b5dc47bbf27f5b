#ifndef RUTIL_H
#define RUTIL_H

#include <QString>

class TestResultGroup;

// The results text file: the tree as indented text, a group's own results before its subgroups,
// scores as "PASS", "FAIL" or "UNKNOWN" and entries as "WARNING" or "ERROR".
namespace RUtil {

// Writes `group` to the file at `path`, replacing what was there only once the new text is
// written whole. A file that cannot be opened or written is logged at ERROR, left alone, and the
// result is false.
bool writeResultsFile(const QString& path, const TestResultGroup& group);

} // namespace RUtil

// Removes the results file of an earlier run from the log directory of Options::opts, so that a
// results file that is there belongs to the run that is going on or has ended last. Called when a
// test run starts.
void discardResults();

// Stores the tree of a finished test run: results.txt in the log directory of Options::opts and,
// when its report port is not 0, one frame to the collecting server at its report host: the
// payload's length as a big-endian signed 32-bit number, then the serialised tree. Nothing is
// read back. Connecting and disconnecting each wait at most 5 seconds, writing at most 5 seconds
// for each part of the frame to go; a frame not written whole is logged at ERROR as every other
// failure is, which ends nothing but the report. Blocks the calling thread; needs no event loop.
// Returns whether results.txt was written; a report that failed does not count.
bool store(const TestResultGroup& root);

#endif
