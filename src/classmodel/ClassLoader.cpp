#include "ClassLoader.h"

#include "Class.h"

ClassLoader::~ClassLoader()
{
    for (Class* cls : qAsConst(cache))
        delete cls;
}

void ClassLoader::loadAllClasses() {}

QMap<QString, Class*> ClassLoader::getAllClasses() const
{
    return cache;
}

Class* ClassLoader::loadClass(const QString& name)
{
    const auto cached = cache.constFind(name);
    if (cached != cache.constEnd())
        return cached.value();
    Class* cls = defineClass(name);
    if (cls)
        cache.insert(name, cls);
    return cls;
}
