#include "TypeTable.h"

#include <cstring>

TypeTable::TypeTable(std::pmr::memory_resource* memory) : values(memory), slots(memory) {}

const TypeDescriptor& TypeTable::get(QStringView text, QString* owned)
{
    if (slots.size() < 2 * (values.size() + 1)) {
        // A power of two, so that a mask finds the slot and probing reaches every slot.
        size_t size = 64;
        while (size < 4 * (values.size() + 1))
            size *= 2;
        slots.assign(size, 0);
        for (quint32 entry = 1; entry <= values.size(); ++entry)
            slots[freeSlot(values[entry - 1].descriptor)] = entry;
    }
    size_t h = hash(text.data(), quint32(text.size())) & (slots.size() - 1);
    for (; slots[h] != 0; h = (h + 1) & (slots.size() - 1)) {
        const TypeDescriptor& value = values[slots[h] - 1];
        if (QStringView(value.descriptor) == text)
            return value;
    }
    values.emplace_back(owned ? *owned : text.toString());
    slots[h] = quint32(values.size());
    return values.back();
}

MethodSignature TypeTable::signature(const QString& text)
{
    const int close = text.indexOf(QLatin1Char(')'));
    const int end = close <= 0 ? text.size() : close;
    QList<TypeDescriptor> parameters;
    for (int pos = 1; pos < end;) {
        int last = pos;
        while (last < end && text.at(last) == QLatin1Char('['))
            ++last;
        if (last == end)
            return MethodSignature(text);
        if (text.at(last) == QLatin1Char('L')) {
            last = text.indexOf(QLatin1Char(';'), last);
            if (last < 0 || last >= end)
                return MethodSignature(text);
        }
        parameters.append(get(QStringView(text).mid(pos, last - pos + 1)));
        pos = last + 1;
    }
    MethodSignature signature{QString()};
    signature.descriptor = text;
    signature.returnType = get(QStringView(text).mid(close + 1));
    signature.parameters = parameters;
    return signature;
}

size_t TypeTable::hash(const QChar* data, quint32 size)
{
    return hashBytes(reinterpret_cast<const char*>(data), size_t(size) * sizeof(QChar));
}

size_t TypeTable::hashBytes(const char* data, size_t size)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 chunk;
        std::memcpy(&chunk, data + i, sizeof chunk);
        h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    for (; i < size; ++i)
        h = (h ^ quint8(data[i])) * 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 29;
    return size_t(h);
}

size_t TypeTable::freeSlot(const QString& text) const
{
    size_t h = hash(text.constData(), quint32(text.size())) & (slots.size() - 1);
    while (slots[h] != 0)
        h = (h + 1) & (slots.size() - 1);
    return h;
}
