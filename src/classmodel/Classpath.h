#ifndef CLASSPATH_H
#define CLASSPATH_H

#include <QString>
#include <QStringList>

// The ordered places classes are loaded from: directories, JAR archives and gold files.
class Classpath
{
public:
    // Adds the non-empty parts of a colon-separated text, in order. Nothing else is checked:
    // duplicates and paths that do not exist stay.
    void append(const QString& text);

    // The entries joined with ':'; the null text when there are none.
    QString toString() const;

    QStringList entries;
};

#endif
