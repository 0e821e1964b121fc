// Hostile addresses: the input is a value text, a NUL byte, and an address
// (with no NUL byte, the whole input is an address into a fixed catalogue).
// DeepGet must find exactly the value that a plain walk with Get and GetAt
// finds, report nothing, and change nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_host.h"
#include "qelhost/notation.h"

namespace {

using qelhost::pos::Ref;

constexpr const char kCatalogue[] =
    "<title (Spring catalogue) items [<id 1 dims <w 7.5 h 24> tags [power drill] () <(a.b) [[1 2] <x 3>]>>"
    " <id 2 (odd[key) 5>] () <() [7 <k (v)>]> n 12>";

constexpr uint64_t kMaxSubscript = 2147483647;

// The address walked step by step through the published Get and GetAt.
Ref Walk(const qelhost::pos::Client& pos, const Ref& dict, std::string address) {
    if (address.empty() || address[0] != '.') address.insert(address.begin(), '.');
    Ref current = dict;
    size_t at = 0;
    for (;;) {
        Ref found;
        if (address[at] == '.') {
            if (!pos.IsDict(current)) return {};
            const size_t end = address.find_first_of(".[", at + 1);
            const size_t stop = end == std::string::npos ? address.size() : end;
            found = pos.Get(current, address.substr(at + 1, stop - at - 1).c_str());
            if (!found) return {};
            at = stop;
        } else if (address[at] == '[') {
            if (!pos.IsArray(current)) return {};
            size_t p = at + 1;
            uint64_t index = 0;
            for (; p < address.size() && address[p] >= '0' && address[p] <= '9'; ++p)
                index = index >= kMaxSubscript ? kMaxSubscript
                                               : std::min<uint64_t>(index * 10 + (address[p] - '0'), kMaxSubscript);
            if (p == at + 1 || p == address.size() || address[p] != ']') return {};
            if (index >= pos.Count(current)) return {};
            found = pos.GetAt(current, static_cast<uint32_t>(index));
            if (!found) return {};  // an empty slot
            at = p + 1;
        } else {
            return {};
        }
        if (at == address.size()) return found;
        current = found;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    {
        const std::string input(reinterpret_cast<const char*>(data), size);
        const size_t split = input.find('\0');
        const bool own = split != std::string::npos;
        const std::string text = own ? input.substr(0, split) : kCatalogue;
        const std::string address = own ? input.substr(split + 1) : input;
        const Ref dict = f.pos().FromText(text.c_str());
        if (dict && f.pos().IsDict(dict) && address.find('\0') == std::string::npos) {
            const std::string before = qelhost::notation::Write(f.pos(), dict);
            const Ref found = f.pos().DeepGet(dict, address.c_str());
            const Ref expected = Walk(f.pos(), dict, address);
            if (found.get() != expected.get()) {
                std::fprintf(stderr, "DeepGet \"%s\" gave %p, the walk %p\n", address.c_str(),
                             static_cast<void*>(found.get()), static_cast<void*>(expected.get()));
                std::abort();
            }
            if (!f.host().Reports().empty()) {
                std::fprintf(stderr, "DeepGet reported: %s\n", f.host().Reports().front().c_str());
                std::abort();
            }
            if (qelhost::notation::Write(f.pos(), dict) != before) std::abort();
        }
    }
    f.CheckBooks();
    return 0;
}
