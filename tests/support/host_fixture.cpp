#include "host_fixture.h"

#include <mutex>

namespace qeltest {

void HostTest::SetUp() {
    host_ = std::make_unique<qelhost::Host>();
    LoadLibrary();
}

void HostTest::LoadLibrary() {
    std::string error;
    ASSERT_TRUE(host_->Load(&error)) << error;
}

void HostTest::TearDown() {
    if (host_->Loaded()) host_->TerminateLibrary();
    const qelhost::Books afterTerminate = host_->books();
    EXPECT_TRUE(afterTerminate.AllZero()) << "live after Terminate: " << afterTerminate.ToString();
    host_->Unload();
    const qelhost::Books afterUnload = host_->books();
    EXPECT_TRUE(afterUnload.AllZero()) << "live after unload: " << afterUnload.ToString();
    host_.reset();
}

std::vector<std::string> HostTest::TakeReports() {
    std::vector<std::string> reports = host_->Reports();
    host_->ClearReports();
    return reports;
}

void LibraryTest::SetUp() {
    HostTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Initialize(), 1);
}

namespace {
std::mutex gCallsLock;
std::vector<ResolveCall> gCalls;

void* Recording(const char* interfaceName, const char* methodName, const char* procTypeName) {
    void* proc = qelhost::Host::Current().Resolve(interfaceName, methodName, procTypeName);
    std::lock_guard hold(gCallsLock);
    gCalls.push_back({interfaceName, methodName, procTypeName, proc != nullptr});
    return proc;
}
}  // namespace

QELResolverProc RecordingResolver() { return &Recording; }

void* FindMethod(QELContainerHandle container, const contract::Row& row) {
    const qelhost::Host& host = qelhost::Host::Current();
    const auto newAtom = host.Get<contract::QELStringInterface::NewStringAtom>();
    const auto deleteAtom = host.Get<contract::QELStringInterface::DeleteStringAtom>();
    QELStringAtom method = newAtom(row.methodName);
    QELStringAtom procType = newAtom(row.procTypeName);
    void* proc = nullptr;
    const QELErrorHandle error =
        host.Get<contract::QELContainerInterface::GetMethod>()(&proc, container, method, procType, 0);
    deleteAtom(method);
    deleteAtom(procType);
    if (error != nullptr) {
        ADD_FAILURE() << "GetMethod " << row.methodName << " failed";
        host.Get<contract::QELErrorInterface::Release>()(error);
    }
    return proc;
}

std::vector<ResolveCall> TakeResolveCalls() {
    std::lock_guard hold(gCallsLock);
    std::vector<ResolveCall> calls;
    calls.swap(gCalls);
    return calls;
}

}  // namespace qeltest
