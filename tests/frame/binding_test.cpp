// Binding the host: what the library resolves, and what makes binding fail.
#include <string>
#include <utility>
#include <vector>

#include "host_fixture.h"

namespace {

using qeltest::HostTest;
using qeltest::RecordingResolver;
using qeltest::ResolveCall;
using qeltest::TakeResolveCalls;

// The methods binding must find: the five core procedures, then the
// container, error, string and memory interfaces, row by row.
std::vector<std::pair<std::string, std::string>> RequiredAtBinding() {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const char* core : {"QELRegisterProcAddress", "QELReportError", "QELUnregisterInterface",
                             "QELGetUnregisterCountAddr", "QELIsMultiThreaded"})
        rows.emplace_back("QEL", core);
    for (const char* m : {"NewFullContainer", "NewContainer", "CloneContainer", "AddRef", "Release",
                          "DecrementWithoutDelete", "DeleteUnownedContainer", "RegisterInterface",
                          "RegisterInstance", "GetMethod", "GetParentMethod", "GetInstance", "NGetInstance",
                          "GetSignature", "DebugGetRefCountAddr", "GetOffsetToPrimaryInstance"})
        rows.emplace_back("QELContainerInterface", m);
    for (const char* m : {"NewError", "GetCoreError", "AddRef", "Release", "GetErrorMessage", "GetComponent",
                          "GetID", "GetErrorInfo"})
        rows.emplace_back("QELErrorInterface", m);
    for (const char* m : {"NewStringAtom", "DeleteStringAtom", "GetCString", "AddRef"})
        rows.emplace_back("QELStringInterface", m);
    for (const char* m : {"Alloc", "Realloc", "Free", "GetBlockSize"}) rows.emplace_back("QELMemoryInterface", m);
    return rows;
}

TEST_F(HostTest, EveryRequiredMethodDecidesBinding) {
    for (const auto& [interfaceName, method] : RequiredAtBinding()) {
        SCOPED_TRACE(interfaceName + "." + method);
        host().HideMethod(interfaceName, method);
        EXPECT_EQ(Initialize(), 0);
        EXPECT_TRUE(TakeReports().empty());
        Terminate();
        host().UnhideAll();
        ASSERT_TRUE(host().books().AllZero()) << host().books().ToString();
    }
}

TEST_F(HostTest, InterfacesNotNeededAtStartUpDoNotDecideBinding) {
    for (const char* interfaceName : {"QELSharedBuffInterface", "QELStreamFactoryInterface", "QELCacheInterface"}) {
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
    ASSERT_GE(calls.size(), 5u + 16 + 8 + 4 + 4);

    const char* core[] = {"QELRegisterProcAddress", "QELReportError", "QELUnregisterInterface",
                          "QELGetUnregisterCountAddr", "QELIsMultiThreaded"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[i].interfaceName, "QEL");
        EXPECT_EQ(calls[i].methodName, core[i]);
        EXPECT_EQ(calls[i].procTypeName, core[i]);
    }
    // Container table next, from its last row to its first.
    EXPECT_EQ(calls[5].interfaceName, "QELContainerInterface");
    EXPECT_EQ(calls[5].methodName, "GetOffsetToPrimaryInstance");
    EXPECT_EQ(calls[5].procTypeName, "QELGetOffsetToPrimaryInstProc");
    EXPECT_EQ(calls[20].methodName, "NewFullContainer");
    EXPECT_EQ(calls[21].interfaceName, "QELErrorInterface");
    EXPECT_EQ(calls[21].methodName, "GetErrorInfo");
    EXPECT_EQ(calls[29].interfaceName, "QELStringInterface");
    EXPECT_EQ(calls[33].interfaceName, "QELMemoryInterface");
    EXPECT_EQ(calls[33].methodName, "GetBlockSize");
    EXPECT_EQ(calls[36].methodName, "Alloc");
    for (const ResolveCall& c : calls) EXPECT_TRUE(c.found) << c.interfaceName << "." << c.methodName;
    Terminate();
}

TEST_F(HostTest, AFailedImportStopsAtTheMissingRow) {
    host().HideMethod("QELErrorInterface", "GetID");
    TakeResolveCalls();
    EXPECT_EQ(host().InitializeLibrary(RecordingResolver()), 0);
    const std::vector<ResolveCall> calls = TakeResolveCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().interfaceName, "QELErrorInterface");
    EXPECT_EQ(calls.back().methodName, "GetID");
    EXPECT_FALSE(calls.back().found);
    Terminate();
}

}  // namespace
