#include "host_fixture.h"
namespace { using qeltest::HostTest; TEST_F(HostTest, Smoke) { EXPECT_EQ(host().LibraryVersion(), 65793u); EXPECT_EQ(Initialize(), 1); } }
