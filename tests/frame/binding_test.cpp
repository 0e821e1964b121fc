// Binding the host: what the library resolves, and what makes binding fail.
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host_fixture.h"

namespace {

using qeltest::HostTest;
using qeltest::RecordingResolver;
using qeltest::ResolveCall;
using qeltest::TakeResolveCalls;

using Core = contract::QEL;
using Containers = contract::QELContainerInterface;
using Errors = contract::QELErrorInterface;
using Strings = contract::QELStringInterface;
using Memory = contract::QELMemoryInterface;

// What binding resolves, in order: the five core procedures first to last,
// then the container, error, string and memory tables, each last row first.
std::vector<ResolveCall> BindingCalls() {
    std::vector<ResolveCall> calls;
    for (const contract::Row& row : std::span(Core::kRows, Core::kCount))
        calls.push_back({Core::kName, row.methodName, row.procTypeName, true});
    auto table = [&]<class Table>(Table) {
        for (uint32_t i = Table::kCount; i-- > 0;)
            calls.push_back({Table::kName, Table::kRows[i].methodName, Table::kRows[i].procTypeName, true});
    };
    table(Containers{});
    table(Errors{});
    table(Strings{});
    table(Memory{});
    return calls;
}

TEST_F(HostTest, EveryRequiredMethodDecidesBinding) {
    for (const ResolveCall& row : BindingCalls()) {
        SCOPED_TRACE(row.interfaceName + "." + row.methodName);
        host().HideMethod(row.interfaceName, row.methodName);
        EXPECT_EQ(Initialize(), 0);
        EXPECT_TRUE(TakeReports().empty());
        Terminate();
        host().UnhideAll();
        ASSERT_TRUE(host().books().AllZero()) << host().books().ToString();
    }
}

TEST_F(HostTest, InterfacesNotNeededAtStartUpDoNotDecideBinding) {
    for (const char* interfaceName : {contract::QELSharedBuffInterface::kName, contract::QELStreamFactoryInterface::kName,
                                      contract::QELCacheInterface::kName}) {
        SCOPED_TRACE(interfaceName);
        host().HideMethod(interfaceName, "Release");
        host().HideMethod(interfaceName, "NewBuffer");
        host().HideMethod(interfaceName, "NewPositionableMemoryStream");
        EXPECT_EQ(Initialize(), 1);
        Terminate();
        host().UnhideAll();
    }
}

TEST_F(HostTest, BindingResolvesCoreProceduresFirstThenTablesLastRowFirst) {
    TakeResolveCalls();
    ASSERT_EQ(host().InitializeLibrary(RecordingResolver()), 1);
    const std::vector<ResolveCall> calls = TakeResolveCalls();
    const std::vector<ResolveCall> expected = BindingCalls();
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<ResolveCall>(calls.begin(), calls.begin() + expected.size()), expected);
    for (const ResolveCall& c : calls) EXPECT_TRUE(c.found) << c.interfaceName << "." << c.methodName;
    Terminate();
}

TEST_F(HostTest, AFailedImportStopsAtTheMissingRow) {
    host().HideMethod(Errors::kName, qeltest::RowOf<Errors::GetID>().methodName);
    TakeResolveCalls();
    EXPECT_EQ(host().InitializeLibrary(RecordingResolver()), 0);
    const std::vector<ResolveCall> calls = TakeResolveCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().interfaceName, Errors::kName);
    EXPECT_EQ(calls.back().methodName, qeltest::RowOf<Errors::GetID>().methodName);
    EXPECT_FALSE(calls.back().found);
    Terminate();
}

}  // namespace
