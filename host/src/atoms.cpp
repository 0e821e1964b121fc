// Interned string atoms: equal texts share one atom (and one text pointer)
// while any reference lives. Sharded so that threads interning different
// texts rarely meet on a lock.
#include <cstdlib>
#include <cstring>
#include <new>

#include "host_state.h"

namespace qelhost {

namespace {

uint32_t Hash(std::string_view text) noexcept {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    return h;
}

Atom* NewAtom(std::string_view text, uint32_t hash, bool pinned) {
    void* block = std::malloc(offsetof(Atom, text) + text.size() + 1);
    if (block == nullptr) return nullptr;
    auto* atom = new (block) Atom{{1}, hash, static_cast<uint32_t>(text.size()), pinned, {0}};
    std::memcpy(atom->text, text.data(), text.size());
    atom->text[text.size()] = '\0';
    return atom;
}

}  // namespace

AtomTable::AtomTable() = default;

AtomTable::~AtomTable() {
    for (Shard& shard : shards_)
        for (auto& [text, atom] : shard.atoms) std::free(atom);
}

Atom* AtomTable::Reference(std::string_view text, Use use) {
    const uint32_t hash = Hash(text);
    Shard& shard = shards_[hash % kShards];
    std::lock_guard hold(shard.lock);
    auto found = shard.atoms.find(text);
    Atom* atom = nullptr;
    if (found != shard.atoms.end()) {
        atom = found->second;
        if (use == Use::Pinned) atom->pinned = true;
        atom->refs.fetch_add(1, std::memory_order_relaxed);
    } else {
        atom = NewAtom(text, hash, use == Use::Pinned);
        if (atom == nullptr) return nullptr;
        shard.atoms.emplace(std::string_view(atom->text, atom->length), atom);
    }
    if (use == Use::Booked) booked_.fetch_add(1, std::memory_order_relaxed);
    return atom;
}

Atom* AtomTable::Intern(std::string_view text) { return Reference(text, Use::Booked); }

Atom* AtomTable::Pin(std::string_view text) {
    Atom* atom = Reference(text, Use::Pinned);
    if (atom == nullptr) throw std::bad_alloc();
    return atom;
}

void AtomTable::AddRef(Atom* atom) {
    if (atom == nullptr) return;
    atom->refs.fetch_add(1, std::memory_order_relaxed);
    booked_.fetch_add(1, std::memory_order_relaxed);
}

void AtomTable::Release(Atom* atom) {
    if (atom == nullptr) return;
    booked_.fetch_sub(1, std::memory_order_relaxed);
    // Fast path: not the last reference.
    uint32_t refs = atom->refs.load(std::memory_order_relaxed);
    while (refs > 1)
        if (atom->refs.compare_exchange_weak(refs, refs - 1, std::memory_order_acq_rel)) return;
    Shard& shard = shards_[atom->hash % kShards];
    // Under the shard lock, so that no Intern can revive an atom being freed.
    std::lock_guard hold(shard.lock);
    if (atom->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    shard.atoms.erase(std::string_view(atom->text, atom->length));
    std::free(atom);
}

}  // namespace qelhost
