#ifndef TESTS_H
#define TESTS_H

#include <QString>

class Classpath;

// The segment test runs. Each knows the standard gold files of its segment, read from fixed
// paths under data/ in the working directory: it builds the list of what the code under test must
// implement and of what it may use, runs the test, and stores the results (results.txt and, when
// a report port is set, the TCP report). Under the general profile the J2EE gold file comes first
// in the list that holds the J2SE one.
//
// `classpath` is the code under test; `tssGold` is the TSS gold option's text, split on ':';
// `frameworkClasspath` is further code that the code under test may use. Each returns the exit
// status of a console run: 1 when the test was interrupted by an exception or results.txt could
// not be written (both logged at ERROR), else 0, whatever the verdicts. A missing gold file is
// reported by its loader and contributes no classes.
namespace Tests {

int oss(const Classpath& classpath);
int ios(const Classpath& classpath, const Classpath& frameworkClasspath);
int tssabsiface(const Classpath& classpath, const Classpath& frameworkClasspath);
int tssabs(const Classpath& classpath, const QString& tssGold, const Classpath& frameworkClasspath);
int tss(const Classpath& classpath, const QString& tssGold, const Classpath& frameworkClasspath);
int pcs(const Classpath& classpath, const QString& tssGold, const Classpath& frameworkClasspath);
int pss(const Classpath& classpath, const QString& tssGold, const Classpath& frameworkClasspath);

} // namespace Tests

#endif
