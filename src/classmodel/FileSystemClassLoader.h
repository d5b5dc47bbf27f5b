#pragma once

#include "JavaClassLoader.h"

#include <QDir>
#include <QList>

#include <functional>

class JarFileClassLoader;
class QFileInfo;

// The class loader of one directory tree of class files laid out by package
// (java/lang/Object.class for Ljava/lang/Object;).
//
// Construction walks the whole tree once: it counts the class files and makes one
// JarFileClassLoader for every archive met, which the loader factory takes over. This loader
// never reads inside the archives and does not own their loaders.
//
// The walk is depth-first, takes the entries of each directory in name order ignoring case
// (directories and files mixed), skips hidden entries, follows symbolic links to directories and
// enters each directory (by canonical path) once, so links that form a cycle cannot make it
// loop. The order does not depend on the file system: it decides which of two archives in one
// directory is consulted first, and the order in which classes are defined and logged.
class FileSystemClassLoader : public JavaClassLoader
{
public:
    explicit FileSystemClassLoader(const QDir& directory);
    // Destroys the list of archive loaders but not the loaders themselves.
    ~FileSystemClassLoader() override;

    // Defines every file of the tree whose complete suffix is "class", walking the tree anew;
    // the files are read and parsed on all cores, and defined and logged in walk order.
    void loadAllClasses() override;
    // The bytes of the class file of `name` under the directory, or empty (with a DEBUG line
    // saying why, except for an empty file; a WARN line naming a file that cannot be opened).
    QByteArray readClassData(const QString& name) override;
    // Reads the files as readClassData does; each read touches only the file system.
    Read concurrentRead() override;

    QDir directory;
    // The files whose last suffix is "class" that construction found.
    int classFileCount = 0;
    // One loader per archive that construction found, in walk order; not owned.
    QList<JarFileClassLoader*> jarLoaders;

private:
    // What the walk does at each file that is no directory.
    using FileAction = std::function<void(const QString& relativePath, const QFileInfo& file)>;

    // With `sayUnlisted` set, each directory that cannot be listed is said at WARN.
    void walk(const FileAction& atFile, bool sayUnlisted = false) const;
    void createJarFileReaders();
    void createJarFileReaders(const QString& relativePath, const QFileInfo& file);
    void loadAllClasses(const QString& relativePath, const QFileInfo& file);
    // What readClassData gives for `name` under the directory, with its line held back;
    // touches nothing but the file system, so several threads may call it at once.
    static ClassData readClassFile(const QString& directoryPath, const QString& name);
};
