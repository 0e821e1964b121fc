// The tool's addresses: the library's DeepGet syntax (a.b[2].k), plus what
// scripts need: "." for the whole document, a leading [n] on a top-level
// array, negative subscripts counted from the end, and keys holding any byte
// in brackets and quotes (["a.b"]) or behind backslashes (a\.b).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qelhost/pos.h"

namespace pos {

struct Step final {
    enum class Kind { Key, Index };
    Kind kind;
    std::string key;    // Key
    int64_t index = 0;  // Index; negative counts from the end
};

struct Address final {
    std::vector<Step> steps;  // none: the whole document
    bool IsRoot() const { return steps.empty(); }
};

// False with *error naming the problem and its byte position.
bool ParseAddress(std::string_view text, Address& address, std::string* error);

// The text that parses back to these steps, as short as it can be: "." for
// none, bare keys where they are plain words, ["..."] otherwise.
std::string FormatAddress(const std::vector<Step>& steps);
// One key step, for paths built while walking a value.
std::string KeyStep(std::string_view key, bool first);

// The value at the address, or null with *why saying which step found
// nothing and why (printed after "no value at ").
qelhost::pos::Ref Walk(const qelhost::pos::Client& pos, const qelhost::pos::Ref& root, const Address& address,
                       std::string* why);

// Puts value at the address: a dictionary key is added or replaced, an
// array member replaced, or appended when the subscript is the count. The
// root itself is replaced by returning the new root. Null with *why when
// the place cannot be reached.
qelhost::pos::Ref Set(const qelhost::pos::Client& pos, const qelhost::pos::Ref& root, const Address& address,
                      const qelhost::pos::Ref& value, std::string* why);

// Removes the value at the address; false with *why when there is none.
bool Delete(const qelhost::pos::Client& pos, const qelhost::pos::Ref& root, const Address& address,
            std::string* why);

}  // namespace pos

namespace pos {
// "a number", "an array", ...: for messages.
const char* KindOf(const qelhost::pos::Client& pos, const qelhost::pos::Ref& value);
}  // namespace pos
