#include "ProtoIO.h"

#include "Class.h"
#include "Field.h"
#include "JavaTypes.pb.h"
#include "Logger.h"
#include "Method.h"
#include "Permission.h"
#include "WholeFile.h"

#include <QRegExp>

#include <google/protobuf/io/zero_copy_stream_impl.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString& text)
{
    emit Logger::logger->log(Logger::L_ERROR, text);
    throw std::runtime_error(text.toLocal8Bit().toStdString());
}

std::string stored(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

// The numbers of Permission and JPermission agree; anything else cannot come from a view, but
// must not reach the generated setter, which insists on a declared value.
JPermission toJPermission(const Permission* permission)
{
    return JPermission_IsValid(permission->level) ? static_cast<JPermission>(permission->level)
                                                  : JP_PUBLIC;
}

bool isApiMember(const Permission* permission)
{
    return *permission == *Permission::PUBLIC || *permission == *Permission::PROTECTED;
}

// A QRegExp keeps the state of its last match inside the object, so every use works on its own
// copy of the shared, once-compiled pattern.
bool containsMatch(const QRegExp& pattern, const QString& text)
{
    QRegExp matcher(pattern);
    return matcher.indexIn(text) != -1;
}

const QRegExp& outerInstanceField()
{
    static const QRegExp pattern("this\\$[0-9]+$", Qt::CaseSensitive, QRegExp::RegExp);
    return pattern;
}

const QRegExp& syntheticAccessor()
{
    static const QRegExp pattern("access\\$[0-9]+$", Qt::CaseSensitive, QRegExp::RegExp);
    return pattern;
}

} // namespace

void ProtoIO::write(const JClasses* message, const QString& fileName)
{
    // Written whole or not at all, so that a failure (a full disk) leaves no fragment that a
    // later run would read as a smaller gold file, and an earlier file stays as it was.
    const WholeFile::Outcome outcome = WholeFile::write(fileName, [message](int fd) {
        google::protobuf::io::FileOutputStream stream(fd);
        const bool written = message->SerializePartialToZeroCopyStream(&stream);
        return stream.Flush() && written;
    });
    if (outcome == WholeFile::NotOpened)
        fail(QString("Could not open file %1 for writing").arg(fileName));
    if (outcome == WholeFile::NotWritten)
        fail(QString("Could not serialize to file %1").arg(fileName));
}

void ProtoIO::read(JClasses*& message, const QString& fileName)
{
    std::ifstream in(fileName.toLocal8Bit().constData(), std::ios::in | std::ios::binary);
    if (in.fail())
        fail(QString("Could not open file %1 for reading").arg(fileName));

    // Parsed aside and handed out only when whole, so that nothing half-read escapes, not even
    // when parsing runs out of memory.
    std::unique_ptr<JClasses> parsed(new JClasses());
    google::protobuf::io::IstreamInputStream raw(&in);
    bool ok;
    {
        // The limit is applied by a stream that simply ends there, so an oversized file is
        // caught below by the bytes left over instead of being parsed up to the cut.
        google::protobuf::io::LimitingInputStream limited(&raw, maxFileSize);
        ok = parsed->ParseFromZeroCopyStream(&limited);
    }
    const void* data;
    int size;
    bool tooLong = false;
    while (ok && !tooLong && raw.Next(&data, &size))
        tooLong = size > 0;
    // A read error (a directory, a failing device) looks like an early end to the parser.
    if (!ok || tooLong || in.bad()) {
        message = nullptr;
        fail(QString("Could not deserialize from file %1").arg(fileName));
    }
    message = parsed.release();
}

void ProtoIO::setJClass(JClass* message, const Class& view, setmode_t mode)
{
    message->set_name(stored(view.getName().descriptor));
    message->set_abstract(view.isAbstract());
    message->set_interface(view.isInterface());
    message->set_major_version(view.getMajorVersion());
    // Always present, even for a class without a superclass, which gets the empty text.
    message->set_parent(stored(view.getParent().descriptor));
    for (const TypeDescriptor& interface : view.getInterfaces())
        message->add_interfaces(stored(interface.descriptor));
    message->set_permission(*view.getPermission() == *Permission::PUBLIC ? JP_PUBLIC : JP_PACKAGE);
    message->set_final(view.isFinal());

    const bool apiOnly = mode == SM_API;
    for (const Field* field : view.getFields()) {
        if (apiOnly && (!isApiMember(field->getPermission()) ||
                        containsMatch(outerInstanceField(), field->getName())))
            continue;
        JField* jfield = message->add_fields();
        jfield->set_name(stored(field->getName()));
        jfield->set_descriptor_(stored(field->getType().descriptor));
        jfield->set_permission(toJPermission(field->getPermission()));
        jfield->set_final(field->isFinal());
        jfield->set_static_(field->isStatic());
    }

    for (const Method* method : view.getMethods()) {
        if (apiOnly && (!isApiMember(method->getPermission()) ||
                        containsMatch(syntheticAccessor(), method->getName())))
            continue;
        JMethod* jmethod = message->add_methods();
        jmethod->set_name(stored(method->getName()));
        jmethod->set_descriptor_(stored(method->getSignature().descriptor));
        jmethod->set_permission(toJPermission(method->getPermission()));
        jmethod->set_final(method->isFinal());
        jmethod->set_static_(method->isStatic());
        for (const TypeDescriptor& exception : method->getExceptions())
            jmethod->add_exceptions(stored(exception.descriptor));
    }
}
