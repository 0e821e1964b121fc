// Per-kind method tables of host containers, and lazy termination.
#include <string>
#include <vector>

#include "frame/errors.h"
#include "frame/host_binding.h"
#include "frame/lazy_terminate.h"
#include "frame/method_tables.h"
#include "frame/stream_tables.h"
#include "linked_library.h"

namespace {

using namespace QEL_T_MT;
using qeltest::LinkedLibraryTest;

QELErrorHandle ReadA(QELContainerHandle, uint64_t*, void*, uint64_t) { return nullptr; }
QELErrorHandle ReadB(QELContainerHandle, uint64_t*, void*, uint64_t) { return nullptr; }
QELErrorHandle Write(QELContainerHandle, const void*, uint64_t) { return nullptr; }
QELErrorHandle CreateRewindable(QELContainerHandle, QELContainerHandle*) { return nullptr; }
QELErrorHandle Rewind(QELContainerHandle) { return nullptr; }
QELErrorHandle CreatePositionable(QELContainerHandle, QELContainerHandle*) { return nullptr; }
QELErrorHandle Mark(QELContainerHandle, int64_t*) { return nullptr; }
QELErrorHandle Seek(QELContainerHandle, int64_t, int64_t) { return nullptr; }

template <class Proc>
void* P(Proc p) {
    return reinterpret_cast<void*>(p);
}

// Containers of test kinds whose methods are published under their
// interface names, as a component's own objects would be.
class MethodTablesTest : public LinkedLibraryTest {
protected:
    void SetUp() override {
        LinkedLibraryTest::SetUp();
        if (HasFatalFailure()) return;
        Publish("TestStreamInterface", true);
        Publish("TestSimpleStreamInterface", false);
    }
    void TearDown() override {
        for (QELContainerHandle c : made_) host().Get<contract::QELContainerInterface::Release>()(c);
        host().Withdraw("TestStreamInterface");
        host().Withdraw("TestSimpleStreamInterface");
        LinkedLibraryTest::TearDown();
    }

    template <class Table>
    void RegisterAs(const char* interfaceName, const Publication<Table>& table) {
        qeltest::RegisterRows(host(), interfaceName, table);
    }

    void Publish(const char* interfaceName, bool positionable) {
        RegisterAs(interfaceName, Publication(contract::Publish<SimpleStream::Read>(&ReadA),
                                              contract::Publish<SimpleStream::Write>(&Write)));
        if (!positionable) return;
        RegisterAs(interfaceName,
                   Publication(contract::Publish<RewindableStream::CreateIndependentlyRewindableStream>(&CreateRewindable),
                               contract::Publish<RewindableStream::Rewind>(&Rewind)));
        RegisterAs(interfaceName, Publication(contract::Publish<PositionableStream::CreateIndependentlyPositionableStream>(
                                                  &CreatePositionable),
                                              contract::Publish<PositionableStream::Mark>(&Mark),
                                              contract::Publish<PositionableStream::Seek>(&Seek)));
    }

    QELContainerHandle Make(const char* interfaceName) {
        const auto atom = host().Get<contract::QELStringInterface::NewStringAtom>();
        const auto drop = host().Get<contract::QELStringInterface::DeleteStringAtom>();
        QELStringAtom impl = atom("TestStreamImpl");
        QELStringAtom iface = atom(interfaceName);
        QELContainerHandle c = nullptr;
        EXPECT_EQ(host().Get<contract::QELContainerInterface::NewFullContainer>()(&c, nullptr, impl, nullptr, iface,
                                                                                  nullptr, nullptr, nullptr),
                  nullptr);
        drop(impl);
        drop(iface);
        host().Get<contract::QELContainerInterface::AddRef>()(c);
        made_.push_back(c);
        return c;
    }

private:
    std::vector<QELContainerHandle> made_;
};

TEST_F(MethodTablesTest, OneTablePerKindNewKindsAtTheFront) {
    QELContainerHandle a = Make("TestStreamInterface");
    QELContainerHandle b = Make("TestStreamInterface");
    QELContainerHandle s = Make("TestSimpleStreamInterface");
    QELVTabListGeneric& list = SimpleStreamList();
    const uint64_t before = list.count;

    void** procsA = SimpleStreamMethods(a);
    EXPECT_EQ(procsA[SimpleStream::Read], P(&ReadA));
    EXPECT_EQ(procsA[SimpleStream::Write], P(&Write));
    EXPECT_EQ(SimpleStreamMethods(b), procsA) << "containers of one kind share one table";
    EXPECT_EQ(list.count, before + 1);

    void** procsS = SimpleStreamMethods(s);
    EXPECT_NE(procsS, procsA);
    EXPECT_EQ(list.count, before + 2);
    EXPECT_EQ(list.first()->procs(), procsS) << "a new kind is linked at the front";
}

TEST_F(MethodTablesTest, ACounterChangeReimportsInPlace) {
    QELContainerHandle a = Make("TestStreamInterface");
    void** procs = SimpleStreamMethods(a);
    ASSERT_EQ(procs[SimpleStream::Read], P(&ReadA));
    RegisterAs("TestStreamInterface", Publication(contract::Publish<SimpleStream::Read>(&ReadB),
                                                  contract::Publish<SimpleStream::Write>(&Write)));
    EXPECT_EQ(SimpleStreamMethods(a)[SimpleStream::Read], P(&ReadA)) << "nothing changed for the library yet";
    host().BumpUnregisterCounter();
    EXPECT_EQ(SimpleStreamMethods(a), procs) << "the table does not move";
    EXPECT_EQ(procs[SimpleStream::Read], P(&ReadB));
}

TEST_F(MethodTablesTest, AKindLackingAMethodHasNoTableOfThatList) {
    QELContainerHandle s = Make("TestSimpleStreamInterface");
    EXPECT_EQ(LookupMethodTable(PositionableStreamList(), s,
                                [](QELContainerHandle c, bool required, void** procs) {
                                    const ProcImport& seek = PositionableStream::kRows[PositionableStream::Seek];
                                    return ImportInstanceMethods(&seek, 1, c, required, procs);
                                }),
              nullptr);
    try {
        RewindableStreamMethods(s);
        ADD_FAILURE() << "expected invalid container";
    } catch (const CQELError& e) {
        EXPECT_STREQ(e.what(), "invalid container");
    }
    EXPECT_NE(SimpleStreamMethods(s), nullptr) << "the same kind is still a simple stream";
    // Known invalid until the counter moves: not imported again.
    EXPECT_THROW(RewindableStreamMethods(s), CQELError);
}

TEST_F(MethodTablesTest, NoContainerNoSignature) {
    try {
        SimpleStreamMethods(nullptr);
        ADD_FAILURE() << "expected couldn't get signature";
    } catch (const CQELError& e) {
        EXPECT_STREQ(e.what(), "couldn't get signature");
        EXPECT_STREQ(e.Component().text(), "");
    }
}

TEST_F(MethodTablesTest, TablesAreGoneAfterTerminate) {
    SimpleStreamMethods(Make("TestStreamInterface"));
    PositionableStreamMethods(Make("TestStreamInterface"));
    Terminate();
    EXPECT_EQ(SimpleStreamList().first(), nullptr);
    EXPECT_EQ(PositionableStreamList().count, 0u);
    ASSERT_EQ(Initialize(), 1);
}

// Lazy termination: three elements at the front of the list, the second of
// which fails to initialise.
struct Probe final : LazyTerminate {
    explicit Probe(bool ok) : ok_(ok) {}
    bool Initialize() override {
        ++initialized;
        if (!ok_) throw 1;  // a throw counts as failure
        return true;
    }
    void Terminate() override { ++terminated; }
    int initialized = 0;
    int terminated = 0;

private:
    bool ok_;
};

TEST(LazyTerminateTest, AFailureUndoesOnlyTheElementsBeforeIt) {
    // Constructed last, so first in the list: third, second, first.
    Probe last(true);
    Probe failing(false);
    Probe first(true);
    EXPECT_EQ(LazyTerminate::TheList().first(), &first);
    EXPECT_FALSE(LazyTerminate::InitializeAll());
    EXPECT_EQ(first.initialized, 1);
    EXPECT_EQ(first.terminated, 1);
    EXPECT_EQ(failing.initialized, 1);
    EXPECT_EQ(failing.terminated, 0);
    EXPECT_EQ(last.initialized, 0) << "elements after the failure are never initialised";
    EXPECT_EQ(last.terminated, 0);
}

TEST(LazyTerminateTest, ElementsUnlinkThemselves) {
    const uint64_t before = LazyTerminate::TheList().count;
    {
        Probe a(true);
        Probe b(true);
        EXPECT_EQ(LazyTerminate::TheList().count, before + 2);
    }
    EXPECT_EQ(LazyTerminate::TheList().count, before);
}

TEST(LazyTerminateTest, BindingFailsWhenAnElementFails) {
    qelhost::Host host;
    host.Attach(&QELUtilsGetVersion, &QELUtilsInitialize, &QELUtilsTerminate);
    {
        Probe failing(false);
        EXPECT_EQ(host.InitializeLibrary(), 0);
        host.TerminateLibrary();
    }
    EXPECT_TRUE(host.books().AllZero()) << host.books().ToString();
    EXPECT_EQ(host.InitializeLibrary(), 1);
    host.TerminateLibrary();
    EXPECT_TRUE(host.books().AllZero()) << host.books().ToString();
}

}  // namespace
