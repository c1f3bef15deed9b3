// qln_newznab.so loaded with dlopen and driven through a fake host table
// (with the appended magnet entry) against a fake indexer on 127.0.0.1.
#include "fake_host.h"
#include "fake_indexer.h"
#include "library_symbols.h"

#include <sandbox.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

const std::string kKey = "S3cretKey0123456789";
const std::string kNzb = "<?xml version=\"1.0\"?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\"><file/></nzb>";
const std::string kTorrent = "d8:announce3:abc4:infod4:name3:oneee";
const std::string kTvCaps = "<tv-search available=\"yes\" supportedParams=\"q,rid,tvdbid,season,ep\"/>";

std::vector<std::pair<std::string, std::string>> gMagnets;
std::vector<unsigned> gSleeps;
bool gHostTakesMagnets = true;
QLN_PLUGIN gMarker{};

bool RecordMagnet(const char *uri, const char *title) {
    gMagnets.emplace_back(uri, title);
    return true;
}
// The host's GetSearchPass, as a test sets it.
bool gPassEntry = false;
QLN_SEARCH_PASS gPass{};
bool FakeSearchPass(const Show *, int, int, QLN_SEARCH_PASS *pass) {
    uint32_t size = pass->Size;
    *pass = gPass;
    pass->Size = size;
    return (gPass.Flags & QLN_PASS_FIRST_DAY) != 0;
}
// The ids the host gives for a linked show; TvmazeId 0: the host knows none.
QLN_SHOW_INFO gShowInfo{};
bool gHostGivesIds = false;
bool GiveShowInfo(const Show *, int, int, QLN_SHOW_INFO *info) {
    uint32_t size = info->Size;
    std::memcpy(info, &gShowInfo, size < sizeof gShowInfo ? size : sizeof gShowInfo);
    info->Size = size;
    return gShowInfo.TvmazeId != 0;
}
QLN_PLUGIN *Probe(int n) {
    if (gHostGivesIds && n == QLN_HOST_ENTRY_PROBE - 21)
        return &gMarker;
    if (gPassEntry && n == QLN_HOST_ENTRY_PROBE - 22)
        return &gMarker;
    return gHostTakesMagnets && n == QLN_HOST_ENTRY_PROBE - 19 ? &gMarker : nullptr;
}
void RecordSleep(unsigned seconds) { gSleeps.push_back(seconds); }

class Newznab : public ::testing::Test {
protected:
    Newznab() : library(LoadPluginLibrary(QLN_NEWZNAB_PATH)) {}

    void SetUp() override {
        gMagnets.clear();
        gSleeps.clear();
        gHostTakesMagnets = true;
        gHostGivesIds = false;
        gShowInfo = QLN_SHOW_INFO{};
        gPassEntry = false;
        gPass = QLN_SEARCH_PASS{};
        Setup("");
    }
    void TearDown() override {
        for (const std::string &path : Delivered())
            std::remove(path.c_str());
        host.reset();
    }

    // plugins.ini with row 1 pointing at the fake indexer, plus `extra` keys.
    void Setup(const std::string &extra) {
        box.Write("plugins.ini", "[plugins]\r\n[newznab1]\r\nname=Fake\r\nurl=" + server.Address() +
                                     "\r\napikey=" + kKey + "\r\n" + extra);
        Restart();
    }
    // As after a restart of the program: a new host table and Init.
    void Restart() {
        host.reset();
        host = std::make_unique<FakeHost>(box.Path(), box.File("plugins.ini"));
        api = *host->Api();
        api.HandleMagnet = RecordMagnet;
        api.GetLoadedPlugin = Probe;
        api.GetShowInfo = GiveShowInfo;
        api.SleepSeconds = RecordSleep;
        api.GetSearchPass = FakeSearchPass;
        plugin = library.getPlugin(0);
        ASSERT_EQ(plugin->Init(0, &api), 0);
    }
    bool Search(const std::string &name, int season, int episode, const std::string &keywords = "",
                bool hd = false) {
        Show show = MakeShow(name, keywords, hd);
        return plugin->Search(&show, season, episode);
    }
    std::string Status() {
        char buffer[256] = "Enabled";
        plugin->GetStatus(buffer, sizeof buffer);
        return buffer;
    }
    std::vector<std::string> Delivered() const {
        std::vector<std::string> paths;
        if (host)
            for (const std::string &call : host->CallsStartingWith("HandleFile "))
                paths.push_back(call.substr(11));
        return paths;
    }
    std::string Url(const std::string &path) const { return server.Address() + path; }
    void ServeTv(const std::vector<std::string> &items, const std::string &extra = "") {
        server.OnApi("caps", {200, CapsXml(kTvCaps)});
        server.OnApi("tvsearch", {200, ResultsXml(items, extra)});
    }

    LoadedLibrary library;
    Sandbox box;
    FakeIndexer server;
    std::unique_ptr<FakeHost> host;
    QLN_HOST_API api{};
    QLN_PLUGIN *plugin = nullptr;
};

// ---- rows -------------------------------------------------------------------

TEST_F(Newznab, EightRowsWithStableIdsAndOneBlankRowOffered) {
    ASSERT_EQ(library.numPlugins(), 8);
    std::set<std::string> ids;
    for (int i = 0; i < 8; ++i) {
        ASSERT_NE(library.getPlugin(i), nullptr);
        ids.insert(library.getPlugin(i)->id);
        EXPECT_EQ(std::string(library.getPlugin(i)->id).size(), 38u);
    }
    EXPECT_EQ(ids.size(), 8u);
    EXPECT_EQ(library.getPlugin(8), nullptr);
    EXPECT_EQ(library.getPlugin(-1), nullptr);
    // Row 1 is set up: registered under its name. Row 2 is the one blank row
    // offered for the next indexer; rows 3 to 8 are not offered.
    EXPECT_STREQ(plugin->name, "Fake");
    EXPECT_EQ(library.getPlugin(1)->Init(1, &api), 0);
    EXPECT_STREQ(library.getPlugin(1)->name, "Indexer 2");
    char status[256] = "Enabled";
    EXPECT_FALSE(library.getPlugin(1)->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "No URL Set in Plugin");
    EXPECT_NE(library.getPlugin(2)->Init(2, &api), 0);
    EXPECT_NE(library.getPlugin(7)->Init(7, &api), 0);
    EXPECT_EQ(Status(), "Enabled");
}

TEST_F(Newznab, ExportsOnlyTheTwoEntryPointsAndNoLibcurl) {
    EXPECT_THAT(DynamicSymbols(QLN_NEWZNAB_PATH, "--defined-only"), ElementsAre("QLN_GetPlugin", "QLN_NumPlugins"));
    for (const std::string &name : DynamicSymbols(QLN_NEWZNAB_PATH, "--undefined-only"))
        EXPECT_NE(name.rfind("curl_", 0), 0u) << name;
}

// ---- capabilities and the query --------------------------------------------

TEST_F(Newznab, TvSearchBySeasonAndEpisodeWithCapsAskedOncePerRun) {
    ServeTv({});
    EXPECT_FALSE(Search("Alpha Show", 1, 2, "German"));
    EXPECT_FALSE(Search("Alpha Show", 1, 3, "", true));
    EXPECT_THAT(server.Targets(),
                ElementsAre("/api?t=caps&apikey=" + kKey,
                            "/api?t=tvsearch&apikey=" + kKey + "&cat=5030,5040&extended=1&q=Alpha%20Show%20German&season=1&ep=2",
                            "/api?t=tvsearch&apikey=" + kKey + "&cat=5040,5045&extended=1&q=Alpha%20Show&season=1&ep=3"));
    Restart();
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(server.CountApi("caps"), 2u) << "asked again after a restart";
    // Every request after the first one of a search waited its turn.
    EXPECT_THAT(gSleeps, Contains(1u));
}

TEST_F(Newznab, LinkedShowIsAskedByItsIdsBeforeItsName) {
    gHostGivesIds = true;
    gShowInfo.TvmazeId = 169;
    gShowInfo.TvdbId = 81189;
    std::snprintf(gShowInfo.ImdbId, sizeof gShowInfo.ImdbId, "tt0903747");
    const std::string start = "/api?t=tvsearch&apikey=" + kKey + "&cat=5030,5040&extended=1";
    const std::string text = start + "&q=Alpha%20Show&season=1&ep=2";
    // Every listed id the show has, in one request without q; the name
    // follows only when that found nothing.
    server.OnApi("caps", {200, CapsXml("<tv-search available=\"yes\" "
                                       "supportedParams=\"q,rid,tvdbid,tvmazeid,imdbid,season,ep\"/>")});
    server.OnApi("tvsearch", {200, ResultsXml({})});
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_THAT(server.Targets(), ElementsAre("/api?t=caps&apikey=" + kKey,
                                              start + "&tvdbid=81189&tvmazeid=169&imdbid=0903747&season=1&ep=2",
                                              text));
    server.OnApi("tvsearch", {200, ResultsXml({ResultItemXml("Alpha.Show.S01E02.720p", Url("/get/a.nzb"))})});
    server.OnPath("/get/a.nzb", {200, kNzb});
    size_t before = server.Targets().size();
    EXPECT_TRUE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(server.CountApi("tvsearch"), 3u) << "found by ids: no word search";
    EXPECT_EQ(server.Targets()[before], start + "&tvdbid=81189&tvmazeid=169&imdbid=0903747&season=1&ep=2");

    // Without supportedParams: one id, rid, as Newznab's default; a show
    // without a TVRage id is asked by name as before.
    Restart();
    server.OnApi("caps", {200, CapsXml("<tv-search available=\"yes\"/>")});
    server.OnApi("tvsearch", {200, ResultsXml({})});
    before = server.Targets().size();
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    gShowInfo.TvrageId = 18164;
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    std::vector<std::string> targets = server.Targets();
    EXPECT_THAT(std::vector<std::string>(targets.begin() + static_cast<long>(before), targets.end()),
                ElementsAre("/api?t=caps&apikey=" + kKey, text, start + "&rid=18164&season=1&ep=2", text));

    // An older host (no entry) or an unlinked show: today's request only.
    gHostGivesIds = false;
    before = server.Targets().size();
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    gHostGivesIds = true;
    gShowInfo.TvmazeId = 0;
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    targets = server.Targets();
    EXPECT_THAT(std::vector<std::string>(targets.begin() + static_cast<long>(before), targets.end()),
                ElementsAre(text, text));
}

TEST_F(Newznab, IdSearchLeavesTheWordsOutWhenTheBudgetHasNoRoom) {
    Setup("dailyapi=2\r\n");
    gHostGivesIds = true;
    gShowInfo.TvmazeId = 169;  // not in these caps: only the TheTVDB id is sent
    gShowInfo.TvdbId = 81189;
    ServeTv({});
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_THAT(server.Targets(), ElementsAre("/api?t=caps&apikey=" + kKey,
                                              "/api?t=tvsearch&apikey=" + kKey +
                                                  "&cat=5030,5040&extended=1&tvdbid=81189&season=1&ep=2"));
}

TEST_F(Newznab, CapsDecideBetweenTvSearchAndWordSearch) {
    struct Case {
        std::string tv;
        bool tvSearch;
    } cases[] = {
        {"<tv-search available=\"yes\"/>", true},  // no supportedParams: q,rid,season,ep
        {"<tv-search available=\"yes\" supportedParams=\"q,rid\"/>", false},
        {"<tv-search available=\"no\" supportedParams=\"q,season,ep\"/>", false},
        {"", false},
    };
    for (const Case &c : cases) {
        Setup("apipath=/torznab/api\r\ncategories=5000\r\n");
        server.OnApi("caps", {200, CapsXml(c.tv)});
        server.OnApi("tvsearch", {200, ResultsXml({})});
        server.OnApi("search", {200, ResultsXml({})});
        EXPECT_FALSE(Search("Bravo", 3, 7));
        std::string last = server.Targets().back();
        if (c.tvSearch)
            EXPECT_EQ(last, "/torznab/api?t=tvsearch&apikey=" + kKey + "&cat=5000&extended=1&q=Bravo&season=3&ep=7") << c.tv;
        else
            EXPECT_EQ(last, "/torznab/api?t=search&apikey=" + kKey + "&cat=5000&extended=1&q=Bravo%20S03E07") << c.tv;
    }
}

// ---- choosing and delivering an item ------------------------------------------

TEST_F(Newznab, FirstFittingUnseenItemIsDeliveredThenMarkedSeen) {
    host->seen.insert("Alpha.Show.S01E02.720p-SEEN");
    ServeTv({ResultItemXml("Alpha.Show.S11E02.720p", Url("/get/11.nzb")),
             ResultItemXml("Alpha.Show.S01E03.720p", Url("/get/3.nzb")),
             ResultItemXml("Alpha.Show.S01E02.720p-SEEN", Url("/get/seen.nzb")),
             ResultItemXml("Alpha.Show.11x02.720p", Url("/get/11x.nzb")),
             ResultItemXml("Alpha.Show.01x02.WEB", Url("/get/a.nzb"),
                           "<newznab:attr name=\"size\" value=\"100\"/>"),
             ResultItemXml("Alpha.Show.1x02.Other", Url("/get/b.nzb"))});
    server.OnPath("/get/a.nzb", {200, kNzb});
    server.OnPath("/get/b.nzb", {200, kNzb});
    EXPECT_TRUE(Search("Alpha Show", 1, 2));
    ASSERT_EQ(Delivered().size(), 1u);
    EXPECT_EQ(ReadFileBytes(Delivered()[0]), kNzb);
    EXPECT_THAT(Delivered()[0], HasSubstr("Alpha.Show.01x02.WEB.nzb"));
    // Handed over first, marked seen afterwards; nothing else fetched.
    std::vector<std::string> calls = host->calls;
    auto handed = std::find_if(calls.begin(), calls.end(), [](auto &c) { return c.rfind("HandleFile ", 0) == 0; });
    auto marked = std::find(calls.begin(), calls.end(), "MarkSeen Alpha.Show.01x02.WEB");
    ASSERT_NE(marked, calls.end());
    EXPECT_LT(handed, marked);
    EXPECT_EQ(server.Targets().back(), "/get/a.nzb");
    // The later 1x02 item of the same episode is not fetched in this search.
    EXPECT_EQ(host->CallsStartingWith("MarkSeen").size(), 1u);
}

// The indexer's search by words lists other shows and other episodes: only
// a title naming the show (perhaps with a year or country) and holding the
// episode is taken, a multi-episode release for any of its episodes.
TEST_F(Newznab, TakesOnlyTitlesNamingTheShowAndHoldingTheEpisode) {
    ServeTv({ResultItemXml("Castle.Rock.S02E05.720p", Url("/get/rock.nzb")),
             ResultItemXml("Castle.S02E055.720p", Url("/get/55.nzb")),
             ResultItemXml("Castle.S02E04.720p", Url("/get/4.nzb")),
             ResultItemXml("The.Castle.S02E05.720p", Url("/get/the.nzb")),
             ResultItemXml("Castle.2009.S02E04-E06.720p", Url("/get/multi.nzb"))});
    server.OnPath("/get/multi.nzb", {200, kNzb});
    EXPECT_TRUE(Search("Castle", 2, 5));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"), ElementsAre("MarkSeen Castle.2009.S02E04-E06.720p"));
    EXPECT_EQ(server.Targets().back(), "/get/multi.nzb");
}

TEST_F(Newznab, FailedDownloadMovesOnAndStaysUnseen) {
    ServeTv({ResultItemXml("Show.S02E05.A", Url("/get/missing.nzb")),
             ResultItemXml("Show.S02E05.B", Url("/get/html.nzb")),
             ResultItemXml("Show.S02E05.C", Url("/get/good.nzb"))});
    server.OnPath("/get/html.nzb", {200, "<html><body>Log in first</body></html>"});
    server.OnPath("/get/good.nzb", {200, kNzb});
    EXPECT_TRUE(Search("Show", 2, 5));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"), ElementsAre("MarkSeen Show.S02E05.C"));
    EXPECT_THAT(host->downloads, Contains(HasSubstr("The indexer answered HTTP status 404")));
    EXPECT_THAT(host->downloads, Contains("[Fake] The download of Show.S02E05.B is not an NZB file"));
    EXPECT_EQ(host->seen.count("Show.S02E05.A"), 0u);
}

TEST_F(Newznab, TorrentsBelowTheFewestSeedersArePassedOver) {
    Setup("kind=torrent\r\nminseeders=3\r\n");
    ServeTv({ResultItemXml("Show.S01E01.few", Url("/t/few.torrent"), "<torznab:attr name=\"seeders\" value=\"2\"/>"),
             ResultItemXml("Show.S01E01.many", Url("/t/many.torrent"),
                           "<torznab:attr name=\"peers\" value=\"9\"/><torznab:attr name=\"seeders\" value=\"3\"/>")});
    server.OnPath("/t/few.torrent", {200, kTorrent});
    server.OnPath("/t/many.torrent", {200, kTorrent});
    EXPECT_TRUE(Search("Show", 1, 1));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"), ElementsAre("MarkSeen Show.S01E01.many"));
    ASSERT_EQ(Delivered().size(), 1u);
    EXPECT_THAT(Delivered()[0], HasSubstr("Show.S01E01.many.torrent"));
    for (const std::string &target : server.Targets())
        EXPECT_NE(target, "/t/few.torrent");
}

// ---- magnet links -------------------------------------------------------------

TEST_F(Newznab, MagnetLinksInEnclosureAttributeAndRedirectsReachTheHost) {
    Setup("kind=torrent\r\n");
    const std::string magnet = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&amp;dn=Show.S01E0";
    const std::string plain = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Show.S01E0";
    server.OnApi("caps", {200, CapsXml(kTvCaps)});
    server.OnApi("tvsearch", {200, ResultsXml({ResultItemXml("Show.S01E01", magnet + "1&amp;tr=udp%3A%2F%2Ft.example%3A80")})});
    EXPECT_TRUE(Search("Show", 1, 1));
    server.OnApi("tvsearch", {200, ResultsXml({"<item><title>Show.S01E02</title><torznab:attr name=\"magneturl\" value=\"" +
                                               magnet + "2\"/></item>"})});
    EXPECT_TRUE(Search("Show", 1, 2));
    for (int status : {301, 302, 303}) {
        std::string episode = std::to_string(status - 298);
        server.OnApi("tvsearch", {200, ResultsXml({ResultItemXml("Show.S01E0" + episode, Url("/dl/" + episode))})});
        server.OnPath("/dl/" + episode, {status, "", plain + episode + "&tr=http://t.example/a?b=c"});
        EXPECT_TRUE(Search("Show", 1, status - 298)) << status;
    }
    ASSERT_EQ(gMagnets.size(), 5u);
    EXPECT_EQ(gMagnets[0].first, plain + "1&tr=udp%3A%2F%2Ft.example%3A80");
    EXPECT_EQ(gMagnets[0].second, "Show.S01E01");
    EXPECT_EQ(gMagnets[1].first, plain + "2");
    EXPECT_EQ(gMagnets[4].first, plain + "5&tr=http://t.example/a?b=c");
    EXPECT_EQ(host->seen.count("Show.S01E05"), 1u);
    EXPECT_TRUE(Delivered().empty());
}

TEST_F(Newznab, HostWithoutMagnetsSkipsMagnetOnlyItemsWithALine) {
    gHostTakesMagnets = false;
    Setup("kind=torrent\r\n");
    ServeTv({ResultItemXml("Show.S01E01.magnet", "magnet:?xt=urn:btih:aa"),
             ResultItemXml("Show.S01E01.redirect", Url("/dl/r")),
             ResultItemXml("Show.S01E01.file", Url("/dl/f"))});
    server.OnPath("/dl/r", {302, "", "magnet:?xt=urn:btih:bb"});
    server.OnPath("/dl/f", {200, kTorrent});
    EXPECT_TRUE(Search("Show", 1, 1));
    EXPECT_TRUE(gMagnets.empty());
    EXPECT_THAT(host->downloads,
                Contains("[Fake] Skipping Show.S01E01.magnet: this version of Quillon cannot take magnet links"));
    EXPECT_THAT(host->downloads,
                Contains("[Fake] Skipping Show.S01E01.redirect: this version of Quillon cannot take magnet links"));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"), ElementsAre("MarkSeen Show.S01E01.file"));
}

// ---- errors and pauses ----------------------------------------------------------

TEST_F(Newznab, RefusedAccountStopsTheIndexerUntilRestart) {
    server.OnApi("caps", {200, ErrorXml(100, "Incorrect user credentials")});
    EXPECT_FALSE(Search("Show", 1, 1));
    EXPECT_FALSE(Search("Show", 1, 2));
    EXPECT_EQ(server.Targets().size(), 1u) << "no second request";
    EXPECT_EQ(Status(), "Incorrect user credentials");
    EXPECT_THAT(host->log, ElementsAre(HasSubstr("[Fake] The indexer refused the account: Incorrect user "
                                                 "credentials (error 100)")));
    server.OnApi("caps", {200, CapsXml(kTvCaps)});
    server.OnApi("tvsearch", {200, ResultsXml({})});
    Restart();
    EXPECT_FALSE(Search("Show", 1, 1));
    EXPECT_EQ(server.Targets().size(), 3u);
    EXPECT_EQ(Status(), "Enabled");
}

TEST_F(Newznab, LimitErrorsPauseTheIndexerAcrossRestarts) {
    struct Case {
        FakeAnswer answer;
        int64_t minSeconds, maxSeconds;
    } cases[] = {
        {{200, ErrorXml(500, "Request limit reached (100/100)")}, 3590, 3610},
        {{200, ErrorXml(900, "request limit reached, try later"), "", "120"}, 110, 130},
        {{429, "", "", "45"}, 35, 55},
        {{429, ErrorXml(429, "Too many requests"), "", ""}, 3590, 3610},
        {{503, "busy", "", "600"}, 590, 610},
        {{200, ErrorXml(501, "Download limit reached"), "", "Wed, 21 Oct 2099 07:28:00 GMT"},
         7 * 86400 - 10, 7 * 86400 + 10},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(++n);
        std::remove(box.File("newznab.state").c_str());
        Setup("");
        server.OnApi("caps", {200, CapsXml(kTvCaps)});
        server.OnApi("tvsearch", c.answer);
        size_t before = server.Targets().size();
        int64_t now = std::time(nullptr);
        EXPECT_FALSE(Search("Show", 1, 1));
        ASSERT_EQ(host->log.size(), 1u);
        EXPECT_THAT(host->log[0], HasSubstr("[Fake] The indexer asks for a pause"));
        Restart();
        EXPECT_FALSE(Search("Show", 1, 1));
        EXPECT_FALSE(Search("Show", 1, 2));
        EXPECT_EQ(server.Targets().size(), before + 2) << "caps and one search, then nothing";
        EXPECT_THAT(Status(), HasSubstr("Paused by the indexer until"));
        EXPECT_THAT(host->log, ElementsAre(HasSubstr("Paused by the indexer; skipped until")));
        // The time it resumes, as kept in the state file.
        std::string state = box.Read("newznab.state");
        size_t at = state.find("paused=");
        ASSERT_NE(at, std::string::npos);
        int64_t until = std::atoll(state.c_str() + at + 7);
        EXPECT_GE(until - now, c.minSeconds);
        EXPECT_LE(until - now, c.maxSeconds);
    }
}

TEST_F(Newznab, OtherErrorsAreLoggedWithCodeAndDescription) {
    server.OnApi("caps", {200, CapsXml(kTvCaps)});
    server.OnApi("tvsearch", {400, ErrorXml(201, "Incorrect parameter (key " + kKey + ")")});
    EXPECT_FALSE(Search("Show", 1, 1));
    EXPECT_THAT(host->log, ElementsAre("[Fake] The indexer answered error 201: Incorrect parameter (key ***)"));
    server.OnApi("tvsearch", {500, "Internal error"});
    EXPECT_FALSE(Search("Show", 1, 1));
    EXPECT_EQ(host->log.back(), "[Fake] The indexer answered HTTP status 500");
    EXPECT_EQ(Status(), "Enabled") << "no pause for these";
}

// ---- budgets -------------------------------------------------------------------------

TEST_F(Newznab, DailyRequestBudgetIsKeptAcrossRestarts) {
    Setup("dailyapi=3\r\n");
    ServeTv({});
    EXPECT_FALSE(Search("Show", 1, 1));  // caps + search
    EXPECT_FALSE(Search("Show", 1, 2));  // search: 3 of 3
    EXPECT_FALSE(Search("Show", 1, 3));
    EXPECT_FALSE(Search("Show", 1, 4));
    EXPECT_EQ(server.Targets().size(), 3u);
    EXPECT_THAT(host->log, ElementsAre(HasSubstr("[Fake] Daily request limit reached; skipped until")));
    Restart();
    EXPECT_FALSE(Search("Show", 1, 3));
    EXPECT_EQ(server.Targets().size(), 3u);
    EXPECT_THAT(Status(), HasSubstr("Daily request limit reached until"));
}

TEST_F(Newznab, DailyDownloadBudgetEndsTheSearch) {
    Setup("dailygrabs=1\r\n");
    ServeTv({ResultItemXml("Show.S01E01.a", Url("/get/a.nzb")), ResultItemXml("Show.S01E01.b", Url("/get/b.nzb"))});
    server.OnPath("/get/b.nzb", {200, kNzb});
    EXPECT_FALSE(Search("Show", 1, 1));  // a fails and spends the one download
    EXPECT_FALSE(Search("Show", 1, 1));
    std::vector<std::string> targets = server.Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), "/get/b.nzb"), 0);
    EXPECT_THAT(host->log, Contains(HasSubstr("Daily download limit reached; skipped until")));
}

TEST_F(Newznab, TheIndexersOwnCountsAreHonoured) {
    ServeTv({}, "<newznab:apilimits apiCurrent=\"99\" APIMAX=\"100\" grabcurrent=\"1\" grabmax=\"10\"/>");
    EXPECT_FALSE(Search("Show", 1, 1));  // the answer: 99 of 100
    ServeTv({});
    EXPECT_FALSE(Search("Show", 1, 2));  // the 100th
    size_t sent = server.Targets().size();
    EXPECT_FALSE(Search("Show", 1, 3));
    EXPECT_FALSE(Search("Show", 1, 4));
    EXPECT_EQ(server.Targets().size(), sent);
    EXPECT_THAT(host->log, ElementsAre(HasSubstr("Daily request limit reached")));
    Restart();
    EXPECT_FALSE(Search("Show", 1, 3));
    EXPECT_EQ(server.Targets().size(), sent) << "the counts survive a restart";

    std::remove(box.File("newznab.state").c_str());
    Setup("");
    ServeTv({ResultItemXml("Show.S01E01", Url("/get/x.nzb"))},
            "<newznab:apilimits apicurrent=\"1\" apimax=\"100\" grabcurrent=\"5\" grabmax=\"5\"/>");
    EXPECT_FALSE(Search("Show", 1, 1)) << "downloads spent: the answer is read, nothing fetched";
    for (const std::string &target : server.Targets())
        EXPECT_NE(target, "/get/x.nzb");
}

// ---- the key stays in plugins.ini ----------------------------------------------------

TEST_F(Newznab, TheKeyAppearsInNoListAndNoOtherFile) {
    ServeTv({ResultItemXml("Show.S01E01", Url("/get/1.nzb?apikey=" + kKey))});
    server.OnPath("/get/1.nzb", {404, ErrorXml(300, "No such item for " + kKey)});
    EXPECT_FALSE(Search("Show", 1, 1));
    server.OnApi("tvsearch", {429, "", "", "1"});
    EXPECT_FALSE(Search("Show", 1, 2));
    for (const std::string &line : host->log)
        EXPECT_EQ(line.find(kKey), std::string::npos) << line;
    for (const std::string &line : host->downloads)
        EXPECT_EQ(line.find(kKey), std::string::npos) << line;
    ASSERT_TRUE(box.Exists("newznab.state"));
#ifndef _WIN32  // Windows: the data folder is the user's own; no mode bits
    struct stat st {};
    ASSERT_EQ(stat(box.File("newznab.state").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
    for (auto &entry : std::filesystem::recursive_directory_iterator(box.Path())) {
        if (!entry.is_regular_file() || entry.path().filename() == "plugins.ini")
            continue;
        EXPECT_EQ(ReadFileBytes(entry.path().string()).find(kKey), std::string::npos) << entry.path();
    }
}

// ---- the newest releases, once per pass ---------------------------------------------

// "Tue, 08 Dec 2026 17:00:00 +0000" for `utc` (a pubDate element).
std::string PubDate(int64_t utc) {
    std::time_t t = static_cast<std::time_t>(utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&t));
    return std::string("<pubDate>") + text + "</pubDate>";
}

class NewznabFeed : public Newznab {
protected:
    void SetUp() override {
        Newznab::SetUp();
        gPassEntry = true;
        now = static_cast<int64_t>(std::time(nullptr));
        server.OnApi("caps", {200, CapsXml(kTvCaps)});
        server.OnApi("tvsearch", {200, ResultsXml({})});
    }
    void Pass(int64_t number, int64_t windowStart, bool firstDay = true) {
        gPass.Pass = number;
        gPass.WindowStart = windowStart;
        gPass.Now = now;
        gPass.Flags = firstDay ? QLN_PASS_FIRST_DAY : 0;
    }
    // Newest-releases answer: one filler item per date, any order.
    void Feed(const std::vector<int64_t> &dates, std::vector<std::string> items = {}) {
        for (int64_t date : dates)
            items.push_back(ResultItemXml("Filler.S01E01." + std::to_string(date), Url("/get/f.nzb"), PubDate(date)));
        server.OnApi("tvsearch:feed", {200, ResultsXml(items)});
    }
    size_t Feeds() const { return Count(false); }
    size_t OwnSearches() const { return Count(true); }
    size_t Count(bool words) const {
        size_t n = 0;
        for (const std::string &target : server.Targets())
            n += target.find("t=tvsearch") != std::string::npos && (target.find("&q=") != std::string::npos) == words;
        return n;
    }
    int64_t now = 0;
};

TEST_F(NewznabFeed, EpisodesInTheirFirstDayShareOneFeedRequestPerPass) {
    server.OnPath("/get/a.nzb", {200, kNzb});
    Feed({now - 600, now - 7200},
         {ResultItemXml("Alpha.Show.S01E02.720p.HDTV-GRP", Url("/get/a.nzb"), PubDate(now - 300)),
          ResultItemXml("Alpha.Show.Reunion.S01E03.720p", Url("/get/a.nzb"), PubDate(now - 200))});
    Pass(1, now - 3600);
    EXPECT_TRUE(Search("Alpha Show", 1, 2));
    EXPECT_FALSE(Search("Beta Show", 3, 4));
    EXPECT_FALSE(Search("Alpha Show", 1, 3)) << "another show's title is never taken";
    EXPECT_EQ(1u, Feeds());
    EXPECT_EQ(0u, OwnSearches()) << "the feed reaches back before every window";
    EXPECT_THAT(server.Targets(), Contains("/api?t=tvsearch&apikey=" + kKey + "&cat=5030,5040&extended=1"));
    EXPECT_THAT(host->calls, Contains("MarkSeen Alpha.Show.S01E02.720p.HDTV-GRP"));

    // The next pass asks again, once; an episode not in its first day is
    // searched as before.
    Feed({now - 60, now - 900});
    Pass(2, now - 3600);
    EXPECT_FALSE(Search("Beta Show", 3, 4));
    EXPECT_EQ(2u, Feeds());
    EXPECT_EQ(0u, OwnSearches());
    // Looked for the first time, when this answer does not reach back to
    // its window: the earlier answers were never read for it.
    EXPECT_FALSE(Search("Gamma", 1, 1));
    EXPECT_EQ(1u, OwnSearches());
    Pass(2, now - 3 * 86400, false);
    EXPECT_FALSE(Search("Beta Show", 3, 4));
    EXPECT_EQ(2u, OwnSearches());
}

// Unordered answers, gaps, empty answers and failures: an episode is
// searched on its own exactly when no feed read could have shown it.
TEST_F(NewznabFeed, SearchesOnItsOwnOnlyWhatNoFeedCouldShow) {
    const int64_t window = now - 3 * 3600;
    Feed({now - 60, now - 600, now - 300});  // oldest after the window
    Pass(1, window);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(1u, OwnSearches());
    Feed({now - 30, now - 120, now});        // reaches back to the last one
    Pass(2, window);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(1u, OwnSearches());
    Feed({now + 7200, now + 3600});          // a gap since the last one
    Pass(3, window);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(2u, OwnSearches());

    Feed({});
    for (int64_t pass = 4; pass <= 5; ++pass) {
        Pass(pass, window);
        EXPECT_FALSE(Search("Alpha Show", 1, 2));
    }
    EXPECT_EQ(4u, OwnSearches());
    EXPECT_EQ(1, std::count(host->log.begin(), host->log.end(),
                            "[Fake] The indexer lists no newest releases; new episodes are searched one by one"));

    // The feed fails: searched on its own. Searches fail too: logged, and
    // the next pass tries again.
    server.OnApi("tvsearch:feed", {500, "oops"});
    server.OnApi("tvsearch", {500, "oops"});
    Pass(6, window);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    Feed({now + 1800});                      // half an hour on
    Pass(7, window);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(6u, OwnSearches());
    EXPECT_EQ(7u, Feeds());

    // 10,000 items in one answer are read whole.
    std::vector<int64_t> many;
    for (int i = 0; i < 10000; ++i)
        many.push_back(now - 20000 + (i * 7919) % 10000);
    server.OnPath("/get/z.nzb", {200, kNzb});
    Feed(many, {ResultItemXml("Zeta.S02E05.1080p.WEB-GRP", Url("/get/z.nzb"), PubDate(now - 100))});
    Pass(8, now - 3600);
    EXPECT_TRUE(Search("Zeta", 2, 5));
}

TEST_F(NewznabFeed, TheDailyBudgetHoldsForFeedAndSearchesAlike) {
    Setup("dailyapi=2\r\n");
    Feed({now - 60});
    Pass(1, now - 3 * 3600);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));   // caps + feed; its own search would be the third
    Pass(2, now - 3 * 3600);
    EXPECT_FALSE(Search("Alpha Show", 1, 2));
    EXPECT_EQ(1u, Feeds());
    EXPECT_EQ(0u, OwnSearches());
    size_t lines = 0;
    for (const std::string &line : host->log)
        lines += line.find("[Fake] Daily request limit reached; skipped until") == 0;
    EXPECT_EQ(1u, lines);
}

} // namespace
