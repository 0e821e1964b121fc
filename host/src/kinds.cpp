#include "kinds.h"

#include <atomic>
#include <string>

namespace qelhost {

namespace {

constexpr size_t kFirstSlots = 64;

uint64_t Mix(uint64_t h, const void* p) noexcept {
    h = (h ^ reinterpret_cast<uintptr_t>(p)) * 0x9E3779B97F4A7C15;
    return h ^ (h >> 29);
}

uint64_t HashOf(const Kind& k) noexcept {
    uint64_t h = Mix(0, k.implementationName);
    h = Mix(h, k.interfaceName);
    h = Mix(h, reinterpret_cast<const void*>(k.destroy));
    return Mix(h, k.hostKind);
}

bool SameKey(const Kind& a, const Kind& b) noexcept {
    return a.implementationName == b.implementationName && a.interfaceName == b.interfaceName &&
           a.destroy == b.destroy && a.hostKind == b.hostKind;
}

}  // namespace

struct KindTable::Slots final {
    explicit Slots(size_t count) : mask(count - 1), slot(new std::atomic<const Kind*>[count]()) {}
    const size_t mask;
    const std::unique_ptr<std::atomic<const Kind*>[]> slot;
};

KindTable::KindTable(AtomTable& atoms, SignatureFormat format) : atoms_(atoms), format_(format) {
    tables_.push_back(std::make_unique<Slots>(kFirstSlots));
    slots_.store(tables_.back().get(), std::memory_order_release);
}

KindTable::~KindTable() = default;

const Kind* KindTable::Find(Atom* implementationName, Atom* interfaceName, QELDestroyProc destroy,
                            void* hostKind) {
    const Kind key{implementationName, interfaceName, nullptr, destroy, hostKind, 0};
    const uint64_t hash = HashOf(key);
    const Slots* slots = slots_.load(std::memory_order_acquire);
    for (size_t i = hash & slots->mask;; i = (i + 1) & slots->mask) {
        const Kind* kind = slots->slot[i].load(std::memory_order_acquire);
        if (kind == nullptr) break;
        if (SameKey(*kind, key)) return kind;
    }
    std::lock_guard hold(lock_);
    return Make(key, hash);
}

const Kind* KindTable::Make(const Kind& key, uint64_t hash) {
    Slots* slots = tables_.back().get();
    size_t i = hash & slots->mask;
    for (;; i = (i + 1) & slots->mask) {
        const Kind* kind = slots->slot[i].load(std::memory_order_relaxed);
        if (kind == nullptr) break;
        if (SameKey(*kind, key)) return kind;  // made while this caller waited
    }
    if (count_ == kMaxKinds) throw std::bad_alloc();
    if ((count_ + 1) * 2 > slots->mask + 1) {
        tables_.reserve(tables_.size() + 1);  // nothing may fail once the new slots are published
        auto grown = std::make_unique<Slots>((slots->mask + 1) * 2);
        for (uint32_t n = 0; n < count_; ++n) {
            const Kind& kind = At(n);
            size_t j = HashOf(kind) & grown->mask;
            while (grown->slot[j].load(std::memory_order_relaxed) != nullptr) j = (j + 1) & grown->mask;
            grown->slot[j].store(&kind, std::memory_order_relaxed);
        }
        slots_.store(grown.get(), std::memory_order_release);
        tables_.push_back(std::move(grown));
        slots = tables_.back().get();
        i = hash & slots->mask;
        while (slots->slot[i].load(std::memory_order_relaxed) != nullptr) i = (i + 1) & slots->mask;
    }
    Atom*& signature = signatures_[{key.implementationName, key.interfaceName}];
    if (signature == nullptr) {
        const std::string_view implementation = key.implementationName->view();
        const std::string_view interface = key.interfaceName->view();
        std::string text;
        text.append(format_.prefix)
            .append(format_.interfaceFirst ? interface : implementation)
            .append(format_.separator)
            .append(format_.interfaceFirst ? implementation : interface)
            .append(format_.suffix);
        signature = atoms_.Pin(text);
    }
    const uint32_t number = count_;
    Kind* chunk = chunks_[number / kChunkKinds].load(std::memory_order_relaxed);
    if (chunk == nullptr) {
        owned_.reserve(owned_.size() + 1);
        owned_.push_back(std::make_unique<Kind[]>(kChunkKinds));
        chunk = owned_.back().get();
        chunks_[number / kChunkKinds].store(chunk, std::memory_order_release);
    }
    Kind& kind = chunk[number % kChunkKinds];
    kind = key;
    kind.signature = signature;
    kind.number = number;
    // The names stay with the kind as long as the host.
    atoms_.Keep(key.implementationName);
    atoms_.Keep(key.interfaceName);
    slots->slot[i].store(&kind, std::memory_order_release);
    ++count_;
    return &kind;
}

size_t KindTable::Count() const {
    std::lock_guard hold(lock_);
    return count_;
}

}  // namespace qelhost
