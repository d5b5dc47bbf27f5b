#include "TypeTable.h"

#include <cstring>

TypeTable::TypeTable(std::pmr::memory_resource* memory) : values(memory), index(memory) {}

const TypeDescriptor& TypeTable::get(QStringView text, QString* owned)
{
    index.makeRoom(quint32(values.size()), [this](quint32 entry) {
        const QString& descriptor = values[entry - 1].descriptor;
        return HashIndex::hash(descriptor.constData(), quint32(descriptor.size()));
    });
    const size_t slot =
        index.find(HashIndex::hash(text.data(), quint32(text.size())), [&](quint32 entry) {
            const QString& descriptor = values[entry - 1].descriptor;
            return descriptor.size() == text.size() &&
                   std::memcmp(descriptor.constData(), text.data(),
                               size_t(text.size()) * sizeof(QChar)) == 0;
        });
    if (index.at(slot) != 0)
        return values[index.at(slot) - 1];
    values.emplace_back(owned ? *owned : text.toString());
    index.set(slot, quint32(values.size()));
    return values.back();
}

MethodSignature TypeTable::signature(const QString& text)
{
    const int close = text.indexOf(QLatin1Char(')'));
    const QStringView run = QStringView(text).left(close <= 0 ? text.size() : close);
    QList<TypeDescriptor> parameters;
    for (int pos = 1; pos < run.size();) {
        const int end = TypeDescriptor::descriptorEnd(run, pos);
        if (end < 0)
            return MethodSignature(text);
        parameters.append(get(run.mid(pos, end - pos)));
        pos = end;
    }
    MethodSignature signature{QString()};
    signature.descriptor = text;
    signature.returnType = get(QStringView(text).mid(close + 1));
    signature.parameters = parameters;
    return signature;
}
