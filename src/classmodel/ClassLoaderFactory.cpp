#include "ClassLoader.h"

#include "Classpath.h"
#include "FileSystemClassLoader.h"
#include "JarFileClassLoader.h"
#include "Logger.h"
#include "ParentClassLoader.h"
#include "ProtoClassLoader.h"

#include <QDir>
#include <QFileInfo>

// Only the directory test and the suffix decide: whether a file exists or can be read is left to
// the loader made for it, which reports its own failure.
ClassLoader* ClassLoader::create(const Classpath& classpath)
{
    emit Logger::logger->log(Logger::L_DEBUG,
                             QString("Processing classpath: %1").arg(classpath.toString()));
    ParentClassLoader* parent = new ParentClassLoader();
    for (const QString& entry : classpath.entries) {
        const QFileInfo info(entry);
        if (info.isDir()) {
            emit Logger::logger->log(
                Logger::L_DEBUG,
                QString("Treating %1 as a directory of .class and/or .jar files").arg(entry));
            FileSystemClassLoader* directory = new FileSystemClassLoader(QDir(info.filePath()));
            // A directory that holds only archives is kept, unconsulted, just to be deleted.
            if (directory->classFileCount < 1)
                parent->idleLoaders.append(directory);
            else
                parent->loaders.append(directory);
            for (JarFileClassLoader* archive : directory->jarLoaders)
                parent->loaders.append(archive);
        } else if (info.suffix() == "jar") {
            emit Logger::logger->log(Logger::L_DEBUG,
                                     QString("Treating %1 as a jar file").arg(entry));
            parent->loaders.append(new JarFileClassLoader(info.filePath()));
        } else if (info.suffix() == "javagold") {
            emit Logger::logger->log(Logger::L_DEBUG,
                                     QString("Treating %1 as a binary javagold file").arg(entry));
            parent->loaders.append(new ProtoClassLoader(info.filePath()));
        } else {
            emit Logger::logger->log(
                Logger::L_WARN,
                QString("Could not create class loader for classpath entry %1").arg(entry));
        }
    }
    return parent;
}
