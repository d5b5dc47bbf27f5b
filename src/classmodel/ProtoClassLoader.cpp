#include "ProtoClassLoader.h"

#include "JavaTypes.pb.h"
#include "Logger.h"
#include "ProtoClass.h"
#include "ProtoIO.h"

#include <QFileInfo>

#include <exception>

ProtoClassLoader::ProtoClassLoader(const QString& fileName) : goldClasses(nullptr)
{
    // A FIFO or device named like a gold file would block the open until some writer comes, or
    // never end: it is refused as a file that cannot be opened.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        emit Logger::logger->log(Logger::L_ERROR,
                                 QString("Could not open file %1 for reading").arg(fileName));
        return;
    }
    try {
        ProtoIO::read(goldClasses, fileName);
    } catch (const std::exception&) {
        // ProtoIO::read has logged why; an unreadable gold file just contributes no classes.
        return;
    }
    // Such a file is most likely a mistake (an empty or cut copy); used silently, every test
    // against it would check nothing and pass.
    if (goldClasses->classes_size() == 0)
        emit Logger::logger->log(Logger::L_WARN,
                                 QString("Gold file %1 holds no classes").arg(fileName));
    for (int i = 0; i < goldClasses->classes_size(); ++i) {
        const QString name = ProtoClass::text(goldClasses->classes(i).name());
        if (!firstByName.contains(name))
            firstByName.insert(name, i);
    }
}

ProtoClassLoader::~ProtoClassLoader()
{
    delete goldClasses;
}

void ProtoClassLoader::loadAllClasses()
{
    if (!goldClasses)
        return;
    for (const JClass& message : goldClasses->classes())
        loadClass(ProtoClass::text(message.name()));
}

Class* ProtoClassLoader::defineClass(const QString& name)
{
    if (!goldClasses)
        return nullptr;
    const auto found = firstByName.constFind(name);
    if (found == firstByName.constEnd())
        return nullptr;
    return new ProtoClass(goldClasses->classes(found.value()));
}
