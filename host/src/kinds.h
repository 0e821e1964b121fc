// Container kinds: what every container made with the same implementation
// name, interface name, destroy procedure and host methods shares, its
// signature atom included. A kind is made once, at the first container of
// its kind, and kept as long as the host; a container records only its
// kind's number, so that its own fields take eight bytes.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "atoms.h"
#include "qelutils/qelutils.h"

namespace qelhost {

// How a kind's signature text is made from its two names.
struct SignatureFormat final {
    std::string_view prefix;
    bool interfaceFirst;
    std::string_view separator;
    std::string_view suffix;
};

struct Kind final {
    Atom* implementationName;  // references of the host's own, as is the signature's
    Atom* interfaceName;
    Atom* signature;  // one per pair of names, whatever the destroy procedure
    QELDestroyProc destroy;
    void* hostKind;  // methods of host-implemented containers (streams), or null
    uint32_t number;  // below KindTable::kMaxKinds
};

class KindTable final {
public:
    KindTable(AtomTable& atoms, SignatureFormat format);
    ~KindTable();
    KindTable(const KindTable&) = delete;
    KindTable& operator=(const KindTable&) = delete;

    // Found without a lock once made; throws std::bad_alloc, also when
    // there are kMaxKinds already.
    const Kind* Find(Atom* implementationName, Atom* interfaceName, QELDestroyProc destroy, void* hostKind);
    // The kind of a number that Find gave out, without a lock.
    const Kind& At(uint32_t number) const noexcept {
        return chunks_[number / kChunkKinds].load(std::memory_order_acquire)[number % kChunkKinds];
    }
    size_t Count() const;

    static constexpr uint32_t kChunkKinds = 256;
    static constexpr uint32_t kMaxKinds = uint32_t{1} << 20;

private:
    struct Slots;
    const Kind* Make(const Kind& key, uint64_t hash);

    AtomTable& atoms_;
    const SignatureFormat format_;
    mutable std::mutex lock_;
    std::atomic<Slots*> slots_{nullptr};
    std::vector<std::unique_ptr<Slots>> tables_;  // the current one last
    // Kinds by number, in chunks that never move.
    std::array<std::atomic<Kind*>, kMaxKinds / kChunkKinds> chunks_{};
    std::vector<std::unique_ptr<Kind[]>> owned_;
    uint32_t count_ = 0;
    std::map<std::pair<Atom*, Atom*>, Atom*> signatures_;
};

}  // namespace qelhost
