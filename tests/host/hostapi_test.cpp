// The host service table: its plain entries and the guard that every libcurl
// handle handed out through it carries.
#include <gtest/gtest.h>

#include <cstddef>

#include <cstring>
#include <future>
#include <string>

#include "checkstate.h"
#include "host_fixture.h"
#include "hostapi.h"
#include "settings.h"
#include "test_servers.h"

namespace {

using HostApi = HostTest;

std::string MakeName(const char *name, const char *extension) {
    char buffer[256];
    std::strcpy(buffer, name);
    GetHostApi()->MakeFileName(buffer, extension);
    return buffer;
}

TEST(MakeFileName, AppendsExtensionUnlessFirstDotBeginsIt) {
    EXPECT_EQ("Show_Name_1x02.nzb", MakeName("Show Name 1x02", ".nzb"));
    EXPECT_EQ("Show.Name.S01E02.nzb", MakeName("Show.Name.S01E02", ".nzb"));
    EXPECT_EQ("release.nzb", MakeName("release.nzb", ".NZB"));
    EXPECT_EQ("a_b___c.d", MakeName("a/b:\xC3\xA9"
                                   "c.d", nullptr));
    EXPECT_EQ(".torrent", MakeName("", ".torrent"));
}

TEST_F(HostApi, ArgumentsOfTheProcess) {
    char a0[] = "quillon", a1[] = "--x";
    char *argv[] = {a0, a1};
    SetHostArgs(2, argv);
    const QLN_HOST_API *api = GetHostApi();
    ASSERT_EQ(2, api->GetArgCount());
    EXPECT_STREQ("quillon", api->GetArg(0));
    EXPECT_STREQ("--x", api->GetArg(1));
    EXPECT_EQ(nullptr, api->GetArg(2));
    SetHostArgs(0, nullptr);
}

TEST_F(HostApi, LogEntriesTakeThePluginsFormat) {
    const QLN_HOST_API *api = GetHostApi();
    api->Log("found %d of %s, 100%%", 3, "x");
    api->LogDownload("Marking %s seen\n", "Show.1x01");
    EXPECT_TRUE(HasText(LogTarget::Log, "found 3 of x, 100%"));
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Marking Show.1x01 seen"));
}

TEST_F(HostApi, SeenEntries) {
    const QLN_HOST_API *api = GetHostApi();
    EXPECT_FALSE(api->IsSeen("Release.One"));
    api->MarkSeen("Release.One");
    EXPECT_TRUE(api->IsSeen("Release.One"));
    EXPECT_FALSE(api->IsSeen("release.one"));
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Marking Release.One seen"));
}

TEST_F(HostApi, StatusTextUsesTheLowByteOfThePart) {
    const QLN_HOST_API *api = GetHostApi();
    api->SetStatusText(L"one", 1);
    api->SetStatusText(L"two", 0x102);
    api->SetStatusText(L"ignored", 7);
    EXPECT_EQ(L"one", frontEnd.Status(1));
    EXPECT_EQ(L"two", frontEnd.Status(2));
    EXPECT_EQ(std::vector<std::wstring>{}, frontEnd.StatusHistory(0));
}

TEST_F(HostApi, SleepSecondsEndsOnShutdown) {
    GetHostApi()->SleepSeconds(0);
    auto sleeper = std::async(std::launch::async, [] { GetHostApi()->SleepSeconds(3600); });
    EXPECT_EQ(std::future_status::timeout, sleeper.wait_for(std::chrono::milliseconds(100)));
    shuttingDown = true;
    EXPECT_TRUE(GetHostApi()->IsShuttingDown());
    sleeper.get();  // returns: the test would hang for an hour otherwise
}

TEST(HostTables, EveryEntryIsSet) {
    const QLN_HOST_API *api = GetHostApi();
    const void *const *entries = reinterpret_cast<const void *const *>(api);
    for (size_t i = 0; i < sizeof(QLN_HOST_API) / sizeof(void *); ++i) {
        // Entry 20's place is kept empty until the change that fills it lands.
        if (i * sizeof(void *) == offsetof(QLN_HOST_API, Reserved20)) {
            EXPECT_EQ(nullptr, entries[i]);
            EXPECT_FALSE(QLN_HostHasEntry(api, offsetof(QLN_HOST_API, Reserved20)));
            continue;
        }
        EXPECT_NE(nullptr, entries[i]) << "entry " << i;
        EXPECT_TRUE(QLN_HostHasEntry(api, i * sizeof(void *))) << "entry " << i;
    }
    EXPECT_EQ(GetHostCurlApi(), api->Curl);
    EXPECT_EQ(GetHostMemApi(), api->Mem);
    EXPECT_EQ(&curl_easy_strerror, api->Curl->curl_easy_strerror);

    // The tracker entries work as a pair.
    char *text = api->Mem->zstrdup("abc", __FILE__, __LINE__);
    EXPECT_STREQ("abc", text);
    api->Mem->zfree(text, __FILE__, __LINE__);
}

// ---- libcurl through the table --------------------------------------------

size_t Collect(char *data, size_t size, size_t count, void *out) {
    static_cast<std::string *>(out)->append(data, size * count);
    return size * count;
}

class CurlGuard : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        curl = GetHostApi()->Curl;
        handle = curl->curl_easy_init();
        ASSERT_NE(nullptr, handle);
        curl->curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Collect);
        curl->curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(&body));
    }
    void TearDown() override {
        curl->curl_easy_cleanup(handle);
        SetTransferStallSecondsForTesting(0);
        HostTest::TearDown();
    }
    CURLcode Get(const std::string &url) {
        curl->curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        return curl->curl_easy_perform(handle);
    }

    const QLN_CURL_API *curl = nullptr;
    CURL *handle = nullptr;
    std::string body;
};

TEST_F(CurlGuard, OnlyHttpAndHttps) {
    box.Write("secret.txt", "secret");
    EXPECT_EQ(CURLE_UNSUPPORTED_PROTOCOL, Get(FileUrl(box.File("secret.txt"))));
    EXPECT_EQ("", body);

    // Widening is refused, narrowing within http/https accepted.
    EXPECT_EQ(CURLE_BAD_FUNCTION_ARGUMENT, curl->curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "all"));
    EXPECT_EQ(CURLE_BAD_FUNCTION_ARGUMENT,
              curl->curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,file"));
    EXPECT_EQ(CURLE_BAD_FUNCTION_ARGUMENT,
              curl->curl_easy_setopt(handle, CURLOPT_PROTOCOLS, (long)CURLPROTO_ALL));
    EXPECT_EQ(CURLE_BAD_FUNCTION_ARGUMENT,
              curl->curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS, (long)CURLPROTO_FILE));
    EXPECT_EQ(CURLE_OK, curl->curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "HTTPS,http"));
    EXPECT_EQ(CURLE_UNSUPPORTED_PROTOCOL, Get(FileUrl(box.File("secret.txt"))));
}

TEST_F(CurlGuard, RedirectToLocalFileIsRefused) {
    box.Write("secret.txt", "secret");
    TestHttpServer server;
    std::string target = FileUrl(box.File("secret.txt"));
    server.Routes().Get("/go", [&](const httplib::Request &, httplib::Response &res) {
        res.set_redirect(target);
    });
    server.Routes().Get("/ok", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("fine", "text/plain");
    });
    server.Start();
    curl->curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    EXPECT_EQ(CURLE_OK, Get(server.Url("/ok")));
    EXPECT_EQ("fine", body);
    body.clear();
    CURLcode code = Get(server.Url("/go"));
#ifdef _WIN32
    // libcurl there is built for HTTP only: its URL parser refuses the file:
    // location before any protocol check.
    EXPECT_TRUE(code == CURLE_UNSUPPORTED_PROTOCOL || code == CURLE_URL_MALFORMAT) << code;
#else
    EXPECT_EQ(CURLE_UNSUPPORTED_PROTOCOL, code);
#endif
    EXPECT_EQ(std::string::npos, body.find("secret"));
}

TEST_F(CurlGuard, ShutdownEndsAStalledTransferWithProgressTurnedOff) {
    StalledServer server;
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    auto transfer = std::async(std::launch::async, [&] { return Get(server.Url("/x")); });
    ASSERT_TRUE(WaitFor([&] { return server.Accepted() > 0; }));
    shuttingDown = true;
    // Generously bounded: the guard ends it within about a second.
    ASSERT_EQ(std::future_status::ready, transfer.wait_for(std::chrono::seconds(60)));
    EXPECT_EQ(CURLE_ABORTED_BY_CALLBACK, transfer.get());
}

int pluginProgressCalls = 0;
int PluginProgress(void *data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    ++pluginProgressCalls;
    return *static_cast<int *>(data);  // non-zero aborts
}

TEST_F(CurlGuard, PluginsOwnProgressCallbackStillRuns) {
    StalledServer server;
    int abortNow = 1;
    pluginProgressCalls = 0;
    curl->curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &PluginProgress);
    curl->curl_easy_setopt(handle, CURLOPT_XFERINFODATA, static_cast<void *>(&abortNow));
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    EXPECT_EQ(CURLE_ABORTED_BY_CALLBACK, Get(server.Url("/x")));
    EXPECT_GT(pluginProgressCalls, 0);

    // Turned off again, the plugin's callback is no longer asked (the
    // transfer ends by the stall limit instead).
    SetTransferStallSecondsForTesting(1);
    curl->curl_easy_cleanup(handle);
    handle = curl->curl_easy_init();
    curl->curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &PluginProgress);
    curl->curl_easy_setopt(handle, CURLOPT_XFERINFODATA, static_cast<void *>(&abortNow));
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    pluginProgressCalls = 0;
    EXPECT_EQ(CURLE_OPERATION_TIMEDOUT, Get(server.Url("/y")));
    EXPECT_EQ(0, pluginProgressCalls);
}

TEST_F(CurlGuard, SilentServerFailsWithLibcurlsTimeout) {
    SetTransferStallSecondsForTesting(1);  // 300 s in the program
    curl->curl_easy_cleanup(handle);
    handle = curl->curl_easy_init();
    StalledServer server;
    // A plugin cannot switch the limit off.
    curl->curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 0L);
    curl->curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 0L);
    EXPECT_EQ(CURLE_OPERATION_TIMEDOUT, Get(server.Url("/x")));
}

TEST_F(CurlGuard, TransferAfterShutdownDoesNotStart) {
    TestHttpServer server;
    int hits = 0;
    server.Routes().Get("/x", [&](const httplib::Request &, httplib::Response &res) {
        ++hits;
        res.set_content("x", "text/plain");
    });
    server.Start();
    shuttingDown = true;
    EXPECT_EQ(CURLE_ABORTED_BY_CALLBACK, Get(server.Url("/x")));
    EXPECT_EQ(0, hits);
}

}  // namespace
