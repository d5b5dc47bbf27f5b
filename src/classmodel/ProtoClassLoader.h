#pragma once

#include "ClassLoader.h"

#include <QHash>
#include <QString>

class JClasses;

// The class loader of one gold file on a classpath. The file is read whole when the loader is
// constructed; later changes to it are not seen. A file that cannot be read has been logged by
// ProtoIO::read and leaves the loader without classes; a file that reads but holds no class is
// used with a WARN.
//
// Every ProtoClass it defines reads from a message inside `goldClasses`, which lives as long as
// the loader. Names are looked up through an index built once, so defining all classes of a file
// costs one pass; a name stored more than once resolves to its first occurrence.
class ProtoClassLoader : public ClassLoader
{
public:
    explicit ProtoClassLoader(const QString& fileName);
    // Deletes `goldClasses`, then (as a ClassLoader) the classes defined from it, which read
    // nothing from their messages while they are destroyed.
    ~ProtoClassLoader() override;

    // Defines every class of the file, in stored order.
    void loadAllClasses() override;
    // A new ProtoClass over the first message whose name is exactly `name` (case-sensitive,
    // whole text); null when there is none. Logs nothing.
    Class* defineClass(const QString& name) override;

private:
    // The file's content; null when the file could not be read.
    JClasses* goldClasses;
    // Name text to the position of its first message in `goldClasses`.
    QHash<QString, int> firstByName;
};
