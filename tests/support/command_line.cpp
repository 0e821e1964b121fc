#include "child_process.h"

namespace qeltest {

namespace {

// The C runtime reads 2n backslashes before a quote as n backslashes and the
// quote as a delimiter, 2n+1 as n backslashes and a literal quote; other
// backslashes stand for themselves.
void AppendQuoted(const std::string& arg, std::string& line) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');  // they stand before the closing quote
    line += '"';
}

}  // namespace

std::string WindowsCommandLine(const std::string& program, const Args& args) {
    // The program's name is read up to the next blank, or between quotes,
    // with no backslash rule; a path holds no quote.
    std::string line = program.find_first_of(" \t") == std::string::npos ? program : '"' + program + '"';
    for (const std::string& arg : args) {
        line += ' ';
        AppendQuoted(arg, line);
    }
    return line;
}

}  // namespace qeltest
