// The composed start-up and exit of the plugin host, in-process and through
// the quillon-headless program.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <future>

#include "checkcycle.h"
#include "checkstate.h"
#include "headless_child.h"
#include "host.h"
#include "host_fixture.h"
#include "lifecycle.h"
#include "loader.h"
#include "settings.h"
#include "showlist.h"
#include "test_servers.h"
#include "vorlo/thread.h"

namespace {

using Host = HostTest;

ThreadRecord *CannotStart(const char *, ThreadRoutine, void *) { return nullptr; }

int pumped = 0;
void Pump(void *) { ++pumped; }

TEST_F(Host, StartupHintsAndExitWithoutACheckThread) {
    CopyPlugin(Lib("qln_basic"), "data/plugins", Lib("qln_basic"));
    char arg0[] = "quillon";
    char *argv[] = {arg0};
    ASSERT_EQ(-1, StartupBeforeWindow(1, argv, box.File(Native("data/")).c_str()));
    frontEnd.Clear();
    SetThreadStarterForTesting(&CannotStart);
    EXPECT_FALSE(HostAfterWindow());
    SetThreadStarterForTesting(nullptr);

    std::vector<std::string> log = Texts(LogTarget::Log);
    ASSERT_EQ(8u, log.size());
    EXPECT_EQ("Loading plugins...", log[0]);
    EXPECT_EQ("Attempting to load plugin: " + box.File(Native("data/plugins/") + Lib("qln_basic")), log[1]);
    EXPECT_EQ("Plugin loaded successfully!", log[3]);
    EXPECT_EQ("No plugins enabled, configure & enable at least 1 plugin to use Quillon.", log[4]);
    EXPECT_EQ("Since you don't have any shows defined, you may want to go to File -> Edit shows... "
              "to add some.",
              log[5]);
    EXPECT_EQ("Ready.", log[6]);
    EXPECT_NE(std::string::npos, log[7].find("could not start the Checking Thread"));
    EXPECT_EQ(L"Ready.", frontEnd.Status(0));

    // Exit does not wait for a thread that never started.
    EXPECT_EQ(0, ThreadCount());
    EXPECT_EQ(0, HostExit(&Pump, nullptr));
    EXPECT_TRUE(HasText(LogTarget::Log, "shutdown basic"));
    EXPECT_EQ(0, GetPluginCount());
    EXPECT_TRUE(box.Exists("data/main.conf"));
}

TEST_F(Host, ExitWaitsForTheCheckThreadWhilePumping) {
    CopyPlugin(Lib("qln_basic"), "data/plugins", Lib("qln_basic"));
    box.Write("data/plugins.ini", "[plugins]\r\n{6A0E2C1D-1111-4C2B-9D41-000000000001}=1\r\n");
    char arg0[] = "quillon";
    char *argv[] = {arg0};
    ASSERT_EQ(-1, StartupBeforeWindow(1, argv, box.File(Native("data/")).c_str()));
    EXPECT_TRUE(HostAfterWindow());
    EXPECT_FALSE(HasText(LogTarget::Log,
                         "No plugins enabled, configure & enable at least 1 plugin to use Quillon."));
    EXPECT_EQ(1, ThreadCount());
    pumped = 0;
    EXPECT_EQ(0, HostExit(&Pump, nullptr));
    EXPECT_EQ(0, ThreadCount());
    EXPECT_TRUE(HasText(LogTarget::Log, "shutdown basic"));
}

TEST_F(Host, ExitWhileAPluginsDownloadStalls) {
    StalledServer stalled;
    CopyPlugin(Lib("qln_scriptA"), "data/plugins", Lib("qln_scriptA"));
    box.Write("data/plugins.ini", "[plugins]\r\n{5C1E9A00-AAAA-4B1E-8F00-00000000000A}=1\r\n");
    char arg0[] = "quillon";
    char *argv[] = {arg0};
    ASSERT_EQ(-1, StartupBeforeWindow(1, argv, box.File(Native("data/")).c_str()));
    Show *show = NewShow();
    std::snprintf(show->ShowName, sizeof show->ShowName, "Stalled");
    show->Season = show->Episode = 1;
    AddShow(show);
    ASSERT_TRUE(HostAfterWindow());
    ASSERT_EQ(1, GetPluginCount());
    LibraryHandle lib = g_pluginSlots[0].library;
    reinterpret_cast<void (*)(const char *, int, int)>(LibEntry(lib, "Script_Offer"))("Stalled", 1, 1);
    std::string url = stalled.Url("/slow.nzb");
    reinterpret_cast<void (*)(const char *, int)>(LibEntry(lib, "Script_SetDownload"))(url.c_str(), 0);

    RequestScanNow();
    ASSERT_TRUE(WaitFor([&] { return stalled.Accepted() > 0; }));
    // The window closes while the plugin's download hangs: exit still ends.
    auto exit = std::async(std::launch::async, [] { return HostExit(nullptr, nullptr); });
    ASSERT_EQ(std::future_status::ready, exit.wait_for(std::chrono::seconds(60)));
    EXPECT_EQ(0, exit.get());
    EXPECT_EQ(0, ThreadCount());
    EXPECT_TRUE(HasText(LogTarget::Log, "Checking complete!"));
    EXPECT_FALSE(box.Exists("data/shows.conf"));  // nothing was delivered
}

TEST_F(Host, HeadlessRunsUntilSignalled) {
    HeadlessChild child({"--data", box.File("headless")});
    ASSERT_TRUE(child.Started());
    std::string output;
    ASSERT_TRUE(child.ReadUntil("Ready.", &output)) << output;
    ASSERT_TRUE(child.Stop());
    output += child.ReadRest();
    EXPECT_EQ(0, child.Wait()) << output;
    EXPECT_NE(std::string::npos, output.find("Starting up...")) << output;
    EXPECT_NE(std::string::npos, output.find("Loading plugins...")) << output;
    EXPECT_TRUE(box.Exists("headless/main.conf"));
}

TEST_F(Host, HeadlessRunsRequestedPasses) {
    CopyPlugin(Lib("qln_basic"), "headless/plugins", Lib("qln_basic"));
    box.Write("headless/plugins.ini", "[plugins]\r\n{6A0E2C1D-1111-4C2B-9D41-000000000001}=1\r\n");
    HeadlessChild child({"--data", box.File("headless"), "--scan-now", "--passes", "1"});
    ASSERT_TRUE(child.Started());
    std::string output = child.ReadRest();
    EXPECT_EQ(0, child.Wait()) << output;
    EXPECT_NE(std::string::npos, output.find("Checking for shows...")) << output;
    EXPECT_NE(std::string::npos, output.find("Checking complete!")) << output;
    EXPECT_NE(std::string::npos, output.find("shutdown basic")) << output;
}

}  // namespace
