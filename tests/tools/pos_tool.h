// Runs the built pos binary as a user does: arguments through the shell,
// standard input from a file, output and exit code captured. Every run asks
// the tool to check that the host's books are back at zero (exit 3 if not).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace postest {

namespace fs = std::filesystem;

struct Result final {
    int code;
    std::string out;
    std::string err;
};

class PosTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pos-test-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static std::string Quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }

    // Runs pos with arguments (shell words), feeding stdin; prefix goes
    // before the command in the shell (ulimit, redirections).
    Result Run(const std::string& args, const std::string& input = "", const std::string& prefix = "",
               const std::string& stdoutTo = "") {
        const std::string in = File("stdin", input);
        const std::string out = (dir_ / "stdout").string();
        const std::string err = (dir_ / "stderr").string();
        fs::remove(out);  // a run that never starts must not pass on the last one's output
        fs::remove(err);
        const std::string command = prefix + " POS_CHECK_BOOKS=1 " + std::string(POS_BINARY) + " " + args + " <" +
                                    Quote(in) + " >" + (stdoutTo.empty() ? Quote(out) : stdoutTo) + " 2>" +
                                    Quote(err);
        const int status = std::system(("sh -c " + Quote(command)).c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, stdoutTo.empty() ? Slurp(out) : "", Slurp(err)};
    }

    static std::string Example(const char* name) { return std::string(EXAMPLES_DIR) + "/" + name; }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    fs::path dir_;
};

}  // namespace postest
