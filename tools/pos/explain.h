// The schema check explains a union by trying every alternative, so one
// mistake in a definition comes back as a line for each category that the
// definition does not have. This picks the lines that say what is wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pos {

struct Folded final {
    std::vector<std::string> decisive;  // library lines, word for word, in their order
    std::vector<std::string> notes;     // the tool's words, where no line was decisive
    size_t folded = 0;                  // lines left out
};

// categoryOf gives the category a schema entry names ("" when it has none
// or is no definition), so that the alternatives of other categories fold.
Folded FoldAlternatives(const std::vector<std::string>& lines,
                        const std::function<std::string(const std::string& entry)>& categoryOf = {});

}  // namespace pos
