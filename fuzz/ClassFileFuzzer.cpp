// Class files from the input: the reader and, on what it accepts, every query of the parsed file
// and the class view with its dependency sets.
#include "FuzzSupport.h"

#include "ClassFileStructures.h"
#include "JavaClass.h"
#include "JavaClassFile.h"

#include <memory>

namespace {

using FuzzSupport::use;

void query(const JavaClassFile& file)
{
    use(file.getName());
    use(file.getTypeDescriptor().toString());
    use(file.getPackage());
    use(file.getParentName());
    use(file.getParentTypeDescriptor().toString());
    for (const cp_info* entry : file.interfaces) {
        use(file.getInterfaceName(entry));
        use(file.getInterfaceTypeDescriptor(entry).toString());
    }
    for (const field_info* field : file.fields) {
        use(file.getFieldName(field));
        use(file.getFieldDescriptor(field));
        use(file.getFieldTypeDescriptor(field).toString());
        use(size_t(file.getFieldPermission(field)) + file.isFieldFinal(field) +
            file.isFieldStatic(field));
    }
    for (const method_info* method : file.methods) {
        use(file.getMethodName(method));
        use(file.getMethodDescriptor(method));
        use(file.getMethodSignature(method).getParameterString());
        use(size_t(file.getMethodPermission(method)) + file.isMethodFinal(method) +
            file.isMethodStatic(method) + file.isMethodNative(method) +
            (file.getMethodCodeAttr(method) != nullptr));
        for (const QString& exception : file.getMethodExceptions(method))
            use(exception);
        for (const TypeDescriptor& exception : file.getMethodExceptionsTypeDescriptors(method))
            use(exception.toString());
        for (const attribute_info* attribute : method->attributes)
            use(size_t(file.isAttr(attribute, QStringLiteral("Code"))));
    }
    for (const cp_info* entry : file.constant_pool) {
        if (entry && entry->tag == 7)
            use(file.getClassTypeDescriptor(static_cast<const CONSTANT_Class_info&>(*entry))
                    .toString());
    }
    for (const CONSTANT_Fieldref_info* ref : file.getFieldRefInfos()) {
        use(file.getFieldParentClassName(*ref));
        use(file.getFieldName(*ref));
        use(file.getFieldTypeDescriptor(*ref).toString());
    }
    const auto methodRefs = file.getMethodRefInfos() + file.getInterfaceMethodRefInfos();
    for (const CONSTANT_Fieldref_info* ref : methodRefs) {
        use(file.getMethodParentClassName(*ref));
        use(file.getMethodName(*ref));
        use(file.getMethodSignature(*ref).getParameterString());
    }
    use(size_t(file.getDependentClasses().size() + file.getDependentFields().size() +
               file.getDependentMethods().size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::setUp();
    std::unique_ptr<JavaClassFile> file(JavaClassFile::create(FuzzSupport::bytes(data, size)));
    for (const QString& message : file->checkLog.messages)
        use(message);
    if (!file->checkLog.hasError) {
        query(*file);
        const JavaClass view(file.release());
        FuzzSupport::exercise(view);
    }
    return 0;
}
