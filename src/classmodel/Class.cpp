#include "Class.h"

#include "Field.h"
#include "Method.h"

Class::~Class() = default;

QList<TypeDescriptor> Class::getDependentClasses() const
{
    return QList<TypeDescriptor>();
}

QList<DepField> Class::getDependentFields() const
{
    return QList<DepField>();
}

QList<DepMethod> Class::getDependentMethods() const
{
    return QList<DepMethod>();
}

Field* Class::getFieldByName(const QString& name) const
{
    for (Field* field : getFields()) {
        if (field->getName() == name)
            return field;
    }
    return nullptr;
}

Method* Class::getMethodByNameAndSignature(const QString& name,
                                           const MethodSignature& signature) const
{
    for (Method* method : getMethods()) {
        if (method->getName() != name)
            continue;
        // A signature-polymorphic method answers for any signature under its name; overloads
        // are otherwise told apart by the exact descriptor text.
        if (method->signaturePolymorphic() ||
            method->getSignature().descriptor == signature.descriptor)
            return method;
    }
    return nullptr;
}

QList<Method*> Class::getMethodsByName(const QString& name) const
{
    QList<Method*> result;
    for (Method* method : getMethods()) {
        if (method->getName() == name)
            result.append(method);
    }
    return result;
}
