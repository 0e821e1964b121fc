// The pos tool's own readers against the library: the diagnostic scanner
// must stop exactly where CreateFromText stops (or pass what it accepts),
// the lint pass must get through whatever parses, and every value that
// parses must come back equal through the JSON mapping.
#include <cstdint>
#include <string>
#include <vector>

#include "diagnose.h"
#include "fuzz_host.h"
#include "json.h"
#include "lint.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using qelhost::pos::Ref;
    qelfuzz::FuzzHost& f = qelfuzz::Shared();
    {
        // The library reads up to the first NUL, as does the tool.
        std::string text(reinterpret_cast<const char*>(data), size);
        text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        long offset = -1;
        const Ref value = f.pos().FromText(text.c_str(), &offset);
        const pos::SyntaxError why = pos::Diagnose(text);
        if (value) {
            if (!why.message.empty()) {
                std::fprintf(stderr, "scanner refused what the library read: %s at %zu\n", why.message.c_str(), why.offset);
                std::abort();
            }
            pos::Lint(text);
            std::string json;
            try {
                json = pos::ToJson(f.pos(), value);
            } catch (const pos::Unmappable&) {
                // A key that is not UTF-8 has no JSON form: refused, as documented.
            }
            if (!json.empty() && f.pos().IsEqual(value, value)) {  // NaN is unequal to itself
                std::vector<pos::JsonNote> notes;
                pos::JsonError error;
                const Ref back = pos::FromJson(f.pos(), json, {}, notes, error);
                if (!back || !f.pos().IsEqual(value, back) || !notes.empty()) {
                    std::fprintf(stderr, "JSON round trip failed: %s %s\n%s\n", error.path.c_str(),
                                 error.message.c_str(), json.c_str());
                    std::abort();
                }
            }
        } else if (offset < 0 || why.message.empty() || why.offset != static_cast<size_t>(offset)) {
            std::fprintf(stderr, "library stopped at %ld, scanner at %zu (%s)\n", offset, why.offset,
                         why.message.empty() ? "no error" : why.message.c_str());
            std::abort();
        }
    }
    f.CheckBooks();
    return 0;
}
