#include "doc_reader.h"

#include <sstream>

namespace docs {

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

size_t Backticks(const std::string& line) {
    size_t n = 0;
    while (n < line.size() && line[n] == '`') ++n;
    return n;
}

std::string Where(const Document& d, size_t line) { return d.path + ":" + std::to_string(line) + ": "; }

std::optional<FileBlock> ReadFile(Document& d, size_t line, const std::vector<std::string>& info,
                                  const std::string& body) {
    FileBlock file;
    for (size_t i = 1; i < info.size(); ++i) {
        if (info[i].rfind("file=", 0) == 0)
            file.name = info[i].substr(5);
        else if (info[i] == "broken")
            file.broken = true;
        else
            d.problems.push_back(Where(d, line) + "unknown word in the fence: " + info[i]);
    }
    // Examples write only into their own directory.
    if (file.name.empty() || file.name.find_first_of("/\\:") != std::string::npos || file.name[0] == '.') {
        d.problems.push_back(Where(d, line) + "a file block needs a plain file name");
        return std::nullopt;
    }
    file.bytes = body;
    return file;
}

std::optional<ConsoleBlock> ReadConsole(Document& d, size_t fence, const std::vector<std::string>& info,
                                        const std::vector<std::string>& lines) {
    ConsoleBlock console;
    for (size_t i = 1; i < info.size(); ++i) {
        if (info[i] == "posix")
            console.posixOnly = true;
        else
            d.problems.push_back(Where(d, fence) + "unknown word in the fence: " + info[i]);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t at = fence + 1 + i;
        if (line.rfind("$ ", 0) == 0) {
            console.commands.push_back(Command{at, line.substr(2), ""});
            continue;
        }
        if (console.commands.empty()) {
            d.problems.push_back(Where(d, at) + "output that belongs to no command");
            return std::nullopt;
        }
        console.commands.back().expected += line + "\n";
    }
    if (console.commands.empty()) {
        d.problems.push_back(Where(d, fence) + "a console block without a command");
        return std::nullopt;
    }
    return console;
}

}  // namespace

Document Read(const std::string& path, const std::string& text) {
    Document d;
    d.path = path;
    const std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t fence = Backticks(lines[i]);
        if (fence < 3) continue;
        const size_t open = i + 1;  // line numbers count from 1
        const std::vector<std::string> info = Words(lines[i].substr(fence));
        std::vector<std::string> body;
        bool closed = false;
        for (++i; i < lines.size(); ++i) {
            if (Backticks(lines[i]) >= fence && lines[i].find_first_not_of('`') == std::string::npos) {
                closed = true;
                break;
            }
            body.push_back(lines[i]);
        }
        if (!closed) {
            d.problems.push_back(Where(d, open) + "a fence that is never closed");
            break;
        }
        const bool isFile = info.size() > 1 && info[1].rfind("file=", 0) == 0;
        const bool isConsole = !info.empty() && info[0] == "console";
        if (isFile) {
            std::string bytes;
            for (const std::string& l : body) bytes += l + "\n";
            if (auto file = ReadFile(d, open, info, bytes)) d.blocks.push_back(Block{open, std::move(file), {}});
        } else if (isConsole) {
            if (auto console = ReadConsole(d, open, info, body)) d.blocks.push_back(Block{open, {}, std::move(console)});
        }
    }
    return d;
}

}  // namespace docs
