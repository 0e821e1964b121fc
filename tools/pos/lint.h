// What the notation accepts but a person probably did not mean: found in
// text that parses, so that the tool can say it before the meaning is lost.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pos {

struct Finding final {
    size_t offset;  // into the text the finding was made in
    std::string message;
};

// The findings of a text that the library parsed, in text order.
std::vector<Finding> Lint(std::string_view text);

}  // namespace pos
