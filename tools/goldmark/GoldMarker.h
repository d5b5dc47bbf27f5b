#pragma once

#include <QString>
#include <QStringList>

class JClasses;

// Sets marks on the methods of a gold file that gold building never sets, because no class
// file says them: here the signature-polymorphic mark of methods such as
// java.lang.invoke.MethodHandle's invoke and invokeExact, which accept calls of any signature.
class GoldMarker
{
public:
    // Marks every method whose name is one of methodNames in every class of the gold content
    // whose name is classDescriptor ('Ljava/lang/invoke/MethodHandle;') as signature
    // polymorphic, and nothing else. Returns the number of methods marked. When the class is
    // missing or one of the names matches no method of it, nothing is changed, *error says
    // which, and -1 is returned.
    static int markSignaturePolymorphic(JClasses* gold, const QString& classDescriptor,
                                        const QStringList& methodNames, QString* error);

private:
    GoldMarker() = delete;
};
