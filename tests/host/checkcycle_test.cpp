// The check cycle driven pass by pass through a scripted plugin: roll-over,
// catch-up, Skip, pause, the NextSearch boundary, slot order, abort, saving,
// and the due test with Scan Now; then the real thread.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "checkcycle.h"
#include "checkstate.h"
#include "clock.h"
#include "host.h"
#include "host_fixture.h"
#include "loader.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"
#include "test_servers.h"

namespace {

int64_t fakeNow = 1'700'000'000;
int64_t FakeClock() { return fakeNow; }

// The control functions of one loaded scripted plugin.
struct Script {
    void (*Reset)();
    void (*Offer)(const char *, int, int);
    void (*SetHook)(void (*)(const char *, int, int));
    void (*SetDownload)(const char *, int);
    int (*CallCount)();
    const char *(*Call)(int);

    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (int i = 0; i < CallCount(); ++i)
            calls.push_back(Call(i));
        return calls;
    }
};

class CheckCycle : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        fakeNow = 1'700'000'000;
        SetHostClockForTesting(&FakeClock);
    }

    // Loads a scripted plugin into the next slot, enabled.
    Script Load(const std::string &library) {
        EXPECT_TRUE(LoadPlugin(CopyPlugin(library, "p", library).c_str()));
        int slot = GetPluginCount() - 1;
        g_pluginSlots[slot].enabled = 1;
        LibraryHandle lib = g_pluginSlots[slot].library;
        Script s;
        s.Reset = reinterpret_cast<void (*)()>(LibEntry(lib, "Script_Reset"));
        s.Offer = reinterpret_cast<void (*)(const char *, int, int)>(LibEntry(lib, "Script_Offer"));
        s.SetHook = reinterpret_cast<void (*)(void (*)(const char *, int, int))>(LibEntry(lib, "Script_SetHook"));
        s.SetDownload = reinterpret_cast<void (*)(const char *, int)>(LibEntry(lib, "Script_SetDownload"));
        s.CallCount = reinterpret_cast<int (*)()>(LibEntry(lib, "Script_CallCount"));
        s.Call = reinterpret_cast<const char *(*)(int)>(LibEntry(lib, "Script_Call"));
        s.Reset();
        frontEnd.Clear();
        return s;
    }

    Show *AddTestShow(const char *name, int season, int episode) {
        Show *show = NewShow();
        std::snprintf(show->ShowName, sizeof show->ShowName, "%s", name);
        show->Season = season;
        show->Episode = episode;
        AddShow(show);
        return show;
    }
};

TEST_F(CheckCycle, SeasonRollOver) {
    Script a = Load(Lib("qln_scriptA"));
    Show *show = AddTestShow("Roll", 2, 9);
    a.Offer("Roll", 3, 1);
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Roll 2x09", "Roll 3x01"}), a.Calls());
    EXPECT_EQ(3, show->Season);
    EXPECT_EQ(2, show->Episode);
    std::vector<std::string> log = Texts(LogTarget::Log);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ("Checking for shows...", log[0]);
    EXPECT_EQ("Searching for Roll 2x09 ...", log[1]);
    EXPECT_EQ("Searching for Roll 3x01 ...", log[2]);
    EXPECT_EQ("Checking complete!", log.back());
    EXPECT_EQ(L"Checking complete!", frontEnd.Status(0));
    // Saved: reloading gives the advanced show, and the seen mark is on disk.
    ASSERT_TRUE(box.Exists("shows.conf"));
    ASSERT_TRUE(box.Exists("seen.conf"));
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(1, ShowCount());
    EXPECT_EQ(3, GetShow(0)->Season);
    EXPECT_EQ(2, GetShow(0)->Episode);
    EXPECT_NE(std::string::npos, box.Read("seen.conf").find("scriptA Roll 3x01"));
}

TEST_F(CheckCycle, WithoutCatchupOneEpisodePerPass) {
    Script a = Load(Lib("qln_scriptA"));
    Show *show = AddTestShow("One", 1, 1);
    a.Offer("One", 1, 1);
    a.Offer("One", 1, 2);
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"One 1x01"}), a.Calls());
    EXPECT_EQ(2, show->Episode);
}

TEST_F(CheckCycle, CatchupFetchesUntilAMissAndIgnoresNextSearch) {
    Script a = Load(Lib("qln_scriptA"));
    Show *show = AddTestShow("Catch", 1, 1);
    show->Catchup = 1;
    show->NextSearch = fakeNow + 1'000'000;
    for (int e = 1; e <= 3; ++e)
        a.Offer("Catch", 1, e);
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Catch 1x01", "Catch 1x02", "Catch 1x03", "Catch 1x04",
                                        "Catch 2x01"}),
              a.Calls());
    EXPECT_EQ(1, show->Season);
    EXPECT_EQ(4, show->Episode);
}

TEST_F(CheckCycle, SkipMovesNextSearchSixDaysPastTheSuccess) {
    Script a = Load(Lib("qln_scriptA"));
    Show *show = AddTestShow("Skip", 1, 1);
    show->Skip = 1;
    show->Catchup = 1;
    a.Offer("Skip", 1, 1);
    a.Offer("Skip", 1, 2);
    // Time passes inside each search.
    a.SetHook([](const char *, int, int) { fakeNow += 7; });
    int64_t start = fakeNow;
    RunCheck();
    EXPECT_EQ(3, show->Episode);
    // 1x01 and 1x02 found, each 7 s into its search: the last success
    // came 14 s after the start.
    EXPECT_EQ(start + 14 + kSkipSeconds, show->NextSearch);
}

// A delivered release of several episodes moves the show past all of them,
// in the season asked and at the start of the next; names marked in the same
// call that do not hold the asked episode, or that are no longer seen, move
// nothing.
TEST_F(CheckCycle, MultiEpisodeReleaseMovesTheShowPastItsLastEpisode) {
    Script a = Load(Lib("qln_scriptA"));
    static const QLN_HOST_API *api;
    api = reinterpret_cast<const QLN_HOST_API *(*)()>(LibEntry(g_pluginSlots[GetPluginCount() - 1].library, "Script_Host"))();
    Show *show = AddTestShow("Multi", 1, 2);
    show->Catchup = 1;
    a.Offer("Multi", 1, 2);
    a.Offer("Multi", 2, 1);
    static void (*takeBack)();
    // A delivery that failed takes its seen mark back.
    takeBack = [] {
        MutexHold hold(SeenListLock);
        SeenList.erase("Multi.S01E01-E09.720p");
    };
    a.SetHook([](const char *, int season, int episode) {
        if (season == 1 && episode == 2) {
            api->MarkSeen("Multi.S01E02-E04.720p");
            api->MarkSeen("Multi.S01E01-E09.720p");
            takeBack();
            api->MarkSeen("Multi.S02E01-E07.720p");
        } else if (season == 2 && episode == 1) {
            api->MarkSeen("Multi.2x01x02.HDTV");
        }
    });
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Multi 1x02", "Multi 1x05", "Multi 2x01", "Multi 2x03", "Multi 3x01"}),
              a.Calls());
    EXPECT_EQ(2, show->Season);
    EXPECT_EQ(3, show->Episode);
}

TEST_F(CheckCycle, FailedDeliveryDoesNotAdvanceTheShow) {
    TestHttpServer server;
    server.Routes().Get("/ok.nzb", [](const httplib::Request &, httplib::Response &res) {
        res.set_content("<nzb/>", "application/x-nzb");
    });
    server.Start();
    g_settings.NZB_Exec = 0;
    std::snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "%s", box.File("").c_str());
    Script a = Load(Lib("qln_scriptA"));
    Show *lost = AddTestShow("Lost", 1, 1);
    Show *got = AddTestShow("Got", 1, 1);
    a.Offer("Lost", 1, 1);
    a.Offer("Got", 1, 1);
    std::string missing = server.Url("/missing.nzb"), ok = server.Url("/ok.nzb");
    static std::string *urls[2];
    urls[0] = &missing;
    urls[1] = &ok;
    static void (*setDownload)(const char *, int);
    setDownload = a.SetDownload;
    a.SetHook([](const char *name, int, int) {
        setDownload(std::string(name) == "Lost" ? urls[0]->c_str() : urls[1]->c_str(), 0);
    });
    RunCheck();
    EXPECT_EQ(1, lost->Episode);
    EXPECT_EQ(2, got->Episode);
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Downloaded " + ok));
    EXPECT_EQ(1u, frontEnd.Balloons().size());
}

TEST_F(CheckCycle, PausedShowIsNeverSearched) {
    Script a = Load(Lib("qln_scriptA"));
    Show *show = AddTestShow("Paused", 1, 1);
    show->Pause = 1;
    show->Catchup = 1;
    a.Offer("Paused", 1, 1);
    RunCheck();
    EXPECT_TRUE(a.Calls().empty());
    EXPECT_EQ(1, show->Episode);
    EXPECT_FALSE(HasText(LogTarget::Log, "Searching for Paused 1x01 ..."));
}

TEST_F(CheckCycle, DueOnlyWhenNowIsLaterThanNextSearch) {
    Script a = Load(Lib("qln_scriptA"));
    Show *show = AddTestShow("Edge", 1, 1);
    show->NextSearch = fakeNow;
    a.Offer("Edge", 1, 1);
    RunCheck();
    EXPECT_TRUE(a.Calls().empty());
    fakeNow += 1;
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Edge 1x01"}), a.Calls());
}

TEST_F(CheckCycle, LowerSlotIsAskedFirstAndWins) {
    Script a = Load(Lib("qln_scriptA"));
    Script b = Load(Lib("qln_scriptB"));
    AddTestShow("Both", 1, 1);
    a.Offer("Both", 1, 1);
    b.Offer("Both", 1, 1);
    b.Offer("Both", 1, 2);
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Both 1x01"}), a.Calls());
    EXPECT_TRUE(b.Calls().empty());

    // A miss in the first slot passes the question on.
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Both 1x01", "Both 1x02"}), a.Calls());
    EXPECT_EQ((std::vector<std::string>{"Both 1x02"}), b.Calls());
    EXPECT_EQ(3, GetShow(0)->Episode);
}

TEST_F(CheckCycle, DisabledPluginIsNotAsked) {
    Script a = Load(Lib("qln_scriptA"));
    Script b = Load(Lib("qln_scriptB"));
    g_pluginSlots[0].enabled = 0;
    AddTestShow("Show", 1, 1);
    b.Offer("Show", 1, 1);
    RunCheck();
    EXPECT_TRUE(a.Calls().empty());
    EXPECT_EQ(2, GetShow(0)->Episode);
}

TEST_F(CheckCycle, AbortFinishesTheCallAndSavesWhatAdvanced) {
    Script a = Load(Lib("qln_scriptA"));
    Script b = Load(Lib("qln_scriptB"));
    AddTestShow("First", 1, 1);
    AddTestShow("Second", 1, 1);
    a.Offer("First", 1, 1);
    a.Offer("Second", 1, 1);
    b.Offer("Second", 1, 1);
    // The user presses Stop Scan while the first plugin works on "First".
    a.SetHook([](const char *, int, int) { RequestStopScan(); });
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"First 1x01"}), a.Calls());
    EXPECT_TRUE(b.Calls().empty());
    EXPECT_EQ(2, GetShow(0)->Episode);
    EXPECT_EQ(1, GetShow(1)->Episode);
    EXPECT_EQ(L"Check aborted.", frontEnd.Status(0));
    EXPECT_TRUE(HasText(LogTarget::Log, "Aborting show check..."));
    EXPECT_EQ("Check aborted.", Texts(LogTarget::Log).back());
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(2, ShowCount());
    EXPECT_EQ(2, GetShow(0)->Episode);
    EXPECT_EQ(1, GetShow(1)->Episode);
}

TEST_F(CheckCycle, AbortBeforeThePassSearchesNothing) {
    Script a = Load(Lib("qln_scriptA"));
    AddTestShow("Show", 1, 1);
    a.Offer("Show", 1, 1);
    abortCheck = true;
    RunCheck();
    EXPECT_TRUE(a.Calls().empty());
    EXPECT_EQ((std::vector<std::string>{"Checking for shows...", "Check aborted."}),
              Texts(LogTarget::Log));
    EXPECT_FALSE(box.Exists("shows.conf"));
}

TEST_F(CheckCycle, NoChangeWritesNoFile) {
    Script a = Load(Lib("qln_scriptA"));
    AddTestShow("Nothing", 1, 1);
    RunCheck();
    EXPECT_EQ(2, a.CallCount());
    EXPECT_FALSE(box.Exists("shows.conf"));
    EXPECT_FALSE(box.Exists("seen.conf"));
    EXPECT_FALSE(box.Exists("backup"));
}

TEST_F(CheckCycle, ShutdownStopsAtTheNextShowAndReportsComplete) {
    Script a = Load(Lib("qln_scriptA"));
    AddTestShow("First", 1, 1);
    AddTestShow("Second", 1, 1);
    a.Offer("First", 1, 1);
    a.Offer("Second", 1, 1);
    a.SetHook([](const char *, int, int) { shuttingDown = true; });
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"First 1x01"}), a.Calls());
    EXPECT_TRUE(box.Exists("shows.conf"));
    EXPECT_EQ(L"Checking complete!", frontEnd.Status(0));
}

TEST_F(CheckCycle, ScanNowWaitsForAnEnabledPlugin) {
    Script a = Load(Lib("qln_scriptA"));
    g_pluginSlots[0].enabled = 0;
    AddTestShow("Show", 1, 1);
    RequestScanNow();
    EXPECT_FALSE(CheckTurn());
    EXPECT_FALSE(CheckTurn());
    EXPECT_TRUE(checkNow.load());
    EXPECT_TRUE(a.Calls().empty());

    g_pluginSlots[0].enabled = 1;  // as the settings dialog does
    fakeNow += 5;
    EXPECT_TRUE(CheckTurn());
    EXPECT_EQ(2, a.CallCount());  // 1x01, then 2x01
    EXPECT_FALSE(checkNow.load());
    EXPECT_FALSE(checking.load());
    EXPECT_EQ(fakeNow, lastCheckEnd.load());
    EXPECT_EQ((std::vector<bool>{true, false}), frontEnd.StopScanHistory());
    EXPECT_FALSE(CheckTurn());  // nothing more is due with auto scan off
}

TEST_F(CheckCycle, AutoScanIsDueStrictlyAfterTheInterval) {
    Load(Lib("qln_scriptA"));
    g_settings.AutoScan = 1;
    g_settings.SecondsBetweenScans = 900;
    EXPECT_TRUE(CheckTurn());  // lastCheckEnd 0: due at once
    fakeNow += 900;
    EXPECT_FALSE(CheckTurn());
    fakeNow += 1;
    EXPECT_TRUE(CheckTurn());
}

TEST_F(CheckCycle, RealThreadRunsARequestedPassAndEndsOnShutdown) {
    SetHostClockForTesting(nullptr);
    Script a = Load(Lib("qln_scriptA"));
    AddTestShow("Threaded", 1, 1);
    a.Offer("Threaded", 1, 1);
    long before = CompletedPasses();
    ASSERT_TRUE(StartCheckThread());
    EXPECT_EQ(1, ThreadCount());
    RequestScanNow();
    ASSERT_TRUE(WaitFor([&] { return CompletedPasses() > before; }));
    EXPECT_EQ(2, GetShow(0)->Episode);
    EXPECT_TRUE(HasText(LogTarget::Log, "Checking complete!"));
    shuttingDown = true;
    ASSERT_TRUE(WaitFor([] { return ThreadCount() == 0; }));
}

ThreadRecord *CannotStart(const char *, ThreadRoutine, void *) { return nullptr; }

TEST_F(CheckCycle, ThreadThatCannotStartIsReportedAndNotWaitedFor) {
    SetThreadStarterForTesting(&CannotStart);
    EXPECT_FALSE(StartCheckThread());
    SetThreadStarterForTesting(nullptr);
    std::vector<std::string> log = Texts(LogTarget::Log);
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].find("could not start the Checking Thread"));
    EXPECT_EQ(0, ThreadCount());
}

TEST_F(CheckCycle, FailedSaveIsShownAndTriedAgainAfterTheNextPass) {
    Script a = Load(Lib("qln_scriptA"));
    AddTestShow("Show", 1, 1);
    a.Offer("Show", 1, 1);
    // Something that is no file stands where shows.conf goes: the save fails.
    std::filesystem::create_directories(box.File("shows.conf"));
    RunCheck();
    EXPECT_EQ(2, GetShow(0)->Episode);
    EXPECT_EQ(L"Checking complete, but the show and seen lists could not be saved!", frontEnd.Status(0));
    EXPECT_TRUE(HasText(LogTarget::Log, "Error saving " + box.File("shows.conf") + ": " + std::strerror(EINVAL)));

    // The next pass finds nothing new but saves what the last one could not.
    std::filesystem::remove(box.File("shows.conf"));
    RunCheck();
    EXPECT_EQ(L"Checking complete!", frontEnd.Status(0));
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(1, ShowCount());
    EXPECT_EQ(2, GetShow(0)->Episode);
}

TEST_F(CheckCycle, LongestIntervalNeverMakesAPassDueEarly) {
    Load(Lib("qln_scriptA"));
    g_settings.AutoScan = 1;
    lastCheckEnd = fakeNow;
    g_settings.SecondsBetweenScans = INT64_MAX;  // the end of the last pass + this passes 64 bits
    EXPECT_FALSE(CheckTurn());
    g_settings.SecondsBetweenScans = 900;
    fakeNow += 901;
    EXPECT_TRUE(CheckTurn());
}

}  // namespace
