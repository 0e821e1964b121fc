// White-box fixtures: the library's internals are linked into the test, and
// the reference host drives the linked exports.
#pragma once

#include "host_fixture.h"
#include "qelutils/qelutils.h"

namespace qeltest {

class LinkedHostTest : public HostTest {
protected:
    void LoadLibrary() override { host().Attach(&QELUtilsGetVersion, &QELUtilsInitialize, &QELUtilsTerminate); }
};

class LinkedLibraryTest : public LinkedHostTest {
protected:
    void SetUp() override {
        LinkedHostTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(Initialize(), 1);
    }
};

}  // namespace qeltest
