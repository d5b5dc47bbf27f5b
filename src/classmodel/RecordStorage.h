#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

// The field, method and attribute records of one class file, side by side in one allocation
// instead of one allocation each: a class file holds dozens of them, and allocating and freeing
// them one by one was a large part of reading one.
//
// The reader sets aside room for the most that the records can take, creates them one after
// the other and then gives back the room they did not take. A record that does not fit is
// created on the heap instead, so a reservation that is too small costs an allocation, never a
// fault. A record is given back through release(), which knows where it lives; the storage
// itself goes with its owner.
class RecordStorage
{
public:
    RecordStorage() = default;
    RecordStorage(const RecordStorage&) = delete;
    RecordStorage& operator=(const RecordStorage&) = delete;

    // The room that one record of type T takes. Every record starts at a multiple of
    // recordAlignment, which the storage's own start is as well.
    template <typename T> static constexpr size_t slotSize()
    {
        static_assert(alignof(T) <= recordAlignment, "record needs a stricter alignment");
        return (sizeof(T) + recordAlignment - 1) / recordAlignment * recordAlignment;
    }

    // Sets aside size bytes for the records to come. Called once, before the first record is
    // created. Room that is never written to costs no memory in a large reservation, which the
    // C library maps page by page; room that cannot be had sends every record to the heap.
    void reserve(size_t size);

    // Gives back the room that the records have not taken. False when the C library moved the
    // records to do so (glibc only with a large block that it maps itself, ASan every time):
    // every pointer to a record must then be passed through moved().
    bool fit();

    // Where a record created before fit() is now.
    template <typename T> T* moved(T* record) const
    {
        const auto address = reinterpret_cast<quintptr>(record);
        if (movedFrom == 0 || address - movedFrom >= used)
            return record; // on the heap, or in a block that has not moved
        return reinterpret_cast<T*>(bytes.get() + (address - movedFrom));
    }

    // A default-constructed record, in the storage while there is room, else on the heap.
    template <typename T> T* create()
    {
        if (size - used < slotSize<T>())
            return new T;
        T* record = new (bytes.get() + used) T;
        used += slotSize<T>();
        return record;
    }

    // Destroys a record made by create(); T must be its type or have a virtual destructor.
    template <typename T> void release(T* record)
    {
        if (holds(record))
            record->~T();
        else
            delete record;
    }

    // Whether the record lies in the storage.
    bool holds(const void* record) const
    {
        const auto address = reinterpret_cast<quintptr>(record);
        const auto first = reinterpret_cast<quintptr>(bytes.get());
        return address >= first && address - first < size;
    }

private:
    // What malloc guarantees for the start of the storage, and more than any record needs.
    static const size_t recordAlignment = 8;

    struct FreeBytes
    {
        void operator()(char* block) const { std::free(block); }
    };
    std::unique_ptr<char, FreeBytes> bytes;
    size_t size = 0;
    size_t used = 0;
    // Where the records were before fit() moved them; 0 while they have not moved.
    quintptr movedFrom = 0;
};
