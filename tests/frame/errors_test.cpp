// Exceptions inside the library, error handles outside, and the two guards
// between them.
#include <cstring>
#include <new>
#include <string>

#include "frame/atom_ref.h"
#include "frame/container_ref.h"
#include "frame/errors.h"
#include "frame/guards.h"
#include "frame/host_services.h"
#include "linked_library.h"

namespace {

using namespace QEL_T_MT;
using qeltest::LinkedLibraryTest;

// The host's error procedures, as a component reaches them.
struct HostErrors final {
    explicit HostErrors(qelhost::Host& h)
        : newError(h.Get<contract::QELErrorInterface::NewError>()),
          coreError(h.Get<contract::QELErrorInterface::GetCoreError>()),
          release(h.Get<contract::QELErrorInterface::Release>()),
          message(h.Get<contract::QELErrorInterface::GetErrorMessage>()),
          component(
              h.Get<contract::QELErrorInterface::GetComponent>()),
          id(h.Get<contract::QELErrorInterface::GetID>()),
          text(h.Get<contract::QELStringInterface::GetCString>()) {}

    std::string Message(QELErrorHandle e) const { return text(message(e)); }
    std::string Component(QELErrorHandle e) const { return text(component(e)); }

    QELNewErrorProc newError;
    QELGetCoreErrorProc coreError;
    QELErrorReleaseProc release;
    QELErrorGetMessageProc message;
    QELErrorGetComponentProc component;
    QELErrorGetIDProc id;
    QELGetCStringProc text;
};

class GuardTest : public LinkedLibraryTest {
protected:
    void SetUp() override {
        LinkedLibraryTest::SetUp();
        baseline_ = host().books().errorRefs;  // the library holds the generic error while bound
    }
    HostErrors errors() { return HostErrors(host()); }
    int64_t ErrorRefsHeld() { return host().books().errorRefs - baseline_; }

private:
    int64_t baseline_ = 0;
};

int32_t ReportingBodyThatThrows(int kind) {
    return Reporting<int32_t>(0, [&]() -> int32_t {
        switch (kind) {
            case 0: throw POSException("GetChars ran out of input");
            case 1: throw 42;
            case 2: throw std::bad_alloc();
            case 3: ThrowQELError("the host said no", "Somebody", 7);
            default: return 5;
        }
    });
}

TEST_F(GuardTest, ReportingGuardReportsOnceAndReturnsTheFailureValue) {
    struct Case {
        int kind;
        const char* report;
    };
    const Case cases[] = {
        {0, "GetChars ran out of input"},
        {1, "unknown QEL error"},
        {2, "bad allocation"},
        {3, "the host said no"},  // the host error's message, not its handle
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        EXPECT_EQ(ReportingBodyThatThrows(c.kind), 0);
        EXPECT_EQ(TakeReports(), std::vector<std::string>{c.report});
    }
    EXPECT_EQ(ReportingBodyThatThrows(99), 5);
    EXPECT_TRUE(TakeReports().empty());
}

TEST_F(GuardTest, ReportingGuardKeepsOutParametersWrittenBeforeTheThrow) {
    int out = 0;
    Reporting([&] {
        out = 3;
        throw DWEException("late failure");
    });
    EXPECT_EQ(out, 3);
    EXPECT_EQ(TakeReports(), std::vector<std::string>{"late failure"});
}

TEST_F(GuardTest, ErrorReturningGuardMapsEachExceptionKind) {
    const HostErrors e = errors();

    EXPECT_EQ(ErrorReturning([] {}), nullptr);

    QELErrorHandle oom = ErrorReturning([] { throw std::bad_alloc(); });
    QELErrorHandle core1 = e.coreError(1);
    EXPECT_EQ(oom, core1);
    EXPECT_EQ(e.Component(oom), "DWE");
    EXPECT_EQ(e.id(oom), 1u);
    e.release(core1);
    e.release(oom);

    QELErrorHandle dwe = ErrorReturning([] { throw DWEException("FormatIntoPOSString overwrote buffer"); });
    ASSERT_NE(dwe, nullptr);
    EXPECT_EQ(e.Message(dwe), "FormatIntoPOSString overwrote buffer");
    EXPECT_EQ(e.Component(dwe), "DWE");
    EXPECT_EQ(e.id(dwe), 0u);
    e.release(dwe);

    // A host error keeps its identity: the same object, one more reference.
    {
        const CQELError held(e.newError("disk on fire", "Disk", 28, 0, 0), CQELError::kAdopt);
        QELErrorHandle same = ErrorReturning([&] { throw CQELError(held); });
        EXPECT_EQ(same, held.handle());
        e.release(same);
    }
    EXPECT_EQ(ErrorRefsHeld(), 0) << "the guard gave exactly one reference";
}

TEST_F(GuardTest, UnknownExceptionGivesTheGenericErrorWithOneMoreReference) {
    const HostErrors e = errors();
    QELErrorHandle generic = ErrorReturning([] { throw 7; });
    QELErrorHandle core0 = e.coreError(0);
    EXPECT_EQ(generic, core0);
    e.release(core0);
    const int64_t refs = host().books().errorRefs;
    e.release(generic);
    EXPECT_EQ(host().books().errorRefs, refs - 1);
    // The library's own reference is untouched: it can hand it out again.
    QELErrorHandle again = ErrorReturning([] { throw 8; });
    EXPECT_EQ(again, generic);
    e.release(again);
}

TEST_F(GuardTest, ThrowErrorHandleTurnsOnlyTheExactOutOfMemoryErrorIntoBadAlloc) {
    const HostErrors e = errors();
    struct Case {
        const char* component;
        uint32_t id;
        bool badAlloc;
    };
    const Case cases[] = {
        {"DWE", 1, true}, {"QEL", 1, false}, {"DWEX", 1, false}, {"DW", 1, false}, {"DWE", 2, false},
        {"DWE", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.component) + " " + std::to_string(c.id));
        QELErrorHandle h = e.newError("boom", c.component, c.id, 0, 0);
        bool sawBadAlloc = false;
        try {
            ThrowErrorHandle(h);
        } catch (const std::bad_alloc&) {
            sawBadAlloc = true;
        } catch (const CQELError& err) {
            EXPECT_EQ(err.handle(), h);
            EXPECT_STREQ(err.what(), "boom");
        }
        EXPECT_EQ(sawBadAlloc, c.badAlloc);
        EXPECT_EQ(ErrorRefsHeld(), 0) << "the thrown wrapper owned the reference";
    }
}

TEST_F(GuardTest, CQELErrorWithoutHandle) {
    const CQELError empty;
    EXPECT_STREQ(empty.what(), "Invalid CQELError");
    EXPECT_STREQ(empty.Message().text(), "Invalid CQELError");
    EXPECT_STREQ(empty.Component().text(), "");
}

TEST_F(GuardTest, MessageAndComponentHoldTheirOwnReferences) {
    const HostErrors e = errors();
    QELErrorHandle h = e.newError("kept message", "Keeper", 3, 0, 0);
    {
        const CQELError error(h, CQELError::kAdopt);
        const int64_t atoms = host().books().atomRefs;
        {
            QELStringAtomRef message = error.Message();
            QELStringAtomRef component = error.Component();
            EXPECT_STREQ(message.text(), "kept message");
            EXPECT_STREQ(component.text(), "Keeper");
            EXPECT_EQ(host().books().atomRefs, atoms + 2);
        }
        EXPECT_EQ(host().books().atomRefs, atoms);
        EXPECT_STREQ(error.what(), "kept message");
    }
}

TEST_F(GuardTest, ErrorHandleFromExceptionForEachKind) {
    const HostErrors e = errors();
    QELErrorHandle fromStd = ErrorHandleFromException(std::runtime_error("plain"));
    EXPECT_EQ(e.Message(fromStd), "plain");
    EXPECT_EQ(e.Component(fromStd), "DWE");
    e.release(fromStd);
    EXPECT_EQ(ErrorHandleFromException(CQELError()), nullptr);
}

TEST_F(GuardTest, ContainerRefOfNullCopiesAsNull) {
    const QELContainerRef empty;
    const QELContainerRef copy(empty);  // no AddRef(null) refusal surfaces
    EXPECT_EQ(copy.handle(), nullptr);
    try {
        QELContainerRef refused(static_cast<QELContainerHandle>(nullptr));
        ADD_FAILURE() << "a refused reference must throw";
    } catch (const CQELError& err) {
        EXPECT_STREQ(err.what(), "invalid container");
        EXPECT_STREQ(err.Component().text(), "");
    }
}

TEST_F(GuardTest, AtomRefsOfEqualTextShareTheTextPointer) {
    const QELStringAtomRef a("same text");
    const QELStringAtomRef b("same text");
    const QELStringAtomRef c("other text");
    EXPECT_EQ(a.text(), b.text());
    EXPECT_NE(a.text(), c.text());
    EXPECT_STREQ(a.text(), "same text");
    host().FailAllocation(1);
    EXPECT_THROW(QELStringAtomRef("fails"), std::bad_alloc);
}

TEST_F(GuardTest, NewSharedBufferFailsCleanly) {
    host().FailAllocation(1);
    int released = 0;
    static int* counter;
    counter = &released;
    char data[4];
    EXPECT_THROW(NewSharedBuffer(4, data, [](void*) { ++*counter; }, nullptr), std::bad_alloc);
    EXPECT_EQ(released, 1) << "the data is released when the buffer cannot be made";

    // A host that no longer publishes the shared-buffer interface.
    host().HideMethod(contract::QELSharedBuffInterface::kName,
                      qeltest::RowOf<contract::QELSharedBuffInterface::GetSize>().methodName);
    host().BumpUnregisterCounter();
    try {
        NewSharedBuffer(4, nullptr, nullptr, nullptr);
        ADD_FAILURE() << "expected CQELError";
    } catch (const CQELError& err) {
        EXPECT_STREQ(err.what(), "");
        EXPECT_STREQ(err.Component().text(), "QEL");
    }
    host().UnhideAll();
    host().BumpUnregisterCounter();
    QELSharedBuffHandle ok = NewSharedBuffer(4, nullptr, nullptr, nullptr);
    ASSERT_NE(ok, nullptr);
    host().Get<contract::QELSharedBuffInterface::Release>()(ok);
}

}  // namespace
