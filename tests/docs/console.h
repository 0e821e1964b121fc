// The command lines of the documents' console examples, run without a shell.
//
// They use a small part of the shell's language, and this reads exactly that
// part:
//
//   words         separated by blanks; 'single quotes' keep every byte;
//                 "double quotes" keep every byte but \" \\ \$ \` (a
//                 backslash and the byte) and $?; a backslash outside quotes
//                 keeps the next byte
//   $?            the exit status of the command before (echo $?)
//   A | B         the standard output of A is the standard input of B
//   < FILE        standard input from FILE
//   > FILE        standard output into FILE
//
// and runs four programs: pos (the built tool), and printf (FORMAT with the
// escapes \n \t \\ \' \" \NNN and the conversions %s, %d with flags - and 0
// and a width, %%), echo (its words, a blank between, a line feed after) and
// cat (FILEs or standard input; -A shows tabs as ^I, line ends as $ and other
// invisible bytes as ^X and M-X) built in. Everything else that a shell would
// do (; && || & $(...) `...` other $ variables, globs * ? [ ] { }, ~, #
// comments, 2> >> <<, !) is refused, so that no example depends on more than
// this.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace console {

struct Stage final {
    std::vector<std::string> words;  // the program's name first
    std::string input;               // < FILE, or empty
    std::string output;              // > FILE, or empty
};

struct Parsed final {
    std::vector<Stage> pipeline;  // empty when error says why
    std::string error;
};

// One command line; status is what $? stands for.
Parsed Parse(const std::string& line, int status);

// A terminal in a directory: runs command lines one after the other and
// shows what they print, standard error and output as a terminal shows them.
class Session final {
public:
    Session(std::string pos, std::filesystem::path directory, std::vector<std::pair<std::string, std::string>> env)
        : pos_(std::move(pos)), directory_(std::move(directory)), env_(std::move(env)) {}

    struct Result final {
        std::string shown;  // everything the command printed
        int status = 0;
        std::string error;  // not empty when the line cannot run here
    };
    Result Run(const std::string& line);

private:
    struct Output final {
        std::string out;     // to the next command, a file or the terminal
        std::string shown;   // to the terminal whatever follows
        int status = 0;
    };
    std::optional<Output> RunStage(const Stage& stage, const std::string& input, bool last, std::string& error);

    std::string pos_;
    std::filesystem::path directory_;
    std::vector<std::pair<std::string, std::string>> env_;
    int status_ = 0;
};

// What GNU cat -A prints for these bytes.
std::string ShowAll(const std::string& bytes);

// What printf FORMAT ARGS... prints; nothing after saying why in error.
std::optional<std::string> Printf(const std::vector<std::string>& args, std::string& error);

}  // namespace console
