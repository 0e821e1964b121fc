// Runs the built pos binary as a user does: an argument vector, standard
// input, output and exit code captured, in a directory of the test's own
// (files are named relative to it). No shell stands between, so the same
// tests run natively and under Wine. Every run asks the tool to check that
// the host's books are back at zero (exit 3 if not).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "child_process.h"

namespace postest {

namespace fs = std::filesystem;
using qeltest::Args;

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

    // Writes a file in the test's directory; its name is what the tool is given.
    std::string File(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return name;
    }
    // A file's bytes; a relative name is in the test's directory.
    std::string Slurp(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // The invocation of pos with these arguments and standard input.
    qeltest::Invocation Pos(Args args, std::string input = "") const {
        qeltest::Invocation run;
        run.program = POS_BINARY;
        run.args = std::move(args);
        run.input = std::move(input);
        run.directory = dir_.string();
        run.environment = {{"POS_CHECK_BOOKS", "1"}};
        return run;
    }
    Result Run(Args args, std::string input = "") const { return Launch(Pos(std::move(args), std::move(input))); }
    static Result Launch(const qeltest::Invocation& run) {
        const qeltest::Outcome o = qeltest::RunProcess(run);
        if (!o.Exited()) {
            ADD_FAILURE() << run.program << " did not exit: " << o.failure << " (signal " << o.signal << ")";
            return {-1, o.out, o.err};
        }
        return {o.exitCode, o.out, Lines(o.err)};
    }

    static std::string Example(const char* name) { return std::string(EXAMPLES_DIR) + "/" + name; }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

    fs::path dir_;

private:
#if defined(_WIN32)
    // The C runtime writes standard error in text mode on Windows; standard
    // output is binary and compared as it is.
    static std::string Lines(std::string text) {
        for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
        return text;
    }
#else
    static std::string Lines(std::string text) { return text; }
#endif
};

}  // namespace postest
