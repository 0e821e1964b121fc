// A program for the process runner's tests: told by its first argument what
// to do, it shows what it was given and ends as it is asked to.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void Write(std::FILE* to, const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), to);
    std::fflush(to);
}

std::string Input() {
    std::string bytes;
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, stdin)) > 0) bytes.append(block, n);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // Bytes as they are, in both directions.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "args") {  // each argument as LENGTH:BYTES and a line feed
        for (int i = 2; i < argc; ++i) Write(stdout, std::to_string(std::strlen(argv[i])) + ":" + argv[i] + "\n");
        return 0;
    }
    if (mode == "cat") {  // standard input back on standard output
        Write(stdout, Input());
        return 0;
    }
    if (mode == "interleave") {
        Write(stdout, "out 1\n");
        Write(stderr, "err 1\n");
        Write(stdout, "out 2\n");
        return 0;
    }
    if (mode == "big" && argc > 2) {  // that many bytes on both outputs, before reading anything
        const std::string block(static_cast<size_t>(std::atol(argv[2])), 'x');
        Write(stdout, block);
        Write(stderr, block);
        Write(stdout, std::to_string(Input().size()));
        return 0;
    }
    if (mode == "exit" && argc > 2) return std::atoi(argv[2]);
    if (mode == "env" && argc > 2) {
        const char* value = std::getenv(argv[2]);
        Write(stdout, value != nullptr ? value : "(unset)");
        return 0;
    }
    if (mode == "cwd") {
        Write(stdout, std::filesystem::current_path().string());
        return 0;
    }
    if (mode == "abort") std::abort();
    Write(stderr, "usage: process_probe args|cat|interleave|big N|exit N|env NAME|cwd|abort\n");
    return 64;
}
