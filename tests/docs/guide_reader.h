// Reads the runnable examples out of a user guide written in Markdown.
//
// The guides mark their examples with ordinary fenced blocks, so that they
// read as plain documentation:
//
//   ```pos file=NAME            a file that the examples after it use. A .pos
//   ```typea file=NAME          or .typea file must pass `pos check` and a
//                               .schema file `pos schema-check`; with the word
//                               `broken` after the name it must fail them.
//
//   ```console                  "$ COMMAND" lines, each followed by what the
//                               command prints (standard output and standard
//                               error together, as a terminal shows them).
//                               "$ echo $?" is not run: the line after it is
//                               the exit status of the command before it.
//
// Every other fence is an illustration and is not run.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace guide {

struct FileBlock final {
    std::string name;
    std::string bytes;
    bool broken = false;
};

struct Command final {
    size_t line = 0;  // of the "$ " line in the guide
    std::string text;
    std::string expected;  // every line after it, each ended by a line feed
    std::optional<int> status;
};

struct ConsoleBlock final {
    std::vector<Command> commands;
};

// One fenced block that matters, in the order of the guide.
struct Block final {
    size_t line = 0;  // of the opening fence
    std::optional<FileBlock> file;
    std::optional<ConsoleBlock> console;
};

struct Guide final {
    std::string path;
    std::vector<Block> blocks;
    std::vector<std::string> problems;  // blocks that break the conventions, with their line
};

Guide Read(const std::string& path, const std::string& text);

}  // namespace guide
