#include "links.h"

#include <map>
#include <sstream>

namespace docs {

namespace {

// The lines of the text that are not inside fenced code blocks, with their
// numbers (from 1).
std::vector<std::pair<size_t, std::string>> ProseLines(const std::string& text) {
    std::vector<std::pair<size_t, std::string>> prose;
    std::istringstream in(text);
    std::string line;
    size_t number = 0;
    size_t fence = 0;  // backticks of the open fence, 0 outside
    while (std::getline(in, line)) {
        ++number;
        const size_t ticks = line.find_first_not_of('`') == std::string::npos ? line.size() : line.find_first_not_of('`');
        if (fence == 0 && ticks >= 3) {
            fence = ticks;
            continue;
        }
        if (fence != 0) {
            if (ticks >= fence && line.find_first_not_of('`') == std::string::npos) fence = 0;
            continue;
        }
        if (line.rfind("    ", 0) == 0 || line.rfind("\t", 0) == 0) continue;  // an indented code block
        prose.emplace_back(number, line);
    }
    return prose;
}

// The line with its code spans taken out (a run of backticks to the next run
// of the same length).
std::string WithoutCode(const std::string& line) {
    std::string kept;
    for (size_t at = 0; at < line.size();) {
        if (line[at] != '`') {
            kept += line[at++];
            continue;
        }
        const size_t run = line.find_first_not_of('`', at) == std::string::npos ? line.size() - at
                                                                                 : line.find_first_not_of('`', at) - at;
        const std::string ticks(run, '`');
        size_t close = line.find(ticks, at + run);
        while (close != std::string::npos && close + run < line.size() && line[close + run] == '`')
            close = line.find(ticks, close + run + 1);
        if (close == std::string::npos) {
            kept += line.substr(at, run);
            at += run;
            continue;
        }
        kept += ' ';
        at = close + run;
    }
    return kept;
}

}  // namespace

std::vector<Link> Links(const std::string& text) {
    std::vector<Link> links;
    for (const auto& [number, raw] : ProseLines(text)) {
        const std::string line = WithoutCode(raw);
        for (size_t at = line.find("]("); at != std::string::npos; at = line.find("](", at + 2)) {
            const size_t close = line.find(')', at + 2);
            if (close == std::string::npos) break;
            const std::string target = line.substr(at + 2, close - at - 2);
            if (target.empty() || target.find(' ') != std::string::npos) continue;
            links.push_back({number, target});
        }
    }
    return links;
}

std::string Slug(const std::string& heading) {
    std::string slug;
    for (const char ch : heading) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            slug += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c >= 0x80)
            slug += ch;
        else if (c == ' ')
            slug += '-';
    }
    return slug;
}

std::set<std::string> Anchors(const std::string& text) {
    std::set<std::string> anchors;
    std::map<std::string, int> seen;
    for (const auto& [number, line] : ProseLines(text)) {
        const size_t hashes = line.find_first_not_of('#');
        if (hashes == 0 || hashes > 6 || hashes == std::string::npos || line[hashes] != ' ') continue;
        std::string title = line.substr(hashes + 1);
        while (!title.empty() && (title.back() == '#' || title.back() == ' ')) title.pop_back();
        // Markup that renders as nothing: code spans keep their text.
        std::string plain;
        for (const char c : title)
            if (c != '`' && c != '*') plain += c;
        const std::string slug = Slug(plain);
        const int n = seen[slug]++;
        anchors.insert(n == 0 ? slug : slug + "-" + std::to_string(n));
    }
    return anchors;
}

}  // namespace docs
