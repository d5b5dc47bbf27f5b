#include "ParentClassLoader.h"

#include <QMultiMap>

ParentClassLoader::~ParentClassLoader()
{
    for (ClassLoader* loader : qAsConst(loaders))
        delete loader;
    for (ClassLoader* loader : qAsConst(idleLoaders))
        delete loader;
}

void ParentClassLoader::loadAllClasses()
{
    for (ClassLoader* loader : qAsConst(loaders))
        loader->loadAllClasses();
}

QMap<QString, Class*> ParentClassLoader::getAllClasses() const
{
    // A multi-map insert puts the new entry in front of the entries of an equal key. Walking
    // each child's map backwards and the children forwards therefore leaves the later child's
    // entry first among equal keys, which is what lookups by name then return.
    QMultiMap<QString, Class*> merged;
    for (const ClassLoader* loader : qAsConst(loaders)) {
        const QMap<QString, Class*> classes = loader->getAllClasses();
        auto it = classes.constEnd();
        while (it != classes.constBegin()) {
            --it;
            merged.insert(it.key(), it.value());
        }
    }
    return merged;
}

Class* ParentClassLoader::defineClass(const QString& name)
{
    for (ClassLoader* loader : qAsConst(loaders)) {
        if (Class* cls = loader->defineClass(name))
            return cls;
    }
    return nullptr;
}
