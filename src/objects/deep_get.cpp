// DeepGet: a value inside nested dictionaries and arrays, found by one
// address such as a.b[2].k. Every failure gives no object.
#include <cstring>

#include "frame/host_calls.h"
#include "frame/host_services.h"
#include "objects/pos_procedures.h"

namespace NPOSObjectImpl {

namespace {

// The host-heap working copy of the address, with the leading '.' added.
class AddressCopy final {
public:
    explicit AddressCopy(const char* address) {
        const size_t n = std::strlen(address);
        const bool dot = address[0] != '.';
        text_ = static_cast<char*>(QEL_T_MT::HostAlloc(n + (dot ? 1 : 0) + 1));
        text_[0] = '.';
        std::memcpy(text_ + (dot ? 1 : 0), address, n + 1);
    }
    ~AddressCopy() { QEL_T_MT::host::Free(text_); }
    AddressCopy(const AddressCopy&) = delete;
    AddressCopy& operator=(const AddressCopy&) = delete;
    char* text() noexcept { return text_; }

private:
    char* text_;
};

constexpr uint32_t kMaxSubscript = 2147483647;

}  // namespace

CPOSObject DeepGet(const Dict& dict, const char* address) {
    try {
        AddressCopy copy(address);
        char* rest = copy.text();
        const BaseObject* current = &dict;
        for (;;) {
            CPOSObject found;
            if (*rest == '.') {
                const auto* d = As<Dict>(current);
                if (d == nullptr) return {};  // "Dict::DeepGet entry on non-dict"
                char* key = rest + 1;
                char* end = key + std::strcspn(key, ".[");
                const char saved = *end;
                *end = '\0';  // the copy may be overwritten, never the atom's text
                found = d->Get(key, Lookup::Quiet);
                *end = saved;
                if (found.empty()) return {};  // "Dict::DeepGet cannot locate key"
                rest = end;
            } else if (*rest == '[') {
                const auto* a = As<Array>(current);
                if (a == nullptr) return {};  // "Dict::DeepGet subscript on non-array"
                const char* digits = rest + 1;
                uint64_t index = 0;
                const char* p = digits;
                for (; *p >= '0' && *p <= '9'; ++p)
                    index = index >= kMaxSubscript ? kMaxSubscript : index * 10 + static_cast<unsigned>(*p - '0');
                if (index > kMaxSubscript) index = kMaxSubscript;
                if (p == digits || *p != ']') return {};  // "Dict::DeepGet malformed array subscript []"
                found = a->GetAt(static_cast<uint32_t>(index));
                if (found.empty()) return {};  // "Dict::DeepGet subscript out of range"
                rest = const_cast<char*>(p + 1);
            } else {
                return {};  // "Dict::DeepGet malformed address at: ..."
            }
            if (*rest == '\0') return found;
            current = Implementation(found.handle());
        }
    } catch (...) {
        return {};  // "Dict::DeepGet lookup failed"
    }
}

}  // namespace NPOSObjectImpl
