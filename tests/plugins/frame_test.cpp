// The frame's guard around the entry points the host calls through the C
// contract: no exception may leave a plugin.
#include "fake_host.h"
#include "fetch.h"
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

CURLcode AbortedByTheHost(CURL *) { return CURLE_ABORTED_BY_CALLBACK; }
CURLcode Refused(CURL *) { return CURLE_COULDNT_CONNECT; }

// The host ends a transfer only on Stop Scan or exit, and logs that itself.
TEST_F(EntryGuard, ATransferTheHostStoppedIsNoFailureToReport) {
    QLN_CURL_API curl = *host.Api()->Curl;
    QLN_HOST_API api = *host.Api();
    api.Curl = &curl;
    FrameSetHost(&api);
    ReceiveBuffer answer;
    curl.curl_easy_perform = AbortedByTheHost;
    EXPECT_EQ(FetchResult::Failed, FetchToMemory("http://127.0.0.1:9/", FetchOptions(), answer));
    EXPECT_THAT(host.log, IsEmpty());
    curl.curl_easy_perform = Refused;
    EXPECT_EQ(FetchResult::Failed, FetchToMemory("http://127.0.0.1:9/", FetchOptions(), answer));
    EXPECT_THAT(host.log, ElementsAre(std::string("Error downloading URL: ") +
                                      curl_easy_strerror(CURLE_COULDNT_CONNECT) + "\n"));
}

} // namespace
