// The frame's guard around the entry points the host calls through the C
// contract: no exception may leave a plugin.
#include "fake_host.h"
#include "frame.h"

#include <sandbox.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class EntryGuard : public ::testing::Test {
protected:
    void SetUp() override { FrameSetHost(host.Api()); }
    void TearDown() override { FrameSetHost(nullptr); }

    Sandbox box;
    FakeHost host{box.Path(), box.File("plugins.ini")};
};

TEST_F(EntryGuard, ExceptionsEndTheCallWithItsFailureResultAndALine) {
    EXPECT_FALSE(GuardEntry("P", "Search", false, []() -> bool { throw std::bad_alloc(); }));
    EXPECT_EQ(GuardEntry("P", "Init", 1, []() -> int { throw std::length_error("too long"); }), 1);
    EXPECT_EQ(GuardEntry("P", "Configure", 0, []() -> int { throw 42; }), 0);
    EXPECT_THAT(host.log, ElementsAre("[P] Search stopped: out of memory\n", "[P] Init stopped: too long\n",
                                      "[P] Configure stopped: unexpected error\n"));
}

TEST_F(EntryGuard, ResultPassesThroughWithoutALine) {
    EXPECT_TRUE(GuardEntry("P", "Search", false, [] { return true; }));
    EXPECT_EQ(GuardEntry("P", "Init", 1, [] { return 0; }), 0);
    EXPECT_THAT(host.log, IsEmpty());
}

TEST(EntryGuardWithoutHost, StaysQuietBeforeInit) {
    FrameSetHost(nullptr);
    EXPECT_FALSE(GuardEntry("P", "Configure", false, []() -> bool { throw std::bad_alloc(); }));
}

} // namespace
