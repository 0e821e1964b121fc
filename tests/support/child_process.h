// Runs a program as a test's child process, without a shell: an argument
// vector, the bytes of its standard input, its standard output and error
// captured, and how it ended. POSIX uses posix_spawn, Windows CreateProcess
// with the command line quoted as the C runtime splits it again.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace qeltest {

using Args = std::vector<std::string>;

// Separate: standard error on a pipe of its own. Merged: on the same pipe as
// standard output (as 2>&1 does), so that the two keep the order in which the
// program wrote them.
enum class Streams { Separate, Merged };

struct Invocation final {
    std::string program;  // the executable's path; no search of PATH
    Args args;            // the arguments after the program's name
    std::string input;    // standard input, then end of file
    std::string directory;  // working directory; empty: this process's
    std::vector<std::pair<std::string, std::string>> environment;  // set on top of this process's
    Streams streams = Streams::Separate;
    std::string stdoutPath;  // not empty: standard output goes to this file (created or truncated)
};

struct Outcome final {
    std::string failure;  // not empty when the program could not be started or waited for
    int exitCode = -1;    // the exit status, when it exited
    int signal = 0;       // POSIX: the signal that ended it
    std::string out;      // standard output (with Merged, standard error too)
    std::string err;      // standard error (empty with Merged)

    bool Exited() const { return failure.empty() && signal == 0; }
};

Outcome RunProcess(const Invocation& invocation);

// The Windows command line that hands args to a C program's main unchanged:
// the program's name, then each argument, quoted where it holds blanks or
// quotes, with the backslashes before a quote doubled. Plain text, so that
// it is tested on every platform.
std::string WindowsCommandLine(const std::string& program, const Args& args);

}  // namespace qeltest
