// Host-interface tables kept current, publication of the library's own
// tables, and own objects in host containers.
#include <string>
#include <vector>

#include "frame/errors.h"
#include "frame/host_binding.h"
#include "frame/host_services.h"
#include "frame/proc_table.h"
#include "linked_library.h"

namespace {

using namespace QEL_T_MT;
using qeltest::LinkedHostTest;
using qeltest::RecordingResolver;
using qeltest::ResolveCall;
using qeltest::TakeResolveCalls;

class TablesTest : public LinkedHostTest {
protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        if (HasFatalFailure()) return;
        TakeResolveCalls();
        ASSERT_EQ(host().InitializeLibrary(RecordingResolver()), 1);
        TakeResolveCalls();
    }
};

using Strings = contract::QELStringInterface;
using Memory = contract::QELMemoryInterface;
using StreamFactory = contract::QELStreamFactoryInterface;
using Cache = contract::QELCacheInterface;

// The resolver calls that fill a table: every row, last row first, each
// with its proc-type name.
template <class Table>
std::vector<ResolveCall> FillCalls() {
    std::vector<ResolveCall> calls;
    for (uint32_t i = Table::kCount; i-- > 0;)
        calls.push_back({Table::kName, Table::kRows[i].methodName, Table::kRows[i].procTypeName, true});
    return calls;
}

TEST_F(TablesTest, CurrentTablesAreNotRefilled) {
    ASSERT_NE(CurrentTable<contract::QELContainerInterface>(), nullptr);
    ASSERT_NE(CurrentTable<contract::QELErrorInterface>(), nullptr);
    ASSERT_NE(CurrentTable<Strings>(), nullptr);
    ASSERT_NE(CurrentTable<Memory>(), nullptr);
    EXPECT_TRUE(TakeResolveCalls().empty());
}

TEST_F(TablesTest, ACounterChangeRefillsOnlyTheTableAccessedLastRowFirst) {
    host().BumpUnregisterCounter();
    ASSERT_NE(CurrentTable<Strings>(), nullptr);
    EXPECT_EQ(TakeResolveCalls(), FillCalls<Strings>()) << "tables that were not accessed stay as they are";
    EXPECT_EQ(TableFor<Strings>().generation.load(), host().UnregisterCount());
    ASSERT_NE(CurrentTable<Strings>(), nullptr);
    EXPECT_TRUE(TakeResolveCalls().empty());
}

TEST_F(TablesTest, TablesNotNeededAtBindingAreFilledAtFirstUse) {
    // As in a process that has never used them: an earlier test of this
    // process may have filled them at the counter value this host has too.
    TableFor<StreamFactory>().filled = false;
    TableFor<Cache>().filled = false;
    ASSERT_NE(CurrentTable<StreamFactory>(), nullptr);
    EXPECT_EQ(TakeResolveCalls(), FillCalls<StreamFactory>());
    ASSERT_NE(CurrentTable<Cache>(), nullptr);
    EXPECT_EQ(TakeResolveCalls(), FillCalls<Cache>());
}

TEST_F(TablesTest, AMethodMissingAfterBindingThrows) {
    host().HideMethod(Memory::kName, Memory::kRows[Memory::GetBlockSize].methodName);
    host().BumpUnregisterCounter();
    try {
        CurrentTable<Memory>();
        ADD_FAILURE() << "expected CQELError";
    } catch (const CQELError& e) {
        EXPECT_STREQ(e.what(), "");
        EXPECT_STREQ(e.Component().text(), "QEL");
    }
    // The stale table is tried again at the next access.
    host().UnhideAll();
    EXPECT_NE(CurrentTable<Memory>(), nullptr);
}

TEST_F(TablesTest, WithNoResolverStoredTheAccessorsGiveNothing) {
    Terminate();
    TakeResolveCalls();
    host().BumpUnregisterCounter();
    EXPECT_EQ(CurrentTable<Memory>(), nullptr);
    EXPECT_EQ(CurrentTable<StreamFactory>(), nullptr);
    EXPECT_EQ(TableFor<StreamFactory>().slots[0].load(), nullptr);
    EXPECT_THROW(RequireTable<Memory>(), CQELError);
    EXPECT_TRUE(TakeResolveCalls().empty());
}

TEST_F(TablesTest, RegisterProcTableStopsAtTheFirstRefusal) {
    static int procs[3];
    const ProcRegistration rows[] = {
        {"First", "TestFirstProc", &procs[0]},
        {"Second", "TestSecondProc", &procs[1]},
        {"Third", "TestThirdProc", &procs[2]},
        {"", "", nullptr},
    };
    host().RefuseRegistration(3);
    EXPECT_FALSE(RegisterProcTable(rows, 3, "TestInterface"));
    EXPECT_EQ(host().Resolve("TestInterface", "First", "TestFirstProc"), &procs[0]);
    EXPECT_EQ(host().Resolve("TestInterface", "Second", "TestSecondProc"), &procs[1]);
    EXPECT_EQ(host().Resolve("TestInterface", "Third", "TestThirdProc"), nullptr);

    host().RefuseRegistration(0);
    EXPECT_TRUE(RegisterProcTable(rows, 3, "TestInterface"));
    EXPECT_TRUE(RegisterProcTable(rows, 0, "TestInterface"));
    // The same method under another proc-type name is refused by the broker.
    const ProcRegistration clash[] = {{"First", "OtherProc", &procs[0]}, {"", "", nullptr}};
    EXPECT_FALSE(RegisterProcTable(clash, 1, "TestInterface"));
    host().Withdraw("TestInterface");
}

// Own objects: made in host containers with the own-name pairs, found again
// through the primary-instance record.
struct Tracked final {
    static inline int destroyed = 0;
    static void Destroy(void* object) {
        ++destroyed;
        delete static_cast<Tracked*>(object);
    }
};

TEST_F(TablesTest, OwnContainersAreRecognisedByTheirImplementationName) {
    const auto release = host().Get<contract::QELContainerInterface::Release>();
    auto* object = new Tracked;
    QELContainerHandle c = NewOwnContainer(object, OwnKind::POSObject, &Tracked::Destroy);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(FindOwnInstance(c, OwnKind::POSObject), object);
    EXPECT_STREQ(PrimaryRecord(c)->implementationName, "POSObjectImpl");
    // Another kind's name is not ours: the host is asked, and says no.
    const int64_t errors = host().books().errorRefs;
    EXPECT_THROW(FindOwnInstance(c, OwnKind::POSStreamer), CQELError);
    EXPECT_EQ(host().books().errorRefs, errors);
    Tracked::destroyed = 0;
    release(c);  // floating: destroyed at once
    EXPECT_EQ(Tracked::destroyed, 1);
}

TEST_F(TablesTest, NewOwnContainerPassesHostFailuresOn) {
    host().FailAllocation(1);
    EXPECT_THROW(NewOwnContainer(nullptr, OwnKind::POSObject, &Tracked::Destroy), std::bad_alloc);
    EXPECT_EQ(host().books().containers, 0);
}

}  // namespace
