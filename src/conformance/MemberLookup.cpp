#include "MemberLookup.h"

#include "Class.h"
#include "Field.h"
#include "Method.h"
#include "MethodSignature.h"

Field* MemberLookup::fieldByName(const Class& cls, const QString& name)
{
    return membersOf(cls).firstFieldByName.value(name, nullptr);
}

Method* MemberLookup::methodByNameAndSignature(const Class& cls, const QString& name,
                                               const MethodSignature& signature)
{
    const Members& members = membersOf(cls);
    const auto found = members.methodsByName.constFind(name);
    if (found == members.methodsByName.constEnd())
        return nullptr;
    // Same rule as the class's own lookup: in list order, a signature-polymorphic method answers
    // any signature, any other method only its own descriptor text.
    for (Method* method : found.value()) {
        if (method->signaturePolymorphic() ||
            method->getSignature().descriptor == signature.descriptor)
            return method;
    }
    return nullptr;
}

QList<Method*> MemberLookup::methodsByName(const Class& cls, const QString& name)
{
    return membersOf(cls).methodsByName.value(name);
}

void MemberLookup::clear()
{
    index.clear();
}

const MemberLookup::Members& MemberLookup::membersOf(const Class& cls)
{
    auto found = index.constFind(&cls);
    if (found != index.constEnd())
        return found.value();

    Members members;
    for (Field* field : cls.getFields()) {
        const QString name = field->getName();
        if (!members.firstFieldByName.contains(name))
            members.firstFieldByName.insert(name, field);
    }
    for (Method* method : cls.getMethods())
        members.methodsByName[method->getName()].append(method);
    return index.insert(&cls, members).value();
}
