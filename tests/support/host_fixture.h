// Test fixtures that drive QELUtils through the reference host, and prove
// after every test that the host's books are back to zero.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "qelhost/host.h"

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
std::vector<ResolveCall> TakeResolveCalls();

}  // namespace qeltest
