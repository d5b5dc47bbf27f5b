#pragma once

#include <QtGlobal>

#include <cstddef>
#include <memory>
#include <new>

// The field, method and attribute records of one class file, side by side in one allocation
// instead of one allocation each: a class file holds dozens of them, and allocating and freeing
// them one by one was a large part of reading one.
//
// The reader sizes the storage once, by a first look over the tables, and then creates the
// records one after the other. A record that does not fit is created on the heap instead, so a
// look that counts too little costs an allocation, never a fault. A record is given back through
// release(), which knows where it lives; the storage itself goes with its owner.
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

    // Sets aside size bytes (a sum of slot sizes) for the records to come. Called once, before
    // the first record is created.
    void reserve(size_t size);

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
    // What operator new[] guarantees for the start of the storage, and more than any record needs.
    static const size_t recordAlignment = 8;

    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    size_t used = 0;
};
