// The examples of the user documents are run as they stand, in a copy of
// examples/, and must print exactly what the documents show.
#include <regex>

#include "pos_tool.h"

namespace postest {
namespace {

class DocumentExamples : public PosTool, public ::testing::WithParamInterface<const char*> {};

TEST_P(DocumentExamples, PrintWhatTheDocumentShows) {
    const std::string path = std::string(SOURCE_DIR) + "/" + GetParam();
    const std::string text = Slurp(path);
    ASSERT_FALSE(text.empty()) << path;
    const fs::path work = dir_ / "examples";
    fs::copy(EXAMPLES_DIR, work);
    const std::string bin = fs::path(POS_BINARY).parent_path().string();
    size_t blocks = 0;
    const std::regex block("```console\n([\\s\\S]*?)```");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), block); it != std::sregex_iterator(); ++it) {
        ++blocks;
        std::istringstream lines((*it)[1].str());
        std::string line, command, expected;
        auto check = [&] {
            if (command.empty()) return;
            SCOPED_TRACE(command);
            const std::string out = (dir_ / "doc-output").string();
            const std::string sh = "cd " + Quote(work.string()) + " && { " + command + " ; } >" + Quote(out) +
                                   " 2>&1; s=$?; [ $s -ne 0 ] && echo \"(exit $s)\" >>" + Quote(out) + "; true";
            const std::string run = "PATH=" + Quote(bin) + ":\"$PATH\" POS_CHECK_BOOKS=1 sh -c " + Quote(sh);
            ASSERT_EQ(std::system(run.c_str()), 0);
            EXPECT_EQ(Slurp(out), expected);
        };
        while (std::getline(lines, line)) {
            if (line.rfind("$ ", 0) == 0) {
                check();
                command = line.substr(2);
                expected.clear();
            } else {
                expected += line + "\n";
            }
        }
        check();
    }
    EXPECT_GT(blocks, 0u);
}

INSTANTIATE_TEST_SUITE_P(Docs, DocumentExamples, ::testing::Values("README.md", "docs/pos.md", "docs/json.md"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace postest
