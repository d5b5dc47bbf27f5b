#include "FuzzSupport.h"

#include "Class.h"
#include "DepField.h"
#include "DepMethod.h"
#include "Field.h"
#include "Logger.h"
#include "Method.h"
#include "MethodSignature.h"
#include "Permission.h"
#include "TypeDescriptor.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>

namespace {

// Answers go here so that the compiler cannot drop the questions.
volatile size_t answers = 0;

} // namespace

void FuzzSupport::use(size_t answer)
{
    answers = answers + answer;
}

void FuzzSupport::use(const QString& text)
{
    use(size_t(text.size()));
}

// Further kinds of answer, and the scratch directory, for this file only.
namespace FuzzSupport {

void use(const TypeDescriptor& type)
{
    use(type.toString());
    use(type.toStringClass());
    use(type.toStringArray());
}

void use(const MethodSignature& signature)
{
    use(signature.descriptor);
    use(signature.returnType);
    for (const TypeDescriptor& parameter : signature.parameters)
        use(parameter);
    use(signature.getParameterString());
}

QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace FuzzSupport

namespace FuzzSupport {

void setUp()
{
    if (Logger::logger)
        return;
    Logger::init(scratchPath(QStringLiteral("log")));
    Logger::logger->disconnect();
    QObject::connect(Logger::logger, &Logger::log, [](Logger::Level level, const QString& text) {
        use(Logger::logger->makeMsg(level, text));
    });
}

QString scratchPath(const QString& name)
{
    return scratch().filePath(name);
}

QString writeScratch(const QString& name, const QByteArray& bytes)
{
    const QString path = scratchPath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("Cannot write the scratch file %s", qPrintable(path));
    return path;
}

QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
}

QStringList logged(const std::function<void()>& work)
{
    QStringList lines;
    QMutex lock;
    const QMetaObject::Connection connection = QObject::connect(
        Logger::logger, &Logger::log, [&lines, &lock](Logger::Level level, const QString& text) {
            QMutexLocker locker(&lock);
            lines.append(QString::number(level) + ' ' + text);
        });
    try {
        work();
    } catch (...) {
        // The connection must not outlive the list it fills.
        QObject::disconnect(connection);
        throw;
    }
    QObject::disconnect(connection);
    return lines;
}

void exercise(const Class& cls)
{
    answers = answers + size_t(cls.getMajorVersion());
    use(cls.getPackage());
    use(cls.getName());
    answers = answers + cls.isAbstract() + cls.isInterface() + cls.hasParent() + cls.isFinal() +
              cls.isStatic();
    use(cls.getParent());
    for (const TypeDescriptor& interface : cls.getInterfaces())
        use(interface);
    use(cls.getPermission()->toString());
    for (const Field* field : cls.getFields()) {
        use(field->getName());
        use(field->getType());
        use(field->getPermission()->toString());
        answers = answers + field->isFinal() + field->isStatic();
        answers = answers + (cls.getFieldByName(field->getName()) != nullptr);
    }
    for (const Method* method : cls.getMethods()) {
        use(method->getName());
        use(method->getSignature());
        use(method->getPermission()->toString());
        answers = answers + method->isFinal() + method->isStatic() + method->isNative() +
                  method->requireInspection() + method->signaturePolymorphic();
        for (const TypeDescriptor& exception : method->getExceptions())
            use(exception);
        answers = answers + (cls.getMethodByNameAndSignature(method->getName(),
                                                             method->getSignature()) != nullptr);
    }
    for (const TypeDescriptor& type : cls.getDependentClasses())
        use(type);
    for (const DepField& field : cls.getDependentFields()) {
        use(field.owner);
        use(field.name);
        use(field.type);
    }
    for (const DepMethod& method : cls.getDependentMethods()) {
        use(method.owner);
        use(method.name);
        use(method.signature);
    }
}

void exerciseAccess(ClassLoader& loader, const QList<Class*>& classes, int limit)
{
    const QList<Class*> some = classes.mid(0, limit);
    for (const Class* from : some) {
        for (const Class* target : some) {
            answers = answers + Permission::accessible(loader, *from, *target);
            for (const Field* field : target->getFields())
                answers = answers + Permission::accessible(loader, *from, *target, *field);
            for (const Method* method : target->getMethods())
                answers = answers + Permission::accessible(loader, *from, *target, *method);
        }
    }
}

} // namespace FuzzSupport
