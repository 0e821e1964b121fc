// The mapping between property objects and JSON (docs/json.md): objects and
// dictionaries, arrays, numbers and UTF-8 strings map directly; what JSON
// lacks travels in one-member objects whose key begins with "$", and what
// the property objects lack (true, false, null) is refused unless an option
// says how to map it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "qelhost/pos.h"

namespace pos {

struct JsonOptions final {
    enum class Bools { Refuse, Numbers, Strings };
    enum class Nulls { Refuse, Drop };
    Bools bools = Bools::Refuse;
    Nulls nulls = Nulls::Refuse;
};

// Something worth saying about the input that does not stop it.
struct JsonNote final {
    std::string path;  // a tool address, "." for the whole document
    std::string message;
};

// Why a JSON text gave no value: a syntax error at a byte, or a value
// without counterpart at a path.
struct JsonError final {
    bool syntax = false;
    size_t offset = 0;  // syntax: the byte the parser stopped at
    std::string path;   // otherwise
    std::string message;
};

// Nesting allowed in either direction: the notation's own bound.
inline constexpr unsigned kMaxJsonNesting = 1000;

qelhost::pos::Ref FromJson(const qelhost::pos::Client& pos, std::string_view text, const JsonOptions& options,
                           std::vector<JsonNote>& notes, JsonError& error);

// A value JSON cannot carry (a raw pointer, a number that is not finite, a
// key that is not UTF-8), with its path.
class Unmappable final : public std::runtime_error {
public:
    Unmappable(const std::string& path, const std::string& why)
        : std::runtime_error(why + " at " + path), path(path) {}
    std::string path;
};

// Indented with two spaces, ending in a line feed.
std::string ToJson(const qelhost::pos::Client& pos, const qelhost::pos::Ref& value);

// Helpers the mapping is made of, shared with tests.
std::string Base64(std::string_view bytes);
bool FromBase64(std::string_view text, std::string& bytes);
bool IsUtf8(std::string_view bytes);
// UTF-16 units to UTF-8; false when they are not well formed (a lone
// surrogate), leaving the units unconverted.
bool Utf16ToUtf8(const std::u16string& units, std::string& out);
std::u16string Utf8ToUtf16(std::string_view utf8);  // input must be valid UTF-8

}  // namespace pos
