// Container kinds: what every container made with the same implementation
// name, interface name, destroy procedure and host methods shares, its
// signature atom included. A kind is made once, at the first container of
// its kind, and kept as long as the host; a container records only its kind.
#pragma once

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
};

class KindTable final {
public:
    KindTable(AtomTable& atoms, SignatureFormat format);
    ~KindTable();
    KindTable(const KindTable&) = delete;
    KindTable& operator=(const KindTable&) = delete;

    // Found without a lock once made; throws std::bad_alloc.
    const Kind* Find(Atom* implementationName, Atom* interfaceName, QELDestroyProc destroy, void* hostKind);
    size_t Count() const;

private:
    struct Slots;
    const Kind* Make(const Kind& key, uint64_t hash);

    AtomTable& atoms_;
    const SignatureFormat format_;
    mutable std::mutex lock_;
    std::atomic<Slots*> slots_{nullptr};
    std::vector<std::unique_ptr<Slots>> tables_;  // the current one last
    std::vector<std::unique_ptr<Kind>> kinds_;
    std::map<std::pair<Atom*, Atom*>, Atom*> signatures_;
};

}  // namespace qelhost
