#include "RecordStorage.h"

void RecordStorage::reserve(size_t room)
{
    if (room == 0)
        return;
    bytes.reset(new char[room]);
    size = room;
    used = 0;
}
