// Messages to the user on standard error: plain ones ("pos: ..."), and
// those tied to a place in a file (FILE:LINE:COLUMN, the line, a caret),
// in colour on a terminal unless NO_COLOR is set.
#pragma once

#include <string>
#include <string_view>

namespace pos {

enum class ColourChoice { Auto, Always, Never };

struct Ui final {
    bool colour = false;
    bool quiet = false;    // -q: nothing but errors
    bool verbose = false;  // -v: every line, nothing folded
};
Ui& CurrentUi();
// Decides colour for standard error once the choice is known.
void ChooseColour(ColourChoice choice);

void Error(const std::string& message);    // pos: message
void Warning(const std::string& message);  // pos: warning: message (not with -q)

enum class Severity { Error, Warning };
// NAME:LINE:COLUMN: [warning: ]message, the line (a window of it when long)
// and a caret under the column. Warnings are dropped with -q.
void ReportAt(const std::string& name, std::string_view text, size_t offset, Severity severity,
              const std::string& message);

// Line and column (both from 1, the column in bytes) of an offset.
struct Place final {
    size_t line;
    size_t column;
    std::string_view lineText;
};
Place Locate(std::string_view text, size_t offset);

}  // namespace pos
