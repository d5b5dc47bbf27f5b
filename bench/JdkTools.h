#pragma once

#include <QString>
#include <QStringList>

// The JDK tools that the benchmarks make their inputs with, when they are not given them.
class JdkTools
{
public:
    // The running JDK's home: JAVA_HOME when it is set, else where javac really lies, two
    // levels up.
    static QString javaHome();

    // Runs `program` with its output shown and waits for it (ten minutes at the most); false,
    // with a line on standard error, when it cannot be run or does not end well.
    static bool run(const QString& program, const QStringList& arguments);

    // Extracts the java.base module from the running JDK's module image into `directory`;
    // returns the class directory of the module, or the null text when jimage fails.
    static QString extractJavaBase(const QString& directory);
};
