#include "GoldMarker.h"

#include "JavaTypes.pb.h"

#include <QSet>

int GoldMarker::markSignaturePolymorphic(JClasses* gold, const QString& classDescriptor,
                                         const QStringList& methodNames, QString* error)
{
    const std::string className = classDescriptor.toStdString();
    QList<JClass*> classes;
    for (JClass& c : *gold->mutable_classes())
        if (c.name() == className)
            classes.append(&c);
    if (classes.isEmpty()) {
        if (error)
            *error = QStringLiteral("the gold file holds no class %1").arg(classDescriptor);
        return -1;
    }

    // Look everything up before changing anything, so a failure leaves the content as it was.
    QList<JMethod*> marked;
    for (const QString& name : methodNames) {
        const std::string methodName = name.toStdString();
        int found = 0;
        for (JClass* c : classes)
            for (JMethod& m : *c->mutable_methods())
                if (m.name() == methodName) {
                    marked.append(&m);
                    ++found;
                }
        if (found == 0) {
            if (error)
                *error = QStringLiteral("the class %1 has no method %2").arg(classDescriptor, name);
            return -1;
        }
    }
    // A name given twice would otherwise count its methods twice.
    const QSet<JMethod*> unique(marked.begin(), marked.end());
    for (JMethod* m : unique)
        m->set_signature_polymorphic(true);
    return unique.size();
}
