// The user documents' examples, run through the built pos tool: every file
// they show is checked and every command they show is run, and its output
// must be the one the document prints. A document that no longer tells the
// truth fails here, and so does a link between them that leads nowhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console.h"
#include "doc_reader.h"
#include "links.h"
#include "validator/meta_schema.h"

namespace {

namespace fs = std::filesystem;

// Each document, and whether its examples run in a copy of examples/ (the
// folder it says they run in) or only among the files it shows itself.
struct Source final {
    const char* path;  // from the project's root
    bool inExamples;
};
const Source kSources[] = {
    {"README.md", true},         {"docs/pos.md", true},   {"docs/json.md", true},
    {"docs/notation.md", false}, {"docs/typea.md", false}, {"docs/schema.md", false},
};

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

class ScratchDir final {
public:
    ScratchDir() {
        path_ = fs::temp_directory_path() / ("doc-example-" + std::to_string(std::random_device{}()));
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

const std::map<std::string, docs::Document>& Documents() {
    static const std::map<std::string, docs::Document> documents = [] {
        std::map<std::string, docs::Document> read;
        for (const Source& s : kSources) read.emplace(s.path, docs::Read(s.path, Slurp(fs::path(SOURCE_DIR) / s.path)));
        return read;
    }();
    return documents;
}

// One runnable block of one document.
struct Example final {
    const Source* source;
    size_t index;
};

// Names the example by its place, in listings and messages.
void PrintTo(const Example& e, std::ostream* os) {
    *os << e.source->path << ":" << Documents().at(e.source->path).blocks[e.index].line;
}

std::vector<Example> AllExamples() {
    std::vector<Example> all;
    for (const Source& s : kSources)
        for (size_t i = 0; i < Documents().at(s.path).blocks.size(); ++i) all.push_back({&s, i});
    return all;
}

std::string ExampleName(const ::testing::TestParamInfo<Example>& info) {
    const docs::Block& block = Documents().at(info.param.source->path).blocks[info.param.index];
    const std::string stem = fs::path(info.param.source->path).stem().string();
    return stem + "_line" + std::to_string(block.line) + (block.file ? "_file" : "");
}

std::vector<std::pair<std::string, std::string>> Environment() {
    return {{"POS_CHECK_BOOKS", "1"}};  // exit 3 if the tool leaves anything alive
}

// The directory as a reader following the document has it before the block:
// a copy of examples/ where the document says so, then every file that the
// document shows before the block, the later of two with one name winning.
void Prepare(const Example& e, const fs::path& dir) {
    if (e.source->inExamples)
        for (const fs::directory_entry& f : fs::directory_iterator(EXAMPLES_DIR))
            if (f.is_regular_file()) fs::copy_file(f.path(), dir / f.path().filename());
    const docs::Document& d = Documents().at(e.source->path);
    for (size_t i = 0; i < e.index; ++i)
        if (d.blocks[i].file) Spill(dir / d.blocks[i].file->name, d.blocks[i].file->bytes);
}

std::string CheckCommand(const std::string& name) {
    const std::string ext = fs::path(name).extension().string();
    if (ext == ".schema") return "pos schema-check " + name;
    if (ext == ".pos" || ext == ".typea" || ext == ".json") return "pos check " + name;
    return {};
}

class DocExample : public ::testing::TestWithParam<Example> {};

TEST_P(DocExample, RunsAsShown) {
    const docs::Document& d = Documents().at(GetParam().source->path);
    const docs::Block& block = d.blocks[GetParam().index];
    ScratchDir dir;
    Prepare(GetParam(), dir.path());
    console::Session terminal(POS_BINARY, dir.path(), Environment());

    if (block.file) {
        const docs::FileBlock& file = *block.file;
        Spill(dir.path() / file.name, file.bytes);
        const std::string command = CheckCommand(file.name);
        if (command.empty()) return;  // a file of another kind is only there to be used
        const console::Session::Result r = terminal.Run(command);
        ASSERT_EQ(r.error, "");
        if (file.broken) {
            // Refused as the tool refuses (1 or 2), not accepted and not a crash.
            EXPECT_TRUE(r.status == 1 || r.status == 2)
                << d.path << ":" << block.line << ": " << file.name << " is marked broken, but `" << command
                << "` ends with " << r.status << ":\n"
                << r.shown;
        } else {
            EXPECT_EQ(r.status, 0) << d.path << ":" << block.line << ": `" << command << "` says:\n" << r.shown;
        }
        return;
    }

#if defined(_WIN32)
    if (block.console->posixOnly) GTEST_SKIP() << "the block is marked posix: it needs a POSIX system";
#endif
    const std::vector<docs::Command>& commands = block.console->commands;
    for (size_t i = 0; i < commands.size(); ++i) {
        const docs::Command& c = commands[i];
        const console::Session::Result r = terminal.Run(c.text);
        ASSERT_EQ(r.error, "") << d.path << ":" << c.line << ": $ " << c.text;
        EXPECT_EQ(r.shown, c.expected) << d.path << ":" << c.line << ": $ " << c.text
                                       << "\n(tabs and trailing spaces count)";
        // An error is shown as one: 0 and 1 are answers, which the output
        // tells (valid or not, warnings or none); for anything else the next
        // command prints the status.
        const bool statusShown = i + 1 < commands.size() && commands[i + 1].text == "echo $?";
        if (!statusShown) {
            EXPECT_TRUE(r.status == 0 || r.status == 1)
                << d.path << ":" << c.line << ": $ " << c.text << "\nends with " << r.status
                << ", which the document does not show: add $ echo $?";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Docs, DocExample, ::testing::ValuesIn(AllExamples()), ExampleName);

TEST(DocConventions, EveryDocumentKeepsThemAndRunsExamples) {
    for (const Source& s : kSources) {
        const docs::Document& d = Documents().at(s.path);
        EXPECT_TRUE(fs::exists(fs::path(SOURCE_DIR) / s.path)) << s.path;
        for (const std::string& problem : d.problems) ADD_FAILURE() << problem;
        size_t commands = 0;
        for (const docs::Block& b : d.blocks)
            if (b.console) commands += b.console->commands.size();
        EXPECT_GE(commands, 3u) << s.path << " runs hardly any example";
    }
}

// README and docs/ lead to each other: every relative link names a file that
// exists, and every #anchor a heading of the document it points into.
TEST(DocConventions, EveryLinkLeadsSomewhere) {
    std::vector<fs::path> pages = {fs::path(SOURCE_DIR) / "README.md"};
    for (const fs::directory_entry& e : fs::directory_iterator(fs::path(SOURCE_DIR) / "docs"))
        if (e.path().extension() == ".md") pages.push_back(e.path());
    size_t checked = 0;
    for (const fs::path& page : pages) {
        const std::string name = fs::relative(page, SOURCE_DIR).generic_string();
        for (const docs::Link& link : docs::Links(Slurp(page))) {
            if (link.target.find("://") != std::string::npos || link.target.rfind("mailto:", 0) == 0) continue;
            ++checked;
            const size_t hash = link.target.find('#');
            const std::string file = link.target.substr(0, hash);
            const fs::path target = file.empty() ? page : page.parent_path() / file;
            if (!fs::exists(target)) {
                ADD_FAILURE() << name << ":" << link.line << ": " << link.target << ": no such file";
                continue;
            }
            if (hash == std::string::npos) continue;
            const std::string anchor = link.target.substr(hash + 1);
            if (target.extension() != ".md" || docs::Anchors(Slurp(target)).count(anchor) == 0)
                ADD_FAILURE() << name << ":" << link.line << ": " << link.target << ": no heading makes #" << anchor;
        }
    }
    EXPECT_GT(checked, 20u) << "the links were not found";
}

// The schema guide prints the meta-schema as the reference of what a schema
// may contain: it must be the dictionary that the library stores.
TEST(DocConventions, TheMetaSchemaShownIsTheStoredOne) {
    const docs::Document& d = Documents().at("docs/schema.md");
    const docs::FileBlock* shown = nullptr;
    for (const docs::Block& b : d.blocks)
        if (b.file && b.file->name == "meta.schema") shown = &*b.file;
    ASSERT_NE(shown, nullptr) << "docs/schema.md shows no file=meta.schema";

    ScratchDir dir;
    Spill(dir.path() / "shown.schema", shown->bytes);
    Spill(dir.path() / "stored.schema", NPOSValidatorImpl::kMetaSchemaText);
    console::Session terminal(POS_BINARY, dir.path(), Environment());
    // The serialized form lists keys in order, so equal dictionaries give equal text.
    const console::Session::Result a = terminal.Run("pos convert --to typea shown.schema");
    const console::Session::Result b = terminal.Run("pos convert --to typea stored.schema");
    ASSERT_EQ(a.status, 0) << a.error << a.shown;
    ASSERT_EQ(b.status, 0) << b.error << b.shown;
    EXPECT_NE(a.shown.find("\"StructSchema\""), std::string::npos);
    EXPECT_EQ(a.shown, b.shown);
}

}  // namespace
