#include "JavaClassLoader.h"

#include "JavaClass.h"
#include "JavaClassFile.h"
#include "Logger.h"
#include "TypeDescriptor.h"

JavaClassLoader::~JavaClassLoader() = default;

Class* JavaClassLoader::defineClass(const QString& name)
{
    const QByteArray bytes = readClassData(name);
    if (bytes.isEmpty())
        return nullptr;

    JavaClassFile* file = JavaClassFile::create(bytes);
    if (file->checkLog.hasError) {
        // Warnings are only worth reporting together with the error that rejects the file.
        const QString className = TypeDescriptor::fromClassDescriptorName(name).toString();
        for (const QString& message : qAsConst(file->checkLog.messages))
            emit Logger::logger->log(Logger::L_WARN, QString("%1: %2").arg(className, message));
        delete file;
        return nullptr;
    }
    return new JavaClass(file);
}

QByteArray JavaClassLoader::readClassData(const QString&)
{
    return QByteArray();
}
