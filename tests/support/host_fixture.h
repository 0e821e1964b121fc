// Test fixtures that drive QELUtils through the reference host, and prove
// after every test that the host's books are back to zero.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qelhost/host.h"

// The rows of the binary interface, as tests name them.
namespace contract = qelutils::contract;

namespace qeltest {

// A fresh host with the library loaded, not yet initialised. TearDown
// terminates the library and checks that nothing is left alive.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads (black-box) or attaches (white-box) the library; the default loads.
    virtual void LoadLibrary();

    qelhost::Host& host() { return *host_; }
    int32_t Initialize() { return host_->InitializeLibrary(); }
    void Terminate() { host_->TerminateLibrary(); }

    // The reports captured since the last call.
    std::vector<std::string> TakeReports();

private:
    std::unique_ptr<qelhost::Host> host_;
};

// The same, with the library initialised in SetUp.
class LibraryTest : public HostTest {
protected:
    void SetUp() override;
};

// A resolver that forwards to the current host and records every call, for
// tests that watch what the library asks for and when.
struct ResolveCall final {
    std::string interfaceName;
    std::string methodName;
    std::string procTypeName;
    bool found;

    bool operator==(const ResolveCall&) const = default;
    friend void PrintTo(const ResolveCall& c, std::ostream* out) {
        *out << c.interfaceName << "." << c.methodName << " (" << c.procTypeName << (c.found ? ")" : ", missing)");
    }
};
QELResolverProc RecordingResolver();

// The names of a row of the contract.
template <auto Row>
const contract::Row& RowOf() {
    return contract::TableOf<Row>::kRows[Row];
}

// A table's rows published as a component publishes them (through
// QELRegisterProcAddress), under the table's interface name or another.
template <class Table>
void RegisterRows(qelhost::Host& host, const char* interfaceName, const contract::Publication<Table>& table) {
    for (const contract::Registration& row : table)
        host.Register(interfaceName, row.methodName, row.procTypeName, row.proc);
}

// What GetMethod finds on a container under a row's names (null when the
// container has no such method); a host error fails the test.
void* FindMethod(QELContainerHandle container, const contract::Row& row);
template <auto Row>
contract::ProcType<Row> MethodOf(QELContainerHandle container) {
    return reinterpret_cast<contract::ProcType<Row>>(FindMethod(container, RowOf<Row>()));
}
std::vector<ResolveCall> TakeResolveCalls();

}  // namespace qeltest
