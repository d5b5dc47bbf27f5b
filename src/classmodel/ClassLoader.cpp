#include "ClassLoader.h"

#include "Class.h"

ClassLoader::~ClassLoader()
{
    for (Class* cls : qAsConst(cache))
        delete cls;
}

void ClassLoader::loadAllClasses() {}

void ClassLoader::prefetchClasses(const QStringList&) {}

QMap<QString, Class*> ClassLoader::getAllClasses() const
{
    QMap<QString, Class*> classes;
    for (auto it = cache.cbegin(); it != cache.cend(); ++it)
        classes.insert(it.key(), it.value());
    return classes;
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
