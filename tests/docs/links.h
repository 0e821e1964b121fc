// The links of a Markdown document and the anchors its headings make, so
// that a test can prove that every cross-reference between the documents
// leads somewhere.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace docs {

struct Link final {
    size_t line = 0;
    std::string target;  // as written: path, #anchor or both
};

// [text](target) outside code blocks and code spans.
std::vector<Link> Links(const std::string& text);

// The anchor a heading's text gets: markup dropped, lower case, punctuation
// other than - and _ dropped, each blank a -.
std::string Slug(const std::string& heading);

// The anchors of every heading (# to ######) outside code blocks; a repeated
// one gets -1, -2 and so on, in order.
std::set<std::string> Anchors(const std::string& text);

}  // namespace docs
