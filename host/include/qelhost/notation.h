// A writer of the property objects' text notation, built on the published
// tables: what it writes reads back (through CreateFromText) to an equal
// object, or it fails naming the value that the notation cannot express.
#pragma once

#include <stdexcept>
#include <string>

#include "qelhost/pos.h"

namespace qelhost::notation {

// A value the notation cannot express, with its path (such as items[3].name).
class Inexpressible final : public std::runtime_error {
public:
    Inexpressible(const std::string& path, const std::string& why)
        : std::runtime_error(why + " at " + (path.empty() ? std::string("the top") : path)), path(path) {}
    std::string path;
};

struct Style final {
    bool pretty = false;  // one entry a line, indented with tabs
};

std::string Write(const pos::Client& client, const pos::Ref& value, Style style = {});

// The limits of the notation's tokens.
inline constexpr size_t kMaxTokenBytes = 100;
inline constexpr size_t kMaxUnicodeUnits = 100;
inline constexpr unsigned kMaxNesting = 1000;

}  // namespace qelhost::notation
