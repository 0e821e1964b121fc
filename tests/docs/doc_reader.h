// Reads the runnable examples out of a document written in Markdown.
//
// The documents mark their examples with ordinary fenced blocks, so that
// they read as plain documentation:
//
//   ```pos file=NAME            a file that the examples after it use. A .pos,
//   ```typea file=NAME          .typea or .json file must pass `pos check` and
//   ```json file=NAME           a .schema file `pos schema-check`; with the
//                               word `broken` after the name it must fail them.
//
//   ```console                  "$ COMMAND" lines, each followed by what the
//                               command prints (standard output and error
//                               together, as a terminal shows them). The
//                               commands are those of console.h. A command
//                               must end with 0 or 1 (an answer, which its
//                               output tells) unless the next is "$ echo $?",
//                               which shows its exit status.
//   ```console posix            the same, run only on POSIX systems (for
//                               devices such as /dev/full).
//
// Every other fence is an illustration and is not run.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace docs {

struct FileBlock final {
    std::string name;
    std::string bytes;
    bool broken = false;
};

struct Command final {
    size_t line = 0;  // of the "$ " line in the document
    std::string text;
    std::string expected;  // every line after it, each ended by a line feed
};

struct ConsoleBlock final {
    std::vector<Command> commands;
    bool posixOnly = false;
};

// One fenced block that matters, in the order of the document.
struct Block final {
    size_t line = 0;  // of the opening fence
    std::optional<FileBlock> file;
    std::optional<ConsoleBlock> console;
};

struct Document final {
    std::string path;
    std::vector<Block> blocks;
    std::vector<std::string> problems;  // blocks that break the conventions, with their line
};

Document Read(const std::string& path, const std::string& text);

}  // namespace docs
