// Interned string atoms: equal texts share one atom, and so one text
// pointer, while any reference lives.
//
// The table is open addressing with linear probing, in shards. A hit takes
// no lock: it probes, compares the text a word at a time and takes a
// reference only if the count is not zero. Everything that can change a
// shard (a new atom, the death of one, growth) happens under the shard's
// lock, and a lookup that finds nothing without the lock looks again with
// it, so a missed race costs time, never a duplicate.
//
// An atom's record is never given back to the system while the table lives:
// a dead atom's record joins its shard's free list for the same size and is
// only ever reused as an atom. A lock-free reader may therefore still look
// at a record that died or was reused after it read the slot; that is why it
// takes its reference only from a count above zero and compares the text
// again once it holds it. Texts too long for the free lists live in blocks
// of their own and are only ever looked at under the lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

namespace qelhost {

// The text follows the record, NUL-terminated and padded with zeros to a
// whole number of 8-byte words.
struct Atom final {
    std::atomic<uint32_t> refs;
    std::atomic<uint32_t> length;  // kFreeLength while the record is unused

    const char* text() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    uint64_t* words() noexcept { return reinterpret_cast<uint64_t*>(this + 1); }
    const uint64_t* words() const noexcept { return reinterpret_cast<const uint64_t*>(this + 1); }
    std::string_view view() const noexcept { return {text(), length.load(std::memory_order_relaxed)}; }

    static constexpr uint32_t kFreeLength = UINT32_MAX;
};
static_assert(sizeof(Atom) == 8);

// What the atoms hold: their records and the shards' slots.
struct AtomMemory final {
    int64_t atoms = 0;  // live and dying atoms
    int64_t recordBytes = 0;
    int64_t slotBytes = 0;  // slots, those of outgrown tables included (kept for lock-free readers)
};

class AtomTable final {
public:
    AtomTable();
    ~AtomTable();
    AtomTable(const AtomTable&) = delete;
    AtomTable& operator=(const AtomTable&) = delete;

    // A new booked reference to the atom of text; null when memory runs out.
    Atom* Intern(std::string_view text);
    // A reference of the host's own, never given back and not booked; throws
    // std::bad_alloc.
    Atom* Pin(std::string_view text);
    void AddRef(Atom* atom) noexcept;
    // One more reference of the host's own, never given back, not booked.
    void Keep(Atom* atom) noexcept { atom->refs.fetch_add(1, std::memory_order_relaxed); }
    // Gives back a booked reference.
    void Release(Atom* atom) noexcept;
    AtomMemory Memory() const;

private:
    struct Slots;
    struct Shard;
    static constexpr size_t kShards = 16;

    Atom* Reference(std::string_view text, bool booked);
    Atom* FindLive(const Shard& shard, std::string_view text, uint64_t hash) noexcept;
    Atom* InternLocked(Shard& shard, std::string_view text, uint64_t hash);
    void Bury(Atom* atom) noexcept;

    Shard* shards_;
};

}  // namespace qelhost
