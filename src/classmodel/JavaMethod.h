#pragma once

#include "Method.h"

class JavaClassFile;
struct method_info;

// The view of one method entry of a class file. Created only by JavaClass, which owns it; the
// class file and the entry belong to that class and outlive the view. Class files carry no
// review marks, so requireInspection and signaturePolymorphic are always false.
class JavaMethod : public Method
{
public:
    JavaMethod(const JavaClassFile* file, const method_info* method);

    QString getName() const override;
    MethodSignature getSignature() const override;
    const Permission* getPermission() const override;
    bool isFinal() const override;
    bool isStatic() const override;
    bool isNative() const override;
    QList<TypeDescriptor> getExceptions() const override;
    bool requireInspection() const override;
    bool signaturePolymorphic() const override;

private:
    const JavaClassFile* file;
    const method_info* method;
};
