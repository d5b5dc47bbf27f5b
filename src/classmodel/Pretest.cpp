#include "Pretest.h"

#include "Class.h"
#include "ClassLoader.h"
#include "Classpath.h"
#include "JavaTypes.pb.h"
#include "Logger.h"
#include "Permission.h"
#include "ProtoIO.h"

#include <QRegExp>

#include <memory>
#include <stdexcept>

namespace {

// Anonymous classes (Outer$1, Outer$Inner$2) are no API; local classes (Outer$1Local) and named
// nested classes are.
bool isAnonymous(const TypeDescriptor& name)
{
    static const QRegExp pattern("\\$[0-9]+$", Qt::CaseSensitive, QRegExp::RegExp);
    // A QRegExp keeps the state of its last match inside the object: match on a copy.
    QRegExp matcher(pattern);
    return matcher.indexIn(name.className) != -1;
}

} // namespace

bool Pretest::createGold(const Classpath& classpath, const QString& goldFileName)
{
    std::unique_ptr<ClassLoader> loader(ClassLoader::create(classpath));
    loader->loadAllClasses();
    const QMap<QString, Class*> classes = loader->getAllClasses();

    std::unique_ptr<JClasses> message(new JClasses());
    // keys() repeats a name that several classpath entries hold; every visit converts the same
    // class, the one of the last entry that has it.
    for (const QString& key : classes.keys()) {
        const Class* view = classes.value(key);
        if (!(*view->getPermission() == *Permission::PUBLIC) || isAnonymous(view->getName()))
            continue;
        ProtoIO::setJClass(message->add_classes(), *view, ProtoIO::SM_API);
    }

    // An empty gold file reads as an API without classes, which a later test would take at its
    // word; a classpath that gave nothing (a wrong path, an empty directory) is said instead.
    if (message->classes_size() == 0) {
        emit Logger::logger->log(
            Logger::L_ERROR,
            QString("No classes to build a gold file from in %1").arg(classpath.toString()));
        return false;
    }

    try {
        ProtoIO::write(message.get(), goldFileName);
    } catch (const std::runtime_error&) {
        // The writer has logged the failure itself.
        return false;
    }
    return true;
}
