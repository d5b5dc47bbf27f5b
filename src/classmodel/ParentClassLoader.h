#pragma once

#include "ClassLoader.h"

#include <QList>

// The loader of a whole classpath: consults one child loader per source, in classpath order.
//
// The parent owns every child of both lists. Classes it defines come from the first child that
// has them and are cached and owned by the parent itself; the children's own caches are neither
// consulted nor filled, so a class obtained here is a different object from the one a child
// holds after its own loadAllClasses().
class ParentClassLoader : public ClassLoader
{
public:
    ParentClassLoader() = default;
    // Deletes the children of `loaders`, then those of `idleLoaders`, then (as a ClassLoader) the
    // parent's own cached classes.
    ~ParentClassLoader() override;

    // Runs loadAllClasses() of every consulted child, in order; the parent's cache is not filled.
    void loadAllClasses() override;
    // Every consulted child's classes, merged: a name that several children hold occurs once per
    // child, the later child's entry first, so value() of that name gives the later child's
    // class. The parent's own cache is not part of it.
    QMap<QString, Class*> getAllClasses() const override;
    // The first non-null defineClass() result of the consulted children, in order.
    Class* defineClass(const QString& name) override;

    // The consulted children, in classpath order.
    QList<ClassLoader*> loaders;
    // Children kept only to be deleted (directory loaders that found no class file); never
    // consulted.
    QList<ClassLoader*> idleLoaders;
};
