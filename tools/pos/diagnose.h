// Why a text in the notation does not parse: the library tells where it
// stopped, this tells what it found there, as the notation's own rules say.
#pragma once

#include <string>
#include <string_view>

namespace pos {

struct SyntaxError final {
    std::string message;
    size_t offset = 0;  // where parsing stopped
};

// The first syntax error of text (which holds no NUL), or an empty message
// when it is well formed.
SyntaxError Diagnose(std::string_view text);

// Line and column (both from 1, the column in bytes) of an offset.
struct Place final {
    size_t line;
    size_t column;
    std::string_view lineText;
};
Place Locate(std::string_view text, size_t offset);

}  // namespace pos
