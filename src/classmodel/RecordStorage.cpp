#include "RecordStorage.h"

void RecordStorage::reserve(size_t room)
{
    if (room == 0)
        return;
    // Without the room, every record goes on the heap: slower, not wrong.
    bytes.reset(static_cast<char*>(std::malloc(room)));
    size = bytes ? room : 0;
    used = 0;
}

bool RecordStorage::fit()
{
    if (!bytes || used == size)
        return true;
    if (used == 0) {
        bytes.reset();
        size = 0;
        return true;
    }
    // Where the block was, as a number: the records are found again by their offsets in it.
    const quintptr from = reinterpret_cast<quintptr>(bytes.get());
    char* const fitted = static_cast<char*>(std::realloc(bytes.get(), used));
    if (!fitted)
        return true; // the larger block stays, and works as well
    bytes.release();
    bytes.reset(fitted);
    size = used;
    if (reinterpret_cast<quintptr>(fitted) == from)
        return true;
    movedFrom = from;
    return false;
}
