// Dictionaries driven by hostile sequences of puts, removals, lookups, walks
// and clones through the published procedures, against a std::map: every
// answer must agree with the map, every value must be released exactly once,
// nothing may be reported, and the host's books must be back after each input.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "fuzz_host.h"

namespace {

using qelhost::pos::Ref;
namespace contract = qelutils::contract;

// Each input is a list of steps, an operation byte and a key byte (some
// operations take one more byte).
enum Operation : uint8_t { Put, PutNumber, Remove, Get, Walk, PartWalk, Clone, kOperations };

// Short keys from a small alphabet, so that keys collide, are prefixes of one
// another and include the empty key and bytes above 0x7F.
std::string KeyOf(uint8_t byte) {
    static const char kAlphabet[] = {'a', 'b', 'A', '0', '\x01', '\x7F', '\x80', '\xE9'};
    std::string key;
    for (unsigned i = 0; i < byte % 4u; ++i) key += kAlphabet[(byte >> (2 + i)) & 7u];
    return key;
}

struct Entry final {
    bool number;
    uint32_t id;  // the number, or the raw pointer's address
};

uint64_t gReleases = 0;
void CountRelease(void*) { ++gReleases; }

[[noreturn]] void Disagree(const char* what, const std::string& key) {
    std::fprintf(stderr, "disagreement: %s (key of %zu bytes)\n", what, key.size());
    std::abort();
}

class Session final {
public:
    explicit Session(const qelfuzz::FuzzHost& f) : pos_(f.pos()), dict_(pos_.Dict()) {}

    void Step(Operation op, const std::string& key, uint8_t extra) {
        switch (op) {
            case Put:
            case PutNumber: {
                const Entry entry{op == PutNumber, ++serial_};
                const Ref value = entry.number
                                      ? pos_.Number(entry.id)
                                      : pos_.RawPointer(reinterpret_cast<void*>(uintptr_t{entry.id}), &CountRelease);
                if (!entry.number) ++rawPointers_;
                pos_.Put(dict_, key.c_str(), value);
                model_[key] = entry;
                break;
            }
            case Remove:
                pos_.Remove(dict_, key.c_str());
                model_.erase(key);
                break;
            case Get:
                Check(key);
                break;
            case Walk:
                CheckAll(dict_);
                break;
            case PartWalk: {
                // An iterator moved extra % 8 steps stands on that key.
                const Ref it = Ref::Take(pos_.Proc<contract::POSDictIteratorInterface::NewPOSDictIterator>()(dict_.get()));
                pos_.Proc<contract::POSDictIteratorInterface::Begin>()(it.get());
                const unsigned steps = extra % 8u;
                for (unsigned i = 0; i < steps; ++i) pos_.Proc<contract::POSDictIteratorInterface::Next>()(it.get());
                auto m = model_.begin();
                for (unsigned i = 0; i < steps && m != model_.end(); ++i) ++m;
                const bool done = pos_.Proc<contract::POSDictIteratorInterface::IsDone>()(it.get()) != 0;
                if (done != (m == model_.end())) Disagree("iterator end", key);
                if (!done && m->first != pos_.Proc<contract::POSDictIteratorInterface::CurKey>()(it.get())) Disagree("iterator key", m->first);
                break;
            }
            case Clone: {
                const Ref copy = pos_.Clone(dict_);
                if (!copy || copy.get() == dict_.get()) Disagree("clone", key);
                if (!pos_.IsEqual(copy, dict_) || !pos_.IsEqual(dict_, copy)) Disagree("clone not equal", key);
                CheckAll(copy);
                // The copy is a dictionary of its own: changing it (no value
                // is ever -1) leaves the original as it was.
                pos_.Put(copy, key.c_str(), pos_.Number(-1));
                if (pos_.IsEqual(copy, dict_)) Disagree("a changed copy still equal", key);
                break;
            }
            default:
                break;
        }
    }

    void Finish() {
        CheckAll(dict_);
        for (const auto& [key, entry] : model_) Check(key);
        dict_.reset();
        if (gReleases != rawPointers_) Disagree("release count", "");
    }

private:
    // Get agrees with the model: absent, or the very value put last.
    void Check(const std::string& key) {
        const Ref found = pos_.Get(dict_, key.c_str());
        const auto it = model_.find(key);
        if (bool(found) != (it != model_.end())) Disagree("Get", key);
        if (!found) return;
        const Entry& entry = it->second;
        if (entry.number ? pos_.GetNumber(found) != entry.id
                         : pos_.Proc<contract::POSRawPointerInterface::GetRawPointer>()(found.get()) != reinterpret_cast<void*>(uintptr_t{entry.id}))
            Disagree("value", key);
    }

    // The keys in order, and each one found.
    void CheckAll(const Ref& dict) {
        const std::vector<std::string> keys = pos_.Keys(dict);
        if (keys.size() != model_.size()) Disagree("count", "");
        auto m = model_.begin();
        for (const std::string& key : keys) {
            if (key != m->first) Disagree("order", key);
            if (!pos_.Get(dict, key.c_str())) Disagree("walked key not found", key);
            ++m;
        }
    }

    const qelhost::pos::Client& pos_;
    Ref dict_;
    std::map<std::string, Entry> model_;  // std::string orders by unsigned bytes, as the tree must
    uint32_t serial_ = 0;
    uint64_t rawPointers_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    gReleases = 0;
    {
        Session session(f);
        for (size_t i = 0; i + 1 < size; i += 2) {
            const auto op = static_cast<Operation>(data[i] % kOperations);
            const uint8_t extra = i + 2 < size ? data[i + 2] : 0;
            session.Step(op, KeyOf(data[i + 1]), extra);
        }
        session.Finish();
    }
    if (!f.host().Reports().empty()) {
        std::fprintf(stderr, "reported: %s\n", f.host().Reports().front().c_str());
        std::abort();
    }
    f.CheckBooks();
    return 0;
}
