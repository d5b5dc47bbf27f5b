// Gold files from the input: the gold-file loader, every class it defines, the access rules
// between them and the class description written back.
#include "FuzzSupport.h"

#include "Class.h"
#include "JavaTypes.pb.h"
#include "ProtoClassLoader.h"
#include "ProtoIO.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::setUp();
    const QString path =
        FuzzSupport::writeScratch(QStringLiteral("input.javagold"), FuzzSupport::bytes(data, size));

    // Reading alone: a file that is no gold file is refused with an exception, and nothing else.
    JClasses* message = nullptr;
    try {
        ProtoIO::read(message, path);
    } catch (const std::runtime_error&) {
    }
    delete message;

    ProtoClassLoader loader(path);
    loader.loadAllClasses();
    const QList<Class*> classes = loader.getAllClasses().values();
    for (const Class* cls : classes) {
        FuzzSupport::exercise(*cls);
        JClass api;
        ProtoIO::setJClass(&api, *cls, ProtoIO::SM_API);
        JClass all;
        ProtoIO::setJClass(&all, *cls, ProtoIO::SM_ALL);
    }
    FuzzSupport::exerciseAccess(loader, classes, 8);
    return 0;
}
