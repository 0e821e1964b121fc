#include "guide_reader.h"

#include <sstream>

namespace guide {

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

std::string Where(const Guide& g, size_t line) { return g.path + ":" + std::to_string(line) + ": "; }

std::optional<FileBlock> ReadFile(Guide& g, size_t line, const std::vector<std::string>& info,
                                  const std::string& body) {
    FileBlock file;
    for (size_t i = 1; i < info.size(); ++i) {
        if (info[i].rfind("file=", 0) == 0)
            file.name = info[i].substr(5);
        else if (info[i] == "broken")
            file.broken = true;
        else
            g.problems.push_back(Where(g, line) + "unknown word in the fence: " + info[i]);
    }
    // Examples write only into their own directory.
    if (file.name.empty() || file.name.find_first_of("/\\") != std::string::npos || file.name[0] == '.') {
        g.problems.push_back(Where(g, line) + "a file block needs a plain file name");
        return std::nullopt;
    }
    file.bytes = body;
    return file;
}

std::optional<ConsoleBlock> ReadConsole(Guide& g, size_t first, const std::vector<std::string>& lines) {
    ConsoleBlock console;
    bool statusGiven = false;  // the last command's "$ echo $?" has been read
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t at = first + i;
        if (line == "$ echo $?") {
            if (console.commands.empty() || statusGiven) {
                g.problems.push_back(Where(g, at) + "\"$ echo $?\" must follow a command");
                return std::nullopt;
            }
            if (i + 1 >= lines.size() || lines[i + 1].empty() ||
                lines[i + 1].find_first_not_of("0123456789") != std::string::npos) {
                g.problems.push_back(Where(g, at) + "\"$ echo $?\" must be followed by a number");
                return std::nullopt;
            }
            console.commands.back().status = std::stoi(lines[++i]);
            statusGiven = true;
            continue;
        }
        if (line.rfind("$ ", 0) == 0) {
            console.commands.push_back(Command{at, line.substr(2), "", std::nullopt});
            statusGiven = false;
            continue;
        }
        if (console.commands.empty() || statusGiven) {
            g.problems.push_back(Where(g, at) + "output that belongs to no command");
            return std::nullopt;
        }
        console.commands.back().expected += line + "\n";
    }
    if (console.commands.empty()) {
        g.problems.push_back(Where(g, first) + "a console block without a command");
        return std::nullopt;
    }
    return console;
}

}  // namespace

Guide Read(const std::string& path, const std::string& text) {
    Guide g;
    g.path = path;
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
            g.problems.push_back(Where(g, open) + "a fence that is never closed");
            break;
        }
        const bool isFile = info.size() > 1 && info[1].rfind("file=", 0) == 0;
        const bool isConsole = !info.empty() && info[0] == "console";
        if (isFile) {
            std::string bytes;
            for (const std::string& l : body) bytes += l + "\n";
            if (auto file = ReadFile(g, open, info, bytes)) g.blocks.push_back(Block{open, std::move(file), {}});
        } else if (isConsole) {
            if (auto console = ReadConsole(g, open + 1, body))
                g.blocks.push_back(Block{open, {}, std::move(console)});
        }
    }
    return g;
}

}  // namespace guide
