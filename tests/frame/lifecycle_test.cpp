// The three exports and the order in which the library starts and stops.
#include <string>
#include <vector>

#include "host_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using qelhost::RegistryEvent;
using qeltest::HostTest;

// Every interface that Terminate withdraws, in its fixed order.
const std::vector<std::string> kWithdrawalOrder = {
    "QELUtilsDirInterface",      "QELUtilsTempFileStreamFactory", "POSStructValidatorInterface",
    "POSValidatorInterface",     "POSStreamerInterface",          "POSObjectInterface",
    "POSObjectStatics",          "POSNumberInterface",            "POSStringInterface",
    "POSUnicodeStringInterface", "POSBinDataInterface",           "POSRawPointerInterface",
    "POSArrayInterface",         "POSDictInterface",              "POSDictIteratorInterface",
};

std::vector<std::string> Withdrawals(const qelhost::Host& host) {
    std::vector<std::string> names;
    for (const RegistryEvent& e : host.RegistryLog())
        if (e.kind == RegistryEvent::Kind::Withdrawn) names.push_back(e.interfaceName);
    return names;
}

TEST_F(HostTest, VersionIsTheSameInEveryState) {
    EXPECT_EQ(host().LibraryVersion(), 65793u);
    ASSERT_EQ(Initialize(), 1);
    EXPECT_EQ(host().LibraryVersion(), 65793u);
    Terminate();
    EXPECT_EQ(host().LibraryVersion(), 65793u);
}

TEST_F(HostTest, SecondInitializeFailsWithoutResolving) {
    for (bool firstSucceeds : {true, false}) {
        SCOPED_TRACE(firstSucceeds ? "after success" : "after failure");
        ASSERT_EQ(host().InitializeLibrary(firstSucceeds ? host().resolver() : nullptr), firstSucceeds ? 1 : 0);
        const uint64_t calls = host().ResolveCalls();
        EXPECT_EQ(Initialize(), 0);
        EXPECT_EQ(host().ResolveCalls(), calls);
        EXPECT_TRUE(host().Reports().empty());
        Terminate();
    }
}

TEST_F(HostTest, NullResolverFailsUntilTerminate) {
    EXPECT_EQ(host().InitializeLibrary(nullptr), 0);
    EXPECT_EQ(Initialize(), 0);  // the flag stays set after a failure
    Terminate();
    EXPECT_TRUE(Withdrawals(host()).empty()) << "nothing was bound to withdraw with";
    EXPECT_EQ(Initialize(), 1);
}

TEST_F(HostTest, ReinitialiseAfterTerminateBindsAgain) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const uint64_t calls = host().ResolveCalls();
        ASSERT_EQ(Initialize(), 1);
        EXPECT_GT(host().ResolveCalls(), calls);
        Terminate();
        EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
    }
}

TEST_F(HostTest, TerminateWithoutInitializeDoesNothing) {
    Terminate();
    Terminate();
    EXPECT_TRUE(host().RegistryLog().empty());
    EXPECT_EQ(host().ResolveCalls(), 0u);
}

TEST_F(HostTest, SecondTerminateDoesNothing) {
    ASSERT_EQ(Initialize(), 1);
    Terminate();
    const size_t events = host().RegistryLog().size();
    Terminate();
    EXPECT_EQ(host().RegistryLog().size(), events);
}

TEST_F(HostTest, TerminateWithdrawsEveryInterfaceInOrder) {
    ASSERT_EQ(Initialize(), 1);
    host().ClearRegistryLog();
    Terminate();
    EXPECT_EQ(Withdrawals(host()), kWithdrawalOrder);
    for (const std::string& name : kWithdrawalOrder) EXPECT_FALSE(host().HasInterface(name)) << name;
}

const std::vector<std::string> kObjectInterfaces = {
    "POSObjectInterface",        "POSObjectStatics",    "POSNumberInterface",     "POSStringInterface",
    "POSUnicodeStringInterface", "POSBinDataInterface", "POSRawPointerInterface", "POSArrayInterface",
    "POSDictInterface",          "POSDictIteratorInterface",
};

TEST_F(HostTest, StartUpPublishesInTheFixedOrder) {
    ASSERT_EQ(Initialize(), 1);
    std::vector<std::string> order;
    size_t objectRows = 0;
    for (const RegistryEvent& e : host().RegistryLog()) {
        ASSERT_EQ(e.kind, RegistryEvent::Kind::Registered);
        if (order.empty() || order.back() != e.interfaceName) order.push_back(e.interfaceName);
        if (e.interfaceName.rfind("POS", 0) == 0 && order.size() <= kObjectInterfaces.size()) ++objectRows;
    }
    // Property objects first, then the modules in their order; every
    // interface Terminate withdraws, in reverse module order.
    std::vector<std::string> expected = kObjectInterfaces;
    for (const char* later : {"POSStreamerInterface", "POSValidatorInterface", "POSStructValidatorInterface",
                              "QELUtilsDirInterface", "QELUtilsTempFileStreamFactory"})
        expected.push_back(later);
    ASSERT_GE(order.size(), kObjectInterfaces.size() + 1);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + kObjectInterfaces.size()), kObjectInterfaces);
    // The rest in module order (a module with nothing to publish is skipped).
    size_t next = 0;
    for (const std::string& name : order) {
        while (next < expected.size() && expected[next] != name) ++next;
        EXPECT_LT(next, expected.size()) << name << " out of order";
    }
    EXPECT_EQ(objectRows, 2u + 4 + 3 + 3 + 3 + 5 + 4 + 7 + 6 + 5);
}

TEST_F(HostTest, ARefusedRowEndsStartUpAndLeavesWhatWasPublished) {
    // The first row of the fourth interface: three interfaces hold nine rows.
    host().RefuseRegistration(10);
    EXPECT_EQ(Initialize(), 0);
    for (size_t i = 0; i < kObjectInterfaces.size(); ++i)
        EXPECT_EQ(host().HasInterface(kObjectInterfaces[i]), i < 3) << kObjectInterfaces[i];
    EXPECT_TRUE(host().Reports().empty());
    host().ClearRegistryLog();
    Terminate();
    EXPECT_EQ(Withdrawals(host()), kWithdrawalOrder);
    EXPECT_FALSE(host().HasInterface("POSObjectInterface"));
    EXPECT_EQ(Initialize(), 1) << "a new start after Terminate publishes everything again";
    EXPECT_TRUE(host().HasInterface("POSDictIteratorInterface"));
}

TEST_F(HostTest, TerminateAfterFailedBindingWithdrawsWhenItCan) {
    struct Case {
        const char* hiddenInterface;
        const char* hiddenMethod;
        bool withdraws;  // QELUnregisterInterface was bound
    };
    const Case cases[] = {
        {"QEL", "QELUnregisterInterface", false},
        {"QEL", "QELIsMultiThreaded", true},  // all five are stored before any is tested
        {"QELContainerInterface", "GetOffsetToPrimaryInstance", true},
        {"QELMemoryInterface", "GetBlockSize", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hiddenInterface) + "." + c.hiddenMethod);
        host().HideMethod(c.hiddenInterface, c.hiddenMethod);
        EXPECT_EQ(Initialize(), 0);
        host().ClearRegistryLog();
        Terminate();
        if (c.withdraws)
            EXPECT_EQ(Withdrawals(host()), kWithdrawalOrder);
        else
            EXPECT_TRUE(Withdrawals(host()).empty());
        host().UnhideAll();
        EXPECT_TRUE(host().books().AllZero()) << host().books().ToString();
    }
    // QELIsMultiThreaded is resolved but never called, and it still decides.
    EXPECT_EQ(Initialize(), 1);
}

TEST_F(HostTest, EveryAllocationFailureDuringStartUpFailsCleanly) {
    // Sweep the failing call over every allocation that start-up makes, until
    // start-up no longer reaches it.
    for (uint64_t nth = 1;; ++nth) {
        SCOPED_TRACE(nth);
        const uint64_t before = host().AllocationCalls();
        host().FailAllocation(nth);
        const int32_t result = Initialize();
        const bool reached = host().AllocationCalls() - before >= nth;
        host().FailAllocation(0);
        EXPECT_EQ(result, reached ? 0 : 1);
        EXPECT_TRUE(host().Reports().empty()) << "start-up reports nothing";
        Terminate();
        ASSERT_TRUE(host().books().AllZero()) << host().books().ToString();
        if (!reached) break;
        ASSERT_LT(nth, 10000u);
    }
}

TEST_F(HostTest, ProcessDetachAfterTerminateCallsNothingInTheHost) {
    ASSERT_EQ(Initialize(), 1);
    Terminate();
    const uint64_t calls = host().ResolveCalls();
    const size_t events = host().RegistryLog().size();
    host().Unload();  // the library's process detach runs here
    EXPECT_EQ(host().ResolveCalls(), calls);
    EXPECT_EQ(host().RegistryLog().size(), events);
}

}  // namespace

namespace {

// Unloading a library that was never terminated: process detach must make
// it drop what it holds without a single call into the host.
TEST(ProcessDetach, AnUnterminatedLibraryCallsNothingOnUnload) {
    qelhost::Host host;
    std::string error;
    ASSERT_TRUE(host.Load(&error)) << error;
    // What the library holds is abandoned on purpose: not a leak to report.
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    const int32_t initialized = host.InitializeLibrary();
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
    ASSERT_EQ(initialized, 1);
    const qelhost::Books before = host.books();
    const uint64_t calls = host.ResolveCalls();
    host.Unload();
    const qelhost::Books after = host.books();
    EXPECT_EQ(after.atomRefs, before.atomRefs) << "no atom released";
    EXPECT_EQ(after.errorRefs, before.errorRefs) << "the generic error is not released";
    EXPECT_EQ(after.memoryBlocks, before.memoryBlocks) << "no block freed";
    EXPECT_EQ(host.ResolveCalls(), calls);
    EXPECT_TRUE(host.RegistryLog().size() > 0 &&
                host.RegistryLog().back().kind == qelhost::RegistryEvent::Kind::Registered)
        << "nothing withdrawn";
}

}  // namespace
