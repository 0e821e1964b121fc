#include "atoms.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "tally.h"

namespace qelhost {

namespace {

static_assert(std::endian::native == std::endian::little, "texts are compared as little-endian words");

// A slot: 0 when empty, else the atom's address with the top 16 bits of
// its hash, and a flag for atoms that only the lock may look at.
constexpr uint64_t kPointerMask = (uint64_t{1} << 47) - 1;
constexpr uint64_t kLockedOnly = uint64_t{1} << 47;
constexpr uint64_t kTagMask = ~uint64_t{0} << 48;

// Records up to this size come from the shard's free lists; larger ones are
// allocated one by one and looked at only under the lock.
constexpr size_t kPooledBytes = 512;
constexpr size_t kChunkBytes = 16 * 1024;
constexpr size_t kFirstSlots = 64;

uint64_t LoadWord(const char* p) noexcept {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// The last 1 to 7 bytes of a text, as the record's zero-padded word holds them.
uint64_t LoadTail(const char* p, size_t n) noexcept {
    uint64_t w = 0;
    size_t i = 0;
    if (n >= 4) {
        uint32_t x;
        std::memcpy(&x, p, 4);
        w = x;
        i = 4;
    }
    if (n - i >= 2) {
        uint16_t x;
        std::memcpy(&x, p + i, 2);
        w |= uint64_t{x} << (8 * i);
        i += 2;
    }
    if (n - i >= 1) w |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    return w;
}

// A word at a time, then a full avalanche: the slot index takes the low
// bits, the shard bits 40-43, the tag the top 16.
uint64_t Hash(std::string_view text) noexcept {
    constexpr uint64_t kMul = 0x517CC1B727220A95;
    uint64_t h = 0x9E3779B97F4A7C15 ^ text.size();
    const char* p = text.data();
    size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) h = (std::rotl(h, 5) ^ LoadWord(p)) * kMul;
    if (n != 0) h = (std::rotl(h, 5) ^ LoadTail(p, n)) * kMul;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCD;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53;
    h ^= h >> 33;
    return h;
}

uint64_t AtomicWord(const uint64_t& word) noexcept {
    return std::atomic_ref<uint64_t>(const_cast<uint64_t&>(word)).load(std::memory_order_relaxed);
}

// Whether a record holds text. Records may be rewritten while a lock-free
// reader compares, so every load is atomic; the caller decides what a match
// is worth.
bool SameText(const Atom* atom, std::string_view text) noexcept {
    if (atom->length.load(std::memory_order_acquire) != text.size()) return false;
    const uint64_t* words = atom->words();
    const char* p = text.data();
    size_t n = text.size();
    for (; n >= 8; ++words, p += 8, n -= 8)
        if (AtomicWord(*words) != LoadWord(p)) return false;
    return n == 0 || AtomicWord(*words) == LoadTail(p, n);
}

// A reference, unless the count is already zero: an atom at zero is dying
// and only its releaser may touch it.
bool TryRef(Atom* atom) noexcept {
    uint32_t refs = atom->refs.load(std::memory_order_relaxed);
    while (refs != 0)
        if (atom->refs.compare_exchange_weak(refs, refs + 1, std::memory_order_acquire, std::memory_order_relaxed))
            return true;
    return false;
}

size_t RecordBytes(size_t length) noexcept { return sizeof(Atom) + (length + 8) / 8 * 8; }

Atom* AtomOf(uint64_t slot) noexcept { return reinterpret_cast<Atom*>(slot & kPointerMask); }

[[noreturn]] void Die(const char* what) noexcept {
    std::fprintf(stderr, "qelhost: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace

struct AtomTable::Slots final {
    explicit Slots(size_t count) : mask(count - 1), slot(new std::atomic<uint64_t>[count]()) {}
    size_t count() const noexcept { return mask + 1; }
    const size_t mask;
    const std::unique_ptr<std::atomic<uint64_t>[]> slot;
};

struct AtomTable::Shard final {
    std::mutex lock;
    std::atomic<Slots*> slots{nullptr};  // read without the lock
    std::unique_ptr<Slots> current;
    // Outgrown tables stay readable: a lock-free lookup may still be in one.
    std::vector<std::unique_ptr<Slots>> outgrown;
    size_t entries = 0;
    // Free records by size (in words), linked through their first text word.
    std::array<Atom*, kPooledBytes / 8 + 1> free{};
    std::vector<std::unique_ptr<char[]>> chunks;
    char* carve = nullptr;
    char* carveEnd = nullptr;
    AtomMemory memory;

    Atom* NewRecord(size_t bytes);
    void FreeRecord(Atom* atom, size_t bytes) noexcept;
    void Grow();
};

Atom* AtomTable::Shard::NewRecord(size_t bytes) {
    if (bytes > kPooledBytes) {
        void* block = std::malloc(bytes);
        if (block == nullptr) return nullptr;
        return new (block) Atom{{0}, {Atom::kFreeLength}};
    }
    Atom*& head = free[bytes / 8];
    if (Atom* atom = head) {
        head = reinterpret_cast<Atom*>(AtomicWord(atom->words()[0]));
        return atom;
    }
    if (static_cast<size_t>(carveEnd - carve) < bytes) {  // also before the first chunk (both null)
        chunks.reserve(chunks.size() + 1);
        std::unique_ptr<char[]> chunk(new (std::nothrow) char[kChunkBytes]);
        if (chunk == nullptr) return nullptr;
        chunks.push_back(std::move(chunk));
        carve = chunks.back().get();
        carveEnd = carve + kChunkBytes;
    }
    auto* atom = new (carve) Atom{{0}, {Atom::kFreeLength}};
    carve += bytes;
    return atom;
}

void AtomTable::Shard::FreeRecord(Atom* atom, size_t bytes) noexcept {
    if (bytes > kPooledBytes) {
        atom->~Atom();
        return std::free(atom);
    }
    // The record stays an atom record: a reader that still holds its address
    // sees a free length and a count of zero.
    atom->length.store(Atom::kFreeLength, std::memory_order_relaxed);
    Atom*& head = free[bytes / 8];
    std::atomic_ref<uint64_t>(atom->words()[0]).store(reinterpret_cast<uint64_t>(head), std::memory_order_relaxed);
    head = atom;
}

void AtomTable::Shard::Grow() {
    outgrown.reserve(outgrown.size() + 1);  // nothing may fail once the new slots are published
    auto grown = std::make_unique<Slots>(current->count() * 2);
    for (size_t i = 0; i < current->count(); ++i) {
        const uint64_t slot = current->slot[i].load(std::memory_order_relaxed);
        if (slot == 0) continue;
        size_t j = Hash(AtomOf(slot)->view()) & grown->mask;
        while (grown->slot[j].load(std::memory_order_relaxed) != 0) j = (j + 1) & grown->mask;
        grown->slot[j].store(slot, std::memory_order_relaxed);
    }
    slots.store(grown.get(), std::memory_order_release);
    memory.slotBytes += static_cast<int64_t>(grown->count() * sizeof(uint64_t));
    outgrown.push_back(std::move(current));
    current = std::move(grown);
}

AtomTable::AtomTable() : shards_(new Shard[kShards]) {
    for (size_t i = 0; i < kShards; ++i) {
        Shard& shard = shards_[i];
        shard.current = std::make_unique<Slots>(kFirstSlots);
        shard.slots.store(shard.current.get(), std::memory_order_release);
        shard.memory.slotBytes = kFirstSlots * sizeof(uint64_t);
    }
}

AtomTable::~AtomTable() {
    for (size_t i = 0; i < kShards; ++i) {
        const Slots& slots = *shards_[i].current;
        for (size_t j = 0; j < slots.count(); ++j) {
            const uint64_t slot = slots.slot[j].load(std::memory_order_relaxed);
            if ((slot & kLockedOnly) != 0) std::free(AtomOf(slot));
        }
    }
    delete[] shards_;
}

Atom* AtomTable::FindLive(const Shard& shard, std::string_view text, uint64_t hash) noexcept {
    const Slots* slots = shard.slots.load(std::memory_order_acquire);
    const uint64_t tag = hash & kTagMask;
    for (size_t i = hash & slots->mask;; i = (i + 1) & slots->mask) {
        const uint64_t slot = slots->slot[i].load(std::memory_order_acquire);
        if (slot == 0) return nullptr;
        if ((slot & kTagMask) != tag) continue;
        if ((slot & kLockedOnly) != 0) return nullptr;
        Atom* atom = AtomOf(slot);
        if (!SameText(atom, text)) continue;
        if (!TryRef(atom)) return nullptr;
        // Held now, the record cannot change: was it still this text when
        // the reference was taken?
        if (SameText(atom, text)) return atom;
        if (atom->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Bury(atom);
        return nullptr;
    }
}

Atom* AtomTable::InternLocked(Shard& shard, std::string_view text, uint64_t hash) {
    const uint64_t tag = hash & kTagMask;
    const Slots* slots = shard.current.get();
    for (size_t i = hash & slots->mask;; i = (i + 1) & slots->mask) {
        const uint64_t slot = slots->slot[i].load(std::memory_order_relaxed);
        if (slot == 0) break;
        // A dying atom of the same text may still be here: it is passed by,
        // and its releaser removes it.
        if ((slot & kTagMask) == tag && AtomOf(slot)->view() == text && TryRef(AtomOf(slot))) return AtomOf(slot);
    }
    if ((shard.entries + 1) * 4 > shard.current->count() * 3) shard.Grow();
    const size_t bytes = RecordBytes(text.size());
    Atom* atom = shard.NewRecord(bytes);
    if (atom == nullptr) return nullptr;
    if (reinterpret_cast<uintptr_t>(atom) > kPointerMask) Die("an atom's address does not fit a slot");
    // The text, then the length, then the count, each published by the next.
    uint64_t* words = atom->words();
    const char* p = text.data();
    size_t n = text.size();
    for (; n >= 8; ++words, p += 8, n -= 8)
        std::atomic_ref<uint64_t>(*words).store(LoadWord(p), std::memory_order_relaxed);
    std::atomic_ref<uint64_t>(*words).store(n != 0 ? LoadTail(p, n) : 0, std::memory_order_relaxed);
    atom->length.store(static_cast<uint32_t>(text.size()), std::memory_order_release);
    atom->refs.store(1, std::memory_order_release);
    const Slots& target = *shard.current;
    size_t i = hash & target.mask;
    while (target.slot[i].load(std::memory_order_relaxed) != 0) i = (i + 1) & target.mask;
    target.slot[i].store(tag | (bytes > kPooledBytes ? kLockedOnly : 0) | reinterpret_cast<uintptr_t>(atom),
                         std::memory_order_release);
    ++shard.entries;
    ++shard.memory.atoms;
    shard.memory.recordBytes += static_cast<int64_t>(bytes);
    return atom;
}

Atom* AtomTable::Reference(std::string_view text, bool booked) {
    if (text.size() >= UINT32_MAX - 64) return nullptr;
    const uint64_t hash = Hash(text);
    Shard& shard = shards_[(hash >> 40) % kShards];
    Atom* atom = FindLive(shard, text, hash);
    if (atom == nullptr) {
        std::lock_guard hold(shard.lock);
        try {
            atom = InternLocked(shard, text, hash);
        } catch (const std::bad_alloc&) {
            return nullptr;  // a table that could not grow
        }
        if (atom == nullptr) return nullptr;
    }
    if (booked) Count(Tally::AtomRefs, 1);
    return atom;
}

Atom* AtomTable::Intern(std::string_view text) { return Reference(text, true); }

Atom* AtomTable::Pin(std::string_view text) {
    Atom* atom = Reference(text, false);
    if (atom == nullptr) throw std::bad_alloc();
    return atom;
}

void AtomTable::AddRef(Atom* atom) noexcept {
    if (atom == nullptr) return;
    atom->refs.fetch_add(1, std::memory_order_relaxed);
    Count(Tally::AtomRefs, 1);
}

void AtomTable::Release(Atom* atom) noexcept {
    if (atom == nullptr) return;
    Count(Tally::AtomRefs, -1);
    if (atom->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Bury(atom);
}

// The last reference went: out of the table, and the record to its free
// list. Nothing can revive an atom at zero, so it is this caller's alone.
void AtomTable::Bury(Atom* atom) noexcept {
    const std::string_view text = atom->view();
    const uint64_t hash = Hash(text);
    Shard& shard = shards_[(hash >> 40) % kShards];
    std::lock_guard hold(shard.lock);
    const Slots& slots = *shard.current;
    size_t hole = hash & slots.mask;
    for (;; hole = (hole + 1) & slots.mask) {
        const uint64_t slot = slots.slot[hole].load(std::memory_order_relaxed);
        if (slot == 0) Die("a dying atom is missing from its table");
        if (AtomOf(slot) == atom) break;
    }
    // Backward shift: each later entry of the cluster that may live in the
    // hole moves into it. A lock-free reader may miss an entry while it
    // moves; it then looks again under the lock.
    for (size_t next = (hole + 1) & slots.mask;; next = (next + 1) & slots.mask) {
        const uint64_t slot = slots.slot[next].load(std::memory_order_relaxed);
        if (slot == 0) break;
        const size_t home = Hash(AtomOf(slot)->view()) & slots.mask;
        const bool homeInGap = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (homeInGap) continue;
        slots.slot[hole].store(slot, std::memory_order_release);
        hole = next;
    }
    slots.slot[hole].store(0, std::memory_order_release);
    --shard.entries;
    const size_t bytes = RecordBytes(text.size());
    --shard.memory.atoms;
    shard.memory.recordBytes -= static_cast<int64_t>(bytes);
    shard.FreeRecord(atom, bytes);
}

AtomMemory AtomTable::Memory() const {
    AtomMemory total;
    for (size_t i = 0; i < kShards; ++i) {
        Shard& shard = shards_[i];
        std::lock_guard hold(shard.lock);
        total.atoms += shard.memory.atoms;
        total.recordBytes += shard.memory.recordBytes;
        total.slotBytes += shard.memory.slotBytes;
    }
    return total;
}

}  // namespace qelhost
