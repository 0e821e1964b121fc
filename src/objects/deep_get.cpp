// DeepGet: a value inside nested dictionaries and arrays, found by one
// address such as a.b[2].k. Every failure gives no object.
//
// The address is walked where it stands: a key is looked up by its bytes,
// so neither the working copy of the address (with its leading '.') nor an
// atom for each key is needed, and the found member is handed out as the
// collection holds it. Nothing a host can see changes but the host calls
// that such transient work would make.
#include <cstring>
#include <string_view>

#include "objects/pos_procedures.h"

namespace NPOSObjectImpl {

namespace {

constexpr uint32_t kMaxSubscript = 2147483647;

}  // namespace

QELContainerHandle DeepGet(const Dict& dict, const char* address) {
    try {
        // Without a leading '.', the address begins with a key of the start.
        const char* rest = address;
        bool keyStep = true;
        if (*rest == '.') ++rest;
        const BaseObject* current = &dict;
        for (;;) {
            QELContainerHandle found = nullptr;
            if (keyStep) {
                const auto* d = As<Dict>(current);
                if (d == nullptr) return nullptr;  // "Dict::DeepGet entry on non-dict"
                const size_t length = std::strcspn(rest, ".[");
                const DictNode* node = d->tree.Find(std::string_view(rest, length));
                if (node == nullptr) return nullptr;  // "Dict::DeepGet cannot locate key"
                found = node->value.handle();
                rest += length;
            } else {
                const auto* a = As<Array>(current);
                if (a == nullptr) return nullptr;  // "Dict::DeepGet subscript on non-array"
                const char* digits = rest;
                uint64_t index = 0;
                const char* p = digits;
                for (; *p >= '0' && *p <= '9'; ++p)
                    index = index >= kMaxSubscript ? kMaxSubscript : index * 10 + static_cast<unsigned>(*p - '0');
                if (index > kMaxSubscript) index = kMaxSubscript;
                if (p == digits || *p != ']') return nullptr;  // "Dict::DeepGet malformed array subscript []"
                found = a->GetAt(static_cast<uint32_t>(index));
                if (found == nullptr) return nullptr;  // "Dict::DeepGet subscript out of range"
                rest = p + 1;
            }
            if (*rest == '\0') return found;
            if (*rest == '.')
                keyStep = true;
            else if (*rest == '[')
                keyStep = false;
            else
                return nullptr;  // "Dict::DeepGet malformed address at: ..."
            ++rest;
            current = Implementation(found);
        }
    } catch (...) {
        return nullptr;  // "Dict::DeepGet lookup failed"
    }
}

}  // namespace NPOSObjectImpl
