#include "HashIndex.h"

#include <cstring>

size_t HashIndex::hash(const QChar* text, quint32 length)
{
    const char* data = reinterpret_cast<const char*>(text);
    const size_t size = size_t(length) * sizeof(QChar);
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
