// Every row of the binary interface, as the lists expand it, against the
// rows the interface has always had (contract_rows.txt): a list edited by
// mistake (a row moved, renamed or lost) shows here, before any host sees it.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "contract_rows.h"
#include "qelutils/contract.h"

namespace {

namespace contract = qelutils::contract;

template <class Table>
void Expand(const char* name, std::vector<std::string>& lines) {
    for (uint32_t i = 0; i < Table::kCount; ++i)
        lines.push_back(std::string(name) + " " + Table::kRows[i].methodName + " " + Table::kRows[i].procTypeName);
    EXPECT_STREQ(Table::kRows[Table::kCount].methodName, "") << name << ": the rows end with an empty row";
    EXPECT_STREQ(Table::kRows[Table::kCount].procTypeName, "") << name;
}
template <class Table>
void Expand(std::vector<std::string>& lines) {
    Expand<Table>(Table::kName, lines);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

TEST(ContractRows, EveryTableHasItsRowsInItsOrder) {
    std::vector<std::string> lines;
    Expand<contract::QEL>(lines);
    Expand<contract::QELStringInterface>(lines);
    Expand<contract::QELErrorInterface>(lines);
    Expand<contract::QELMemoryInterface>(lines);
    Expand<contract::QELContainerInterface>(lines);
    Expand<contract::QELSharedBuffInterface>(lines);
    Expand<contract::QELStreamFactoryInterface>(lines);
    Expand<contract::QELCacheInterface>(lines);
    // The per-container tables have no interface name of their own.
    Expand<contract::QELSimpleStream>("QELSimpleStream", lines);
    Expand<contract::QELRewindableStream>("QELRewindableStream", lines);
    Expand<contract::QELPositionableStream>("QELPositionableStream", lines);
    Expand<contract::QELDataStore>("QELDataStore", lines);
    Expand<contract::QELSizedDataStore>("QELSizedDataStore", lines);
    Expand<contract::QELDataBlockStream>("QELDataBlockStream", lines);
    Expand<contract::POSObjectInterface>(lines);
    Expand<contract::POSObjectStatics>(lines);
    Expand<contract::POSNumberInterface>(lines);
    Expand<contract::POSStringInterface>(lines);
    Expand<contract::POSUnicodeStringInterface>(lines);
    Expand<contract::POSBinDataInterface>(lines);
    Expand<contract::POSRawPointerInterface>(lines);
    Expand<contract::POSArrayInterface>(lines);
    Expand<contract::POSDictInterface>(lines);
    Expand<contract::POSDictIteratorInterface>(lines);
    Expand<contract::POSStreamerInterface>(lines);
    Expand<contract::POSValidatorInterface>(lines);
    Expand<contract::POSStructValidatorInterface>(lines);
    Expand<contract::QELUtilsTempFileStreamFactory>(lines);
    Expand<contract::QELUtilsDirInterface>(lines);
    const std::vector<std::string> expected = Lines(kContractRows);
    EXPECT_EQ(lines.size(), expected.size());
    const auto [got, want] = std::mismatch(lines.begin(), lines.end(), expected.begin(), expected.end());
    if (got != lines.end() || want != expected.end())
        ADD_FAILURE() << "first difference at row " << (got - lines.begin()) << ": the lists give \""
                      << (got != lines.end() ? *got : "nothing") << "\", the interface has \""
                      << (want != expected.end() ? *want : "nothing") << "\"";
}

// The slot of a row is its place, and its C type is found from the slot.
TEST(ContractRows, SlotsAreRowPlacesAndKnowTheirTypes) {
    using Dict = contract::POSDictInterface;
    static_assert(Dict::Put == 4 && Dict::kCount == 6);
    static_assert(std::is_same_v<contract::ProcType<Dict::Put>, POSDictPutProc>);
    static_assert(std::is_same_v<contract::TableOf<Dict::Put>, Dict>);
    static_assert(std::is_same_v<contract::ProcType<contract::QEL::QELReportError>, QELReportErrorProc>);
    static_assert(std::is_same_v<contract::ProcType<contract::QELCacheInterface::RemoveIDs>, contract::Unspecified>);
    EXPECT_STREQ(Dict::kRows[Dict::Put].methodName, "Put");
}

}  // namespace
