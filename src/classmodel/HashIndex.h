#pragma once

#include <QChar>
#include <QtGlobal>

#include <memory_resource>
#include <vector>

// An open-addressing hash index over the entries of a list that its owner keeps: it finds the
// entry of a key, or the slot where a new entry goes. Entries are numbered from 1; a slot holds
// an entry's number, 0 when it is free. The owner compares keys and computes their hashes, so
// the same index serves type values, dependency candidates and whatever else needs one.
//
// Usage: makeRoom() before each lookup that may add an entry, then find(); when the slot found
// is free, append the entry to the list and set() the slot to its number.
class HashIndex
{
public:
    explicit HashIndex(std::pmr::memory_resource* memory) : slots(memory) {}

    // Makes room for one entry more than count. When the index grows, the count entries held
    // so far are placed again by hashOf(entry number).
    template <typename HashOf> void makeRoom(quint32 count, const HashOf& hashOf)
    {
        if (slots.size() >= 2 * (size_t(count) + 1))
            return;
        // A power of two, so that a mask finds the slot and probing reaches every slot.
        size_t size = 64;
        while (size < 4 * (size_t(count) + 1))
            size *= 2;
        slots.assign(size, 0);
        for (quint32 entry = 1; entry <= count; ++entry)
            slots[find(hashOf(entry), [](quint32) { return false; })] = entry;
    }

    // The slot of the entry for which isKey(entry number) holds, or else the free slot where
    // an entry of that key goes. makeRoom() must have been called at least once.
    template <typename IsKey> size_t find(size_t hash, const IsKey& isKey) const
    {
        const size_t mask = slots.size() - 1;
        size_t slot = hash & mask;
        while (slots[slot] != 0 && !isKey(slots[slot]))
            slot = (slot + 1) & mask;
        return slot;
    }

    // The entry number in a slot; 0 for a free slot.
    quint32 at(size_t slot) const { return slots[slot]; }
    void set(size_t slot, quint32 entry) { slots[slot] = entry; }

    // A hash of a text for indexes of short names and descriptors, eight bytes at a time mixed
    // by a multiply (qHash takes one code unit at a time).
    static size_t hash(const QChar* text, quint32 size);

private:
    std::pmr::vector<quint32> slots;
};
