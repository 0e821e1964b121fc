#include "explain.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace pos {

namespace {

constexpr std::string_view kUnion = " Not a valid union type: Trying ";
constexpr std::string_view kTrying = "Trying ";
constexpr std::string_view kMismatchHead = "category (required, type != k";
constexpr std::string_view kMismatchTail = "): String is not one of the enumerated values";

struct Line final {
    std::string context;  // before the first alternative
    std::string tail;     // after the last one
    bool alternative;     // under a union at all
};

Line Split(const std::string& line) {
    const size_t first = line.find(kUnion);
    if (first == std::string::npos) return {line, line, false};
    // The tail starts after the last "Trying NAME: ".
    size_t last = line.rfind(kTrying);
    const size_t colon = line.find(": ", last);
    return {line.substr(0, first), colon == std::string::npos ? line : line.substr(colon + 2), true};
}

// "category (required, type != kDict): String is not ...": the definition
// is simply not of that alternative's category; the category's name.
std::string Mismatch(const std::string& tail) {
    if (tail.rfind(kMismatchHead, 0) != 0) return {};
    const size_t end = tail.find(kMismatchTail, kMismatchHead.size());
    if (end == std::string::npos || end + kMismatchTail.size() != tail.size()) return {};
    std::string name = tail.substr(kMismatchHead.size(), end - kMismatchHead.size());
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

}  // namespace

Folded FoldAlternatives(const std::vector<std::string>& lines) {
    Folded out;
    std::map<std::string, std::vector<std::string>> categories;  // context -> categories tried
    std::set<std::string> decisiveContexts;
    std::set<std::pair<std::string, std::string>> seen;
    std::vector<std::string> order;
    for (const std::string& text : lines) {
        const Line line = Split(text);
        if (!line.alternative) {
            out.decisive.push_back(text);
            continue;
        }
        if (std::find(order.begin(), order.end(), line.context) == order.end()) order.push_back(line.context);
        const std::string category = Mismatch(line.tail);
        if (!category.empty()) {
            categories[line.context].push_back(category);
            continue;
        }
        decisiveContexts.insert(line.context);
        // The same complaint from several alternatives is said once.
        if (seen.insert({line.context, line.tail}).second) out.decisive.push_back(text);
    }
    for (const std::string& context : order) {
        if (decisiveContexts.count(context) != 0) continue;
        std::string list;
        for (const std::string& c : categories[context]) list += (list.empty() ? "" : ", ") + c;
        out.notes.push_back(context + " its category is none of those the alternatives take (" + list + ")");
    }
    out.folded = lines.size() - out.decisive.size();
    return out;
}

}  // namespace pos
