// The user guides' examples, run through the built pos tool: every file they
// show is checked and every command they show is run, and its output must be
// the one the guide prints. A guide that no longer tells the truth fails here.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "guide_reader.h"
#include "validator/meta_schema.h"

namespace {

namespace fs = std::filesystem;

const char* const kGuides[] = {"notation.md", "typea.md", "schema.md"};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spill(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Outcome final {
    int status;
    std::string output;
};

// A command line as a user types it in the example's directory, with the
// built pos first on the path; both output streams in the order written.
Outcome Shell(const fs::path& dir, const std::string& command) {
    const std::string script = "cd " + Quote(dir.string()) + " && PATH=" + Quote(POS_DIR) +
                               ":\"$PATH\" && export PATH && (" + command + ") </dev/null 2>&1";
    Outcome outcome{-1, {}};
    std::FILE* pipe = popen(script.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, pipe)) > 0) outcome.output.append(block, n);
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

class ScratchDir final {
public:
    ScratchDir() {
        path_ = fs::temp_directory_path() / ("guide-example-" + std::to_string(std::random_device{}()));
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

const std::map<std::string, guide::Guide>& Guides() {
    static const std::map<std::string, guide::Guide> guides = [] {
        std::map<std::string, guide::Guide> read;
        for (const char* name : kGuides) {
            const fs::path path = fs::path(GUIDE_DIR) / name;
            read.emplace(name, guide::Read("docs/" + std::string(name), Slurp(path)));
        }
        return read;
    }();
    return guides;
}

// One runnable block of one guide.
struct Example final {
    std::string guide;
    size_t index;
};

// Names the example by its place in the guide, in listings and messages.
void PrintTo(const Example& e, std::ostream* os) {
    *os << "docs/" << e.guide << ":" << Guides().at(e.guide).blocks[e.index].line;
}

std::vector<Example> AllExamples() {
    std::vector<Example> all;
    for (const auto& [name, g] : Guides())
        for (size_t i = 0; i < g.blocks.size(); ++i) all.push_back({name, i});
    return all;
}

std::string ExampleName(const ::testing::TestParamInfo<Example>& info) {
    const guide::Block& block = Guides().at(info.param.guide).blocks[info.param.index];
    std::string stem = info.param.guide.substr(0, info.param.guide.find('.'));
    return stem + "_line" + std::to_string(block.line) + (block.file ? "_file" : "");
}

// Writes every file that the guide shows before the block, the later of two
// with the same name winning, as a reader following the guide would have them.
void WriteFilesBefore(const guide::Guide& g, size_t index, const fs::path& dir) {
    for (size_t i = 0; i < index; ++i)
        if (g.blocks[i].file) Spill(dir / g.blocks[i].file->name, g.blocks[i].file->bytes);
}

std::string CheckCommand(const std::string& name) {
    const std::string ext = fs::path(name).extension().string();
    if (ext == ".schema") return "pos schema-check " + Quote(name);
    if (ext == ".pos" || ext == ".typea") return "pos check " + Quote(name);
    return {};
}

class GuideExample : public ::testing::TestWithParam<Example> {};

TEST_P(GuideExample, RunsAsShown) {
    const guide::Guide& g = Guides().at(GetParam().guide);
    const guide::Block& block = g.blocks[GetParam().index];
    ScratchDir dir;
    WriteFilesBefore(g, GetParam().index, dir.path());

    if (block.file) {
        const guide::FileBlock& file = *block.file;
        Spill(dir.path() / file.name, file.bytes);
        const std::string command = CheckCommand(file.name);
        if (command.empty()) return;  // a file of another kind is only there to be used
        const Outcome outcome = Shell(dir.path(), command);
        if (file.broken) {
            // Refused as the tool refuses (1 or 2), not accepted and not a crash.
            EXPECT_TRUE(outcome.status == 1 || outcome.status == 2)
                << g.path << ":" << block.line << ": " << file.name << " is marked broken, but `" << command
                << "` ends with " << outcome.status << ":\n"
                << outcome.output;
        } else {
            EXPECT_EQ(outcome.status, 0) << g.path << ":" << block.line << ": `" << command << "` says:\n"
                                         << outcome.output;
        }
        return;
    }

    for (const guide::Command& c : block.console->commands) {
        const Outcome outcome = Shell(dir.path(), c.text);
        EXPECT_EQ(outcome.output, c.expected) << g.path << ":" << c.line << ": $ " << c.text
                                              << "\n(tabs and trailing spaces count)";
        if (c.status) {
            EXPECT_EQ(outcome.status, *c.status) << g.path << ":" << c.line << ": $ " << c.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Guides, GuideExample, ::testing::ValuesIn(AllExamples()), ExampleName);

TEST(GuideConventions, EveryGuideKeepsThemAndRunsExamples) {
    for (const char* name : kGuides) {
        const guide::Guide& g = Guides().at(name);
        EXPECT_TRUE(fs::exists(fs::path(GUIDE_DIR) / name)) << name;
        for (const std::string& problem : g.problems) ADD_FAILURE() << problem;
        size_t commands = 0;
        for (const guide::Block& b : g.blocks)
            if (b.console) commands += b.console->commands.size();
        EXPECT_GE(commands, 5u) << name << " runs hardly any example";
    }
}

// The guide prints the meta-schema as the reference of what a schema may
// contain: it must be the dictionary that the library stores.
TEST(GuideConventions, TheMetaSchemaShownIsTheStoredOne) {
    const guide::Guide& g = Guides().at("schema.md");
    const guide::FileBlock* shown = nullptr;
    for (const guide::Block& b : g.blocks)
        if (b.file && b.file->name == "meta.schema") shown = &*b.file;
    ASSERT_NE(shown, nullptr) << "docs/schema.md shows no file=meta.schema";

    ScratchDir dir;
    Spill(dir.path() / "shown.schema", shown->bytes);
    Spill(dir.path() / "stored.schema", NPOSValidatorImpl::kMetaSchemaText);
    // The serialized form lists keys in order, so equal dictionaries give equal text.
    const Outcome a = Shell(dir.path(), "pos convert --to typea shown.schema");
    const Outcome b = Shell(dir.path(), "pos convert --to typea stored.schema");
    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    EXPECT_NE(a.output.find("\"StructSchema\""), std::string::npos);
    EXPECT_EQ(a.output, b.output);
}

// The reader itself: a convention broken in a guide must not go unnoticed.
TEST(GuideReader, ReadsFilesCommandsAndStatuses) {
    const guide::Guide g = guide::Read("t.md",
                                       "Text\n"
                                       "```pos file=a.pos\n<a 1>\n```\n"
                                       "```pos\nnot run\n```\n"
                                       "```console\n$ pos check a.pos\n$ pos x\nline one\n\nline three\n"
                                       "$ echo $?\n2\n```\n"
                                       "```typea file=b.typea broken\nx\n```\n");
    EXPECT_TRUE(g.problems.empty());
    ASSERT_EQ(g.blocks.size(), 3u);
    ASSERT_TRUE(g.blocks[0].file);
    EXPECT_EQ(g.blocks[0].line, 2u);
    EXPECT_EQ(g.blocks[0].file->name, "a.pos");
    EXPECT_EQ(g.blocks[0].file->bytes, "<a 1>\n");
    EXPECT_FALSE(g.blocks[0].file->broken);
    ASSERT_TRUE(g.blocks[1].console);
    const auto& commands = g.blocks[1].console->commands;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].text, "pos check a.pos");
    EXPECT_EQ(commands[0].expected, "");
    EXPECT_FALSE(commands[0].status);
    EXPECT_EQ(commands[1].line, 10u);
    EXPECT_EQ(commands[1].expected, "line one\n\nline three\n");
    EXPECT_EQ(commands[1].status, 2);
    ASSERT_TRUE(g.blocks[2].file);
    EXPECT_TRUE(g.blocks[2].file->broken);
}

TEST(GuideReader, ReportsBlocksThatBreakTheConventions) {
    const char* const broken[] = {
        "```console\noutput first\n$ pos check a\n```\n",
        "```console\n$ echo $?\n0\n```\n",
        "```console\n$ pos check a\n$ echo $?\n```\n",
        "```console\n$ pos check a\n$ echo $?\n0\nmore\n```\n",
        "```console\n```\n",
        "```pos file=../a.pos\n<>\n```\n",
        "```pos file=a.pos brokn\n<>\n```\n",
        "```console\n$ pos check a\n",
    };
    for (const char* text : broken) EXPECT_FALSE(guide::Read("t.md", text).problems.empty()) << text;
}

}  // namespace
