#include "report.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#define POS_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define POS_ISATTY(fd) isatty(fd)
#endif

namespace pos {

namespace {

const char* Paint(const char* code) { return CurrentUi().colour ? code : ""; }
constexpr const char* kBold = "\033[1m";
constexpr const char* kRed = "\033[1;31m";
constexpr const char* kMagenta = "\033[1;35m";
constexpr const char* kGreen = "\033[1;32m";
constexpr const char* kReset = "\033[0m";

}  // namespace

Ui& CurrentUi() {
    static Ui ui;
    return ui;
}

void ChooseColour(ColourChoice choice) {
    const char* noColour = std::getenv("NO_COLOR");
    const bool wanted = noColour == nullptr || *noColour == '\0';
    CurrentUi().colour = choice == ColourChoice::Always ||
                         (choice == ColourChoice::Auto && wanted && POS_ISATTY(2) != 0);
}

void Error(const std::string& message) {
    std::cerr << Paint(kBold) << "pos:" << Paint(kReset) << " " << message << "\n";
}

void Warning(const std::string& message) {
    if (CurrentUi().quiet) return;
    std::cerr << Paint(kBold) << "pos:" << Paint(kReset) << " " << Paint(kMagenta) << "warning:" << Paint(kReset)
              << " " << message << "\n";
}

Place Locate(std::string_view text, size_t offset) {
    if (offset > text.size()) offset = text.size();
    size_t line = 1;
    size_t start = 0;
    for (size_t i = 0; i < offset; ++i)
        if (text[i] == '\n') {
            ++line;
            start = i + 1;
        }
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view lineText = text.substr(start, end - start);
    if (!lineText.empty() && lineText.back() == '\r') lineText.remove_suffix(1);
    return {line, offset - start + 1, lineText};
}

void ReportAt(const std::string& name, std::string_view text, size_t offset, Severity severity,
              const std::string& message) {
    if (severity == Severity::Warning && CurrentUi().quiet) return;
    const Place place = Locate(text, offset);
    // A window of the line around the column, so that a huge line stays readable.
    constexpr size_t kWindow = 100;
    size_t from = place.column > kWindow / 2 ? place.column - 1 - kWindow / 2 : 0;
    if (from > place.lineText.size()) from = place.lineText.size();
    std::string shown(place.lineText.substr(from, kWindow));
    std::string caret(from > 0 ? 3 : 0, ' ');
    if (from > 0) shown = "..." + shown;
    if (from + kWindow < place.lineText.size()) shown += "...";
    for (size_t i = from; i + 1 < place.column && i < place.lineText.size(); ++i)
        caret += place.lineText[i] == '\t' ? '\t' : ' ';
    std::cerr << Paint(kBold) << name << ":" << place.line << ":" << place.column << ":" << Paint(kReset) << " ";
    if (severity == Severity::Warning)
        std::cerr << Paint(kMagenta) << "warning:" << Paint(kReset) << " " << message << "\n";
    else
        std::cerr << Paint(kRed) << message << Paint(kReset) << "\n";
    std::cerr << shown << "\n" << caret << Paint(kGreen) << "^" << Paint(kReset) << "\n";
}

}  // namespace pos
