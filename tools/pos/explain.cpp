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
constexpr std::string_view kEntry = " (value, type != TypeDefn):";

// The meta-schema's alternatives of TypeDefn and the category each takes.
struct Alternative final {
    std::string_view name;
    std::string_view category;
};
constexpr Alternative kAlternatives[] = {
    {"DictDefn", "dict"},       {"ArrayDefn", "array"},   {"IntDefn", "int"},
    {"RealDefn", "real"},       {"StringDefn", "string"}, {"UnicodeStringDefn", "unicodestring"},
    {"BinDataDefn", "bindata"}, {"ObjRefDefn", "objref"}, {"UnionDefn", "union"},
    {"IntersectionDefn", "intersection"},
};

// The category of the outermost alternative a line went through, or "".
std::string_view CategoryTried(const std::string& line, size_t contextEnd) {
    const size_t name = contextEnd + kUnion.size();
    const size_t colon = line.find(':', name);
    if (colon == std::string::npos) return {};
    const std::string_view tried = std::string_view(line).substr(name, colon - name);
    for (const Alternative& a : kAlternatives)
        if (a.name == tried) return a.category;
    return {};
}

struct Line final {
    std::string context;      // before the first alternative
    std::string alternative;  // up to the innermost "Trying NAME: "
    std::string tail;         // after it
    bool underUnion;
};

Line Split(const std::string& line) {
    const size_t first = line.find(kUnion);
    if (first == std::string::npos) return {line, line, line, false};
    const size_t last = line.rfind(kTrying);
    const size_t colon = line.find(": ", last);
    if (colon == std::string::npos) return {line.substr(0, first), line, line, true};
    return {line.substr(0, first), line.substr(0, colon + 2), line.substr(colon + 2), true};
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

Folded FoldAlternatives(const std::vector<std::string>& lines,
                        const std::function<std::string(const std::string&)>& categoryOf) {
    Folded out;
    // The entry's own category, where the schema names one that the
    // alternatives know, decides which alternative was meant.
    std::map<std::string, std::string> meant;  // context -> category
    auto meantFor = [&](const std::string& context) -> const std::string& {
        auto found = meant.find(context);
        if (found != meant.end()) return found->second;
        std::string category;
        if (categoryOf && context.size() > kEntry.size() &&
            context.compare(context.size() - kEntry.size(), kEntry.size(), kEntry) == 0)
            category = categoryOf(context.substr(0, context.size() - kEntry.size()));
        return meant[context] = category;
    };
    // An alternative with a line about its category is one the definition
    // never meant: all of its lines go.
    std::map<std::string, std::string> mismatched;  // alternative -> its category
    std::vector<Line> split;
    for (const std::string& text : lines) {
        split.push_back(Split(text));
        const Line& line = split.back();
        if (!line.underUnion) continue;
        const std::string& category = meantFor(line.context);
        const std::string_view tried = CategoryTried(text, line.context.size());
        if (!category.empty() && !tried.empty()) {
            if (tried != category) mismatched[line.alternative] = std::string(tried);
            continue;
        }
        const std::string mismatch = Mismatch(line.tail);
        if (!mismatch.empty()) mismatched[line.alternative] = mismatch;
    }
    // A definition without a category fails every alternative for that alone.
    constexpr std::string_view kNoCategory = "Missing required member category";
    std::set<std::string> uncategorised;
    for (const Line& line : split)
        if (line.underUnion && line.tail == kNoCategory) uncategorised.insert(line.context);
    std::map<std::string, std::vector<std::string>> categories;  // context -> categories tried
    std::set<std::string> decisiveContexts;
    std::set<std::pair<std::string, std::string>> seen;
    std::vector<std::string> order;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = split[i];
        if (!line.underUnion) {
            out.decisive.push_back(lines[i]);
            continue;
        }
        if (std::find(order.begin(), order.end(), line.context) == order.end()) order.push_back(line.context);
        const auto m = mismatched.find(line.alternative);
        if (m != mismatched.end()) {
            std::vector<std::string>& tried = categories[line.context];
            if (std::find(tried.begin(), tried.end(), m->second) == tried.end()) tried.push_back(m->second);
            continue;
        }
        if (uncategorised.count(line.context) != 0 && line.tail != kNoCategory) continue;
        decisiveContexts.insert(line.context);
        // The same complaint from several alternatives is said once.
        if (seen.insert({line.context, line.tail}).second) out.decisive.push_back(lines[i]);
    }
    for (const std::string& context : order) {
        if (decisiveContexts.count(context) != 0) continue;
        std::string list;
        for (const std::string& c : categories[context]) list += (list.empty() ? "" : ", ") + c;
        const std::string& category = meantFor(context);
        out.notes.push_back(context + " its category" + (category.empty() ? "" : " " + category) +
                            " is none of those the schema language takes (" + list + ")");
    }
    out.folded = lines.size() - out.decisive.size();
    return out;
}

}  // namespace pos
