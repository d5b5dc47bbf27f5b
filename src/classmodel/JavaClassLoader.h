#pragma once

#include "ClassLoader.h"

#include <QByteArray>

// The base of the loaders that read class files: a subclass supplies the bytes of a class file
// (readClassData), this class parses them, rejects files with structural errors and makes the
// views.
class JavaClassLoader : public ClassLoader
{
public:
    // The largest class file that is read, from a directory or an archive. Real class files
    // stay far below it; the limit keeps a hostile size from sizing an allocation.
    static const qint64 maxClassFileSize = 64 * 1024 * 1024;

    JavaClassLoader() = default;
    ~JavaClassLoader() override;

    // A new JavaClass over the parsed bytes of `name`, or null when the source has no bytes for
    // it or the file has errors; each message of a rejected file is logged at WARN.
    Class* defineClass(const QString& name) override;

    // The bytes of the class file of `name`; empty when the source does not have it. Called only
    // by defineClass. This version has nothing.
    virtual QByteArray readClassData(const QString& name);
};
