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

}  // namespace pos
