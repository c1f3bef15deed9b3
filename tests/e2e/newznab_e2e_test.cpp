// The headless host with the real qln_newznab.so, two indexer rows (a Newznab
// one delivering NZB files and a Torznab one delivering torrents and magnet
// links) against one fake indexer: one pass delivers an NZB, a torrent and a
// magnet link, into the folders and through the desktop's handler.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e_common.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

const char *const kRow1 = "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F01}";
const char *const kRow2 = "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F02}";
const std::string kKey1 = "NzbKey0123456789abcdef";
const std::string kKey2 = "TorKey0123456789abcdef";
const char kNzb[] = "<?xml version=\"1.0\"?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\"></nzb>\n";
const char kTorrent[] = "d8:announce3:abc4:infod4:name3:oneee";
const std::string kMagnet = "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Magnet.Show.S01E01&tr=udp://t.example:80";

std::string Caps() {
    return "<caps><searching><tv-search available=\"yes\" supportedParams=\"q,season,ep\"/></searching></caps>";
}

class NewznabEndToEnd : public ::testing::TestWithParam<bool> {
protected:
    IndexServer server;
    Home home;
    std::string A = server.Address();

    std::string TvSearch(const std::string &path, const std::string &key, const std::string &cats,
                         const std::string &name, int season, int episode) {
        return path + "?t=tvsearch&apikey=" + key + "&cat=" + cats + "&extended=1&q=" + UrlEscape(name) +
               "&season=" + std::to_string(season) + "&ep=" + std::to_string(episode);
    }

    void SetUp() override {
        server.OnPath("/api", Ok(Rss({}), "application/rss+xml"));
        server.OnPath("/torznab/api", Ok(Rss({}), "application/rss+xml"));
        server.On("/api?t=caps&apikey=" + kKey1, Ok(Caps()));
        server.On("/torznab/api?t=caps&apikey=" + kKey2, Ok(Caps()));
        server.On(TvSearch("/api", kKey1, "5030,5040", "Nzb Show", 1, 1),
                  Ok(Rss({RssItem("Nzb.Show.S01E01.HDTV", "", "<enclosure url=\"" + A + "/getnzb/1?apikey=" + kKey1 + "\"/>")})));
        server.On("/getnzb/1?apikey=" + kKey1, Ok(kNzb));
        server.On(TvSearch("/torznab/api", kKey2, "5000", "Torrent Show", 1, 1),
                  Ok(Rss({RssItem("Torrent.Show.S01E01.WEB", A + "/dl/t1", "<torznab:attr name=\"seeders\" value=\"7\"/>")})));
        server.On("/dl/t1", Ok(kTorrent));
        server.On(TvSearch("/torznab/api", kKey2, "5000", "Magnet Show", 1, 1),
                  Ok(Rss({RssItem("Magnet.Show.S01E01.WEB", A + "/dl/m1", "<torznab:attr name=\"seeders\" value=\"7\"/>")})));
        server.On("/dl/m1", RedirectTo(kMagnet, 302));

        std::string ini = "[plugins]\n" + std::string(kEzRssId) + "=0\n" + kGenericId + "=0\n" + kNewzbinId +
                          "=0\n" + kNzbMatrixId + "=0\n" + kRow1 + "=1\n" + kRow2 + "=1\n";
        ini += "[newznab1]\nname=Usenet\nurl=" + A + "\napikey=" + kKey1 + "\n";
        ini += "[newznab2]\nname=Torrents\nurl=" + A + "/\napipath=torznab/api\napikey=" + kKey2 +
               "\nkind=torrent\ncategories=5000\nminseeders=5\n";
        WriteAll(home.Data("plugins.ini"), ini);
        std::vector<ShowEntry> shows = {{"Nzb Show", "", 0, 0, 0, 1, 1, 0},
                                        {"Torrent Show", "", 0, 0, 0, 1, 1, 0},
                                        {"Magnet Show", "", 0, 0, 0, 1, 1, 0}};
        WriteAll(home.Data("shows.conf"), ShowsConfText(shows));
        bool open = GetParam();
        WriteAll(home.Data("main.conf"), MainConfText(1, 3600, open, open, home.nzb, home.torrents));
    }
};

TEST_P(NewznabEndToEnd, OnePassDeliversAnNzbATorrentAndAMagnet) {
    RunOptions once;
    once.args = {"--passes", "1"};
    Program host(home, QUILLON_HEADLESS, once);
    int code = host.Wait(180);
    std::string out = host.Out();
    ASSERT_EQ(code, 0) << host.Err() << out;

    std::string seen = ReadAll(home.Data("seen.conf"));
    for (const char *title : {"Nzb.Show.S01E01.HDTV=", "Torrent.Show.S01E01.WEB=", "Magnet.Show.S01E01.WEB="})
        EXPECT_NE(seen.find(title), std::string::npos) << title << "\n" << out;
    if (GetParam()) {
        // The handler is started detached and may still be writing.
        WaitUntil([&] { return home.XdgOpenCalls().size() >= 3; }, 30);
        std::vector<std::string> opened = home.XdgOpenCalls();
        ASSERT_EQ(opened.size(), 3u) << out;
        EXPECT_THAT(opened, Contains(kMagnet));
        EXPECT_THAT(opened, Contains(HasSubstr("Nzb.Show.S01E01.HDTV.nzb")));
        EXPECT_THAT(opened, Contains(HasSubstr("Torrent.Show.S01E01.WEB.torrent")));
        EXPECT_TRUE(Home::List(home.nzb).empty());
        EXPECT_TRUE(Home::List(home.torrents).empty());
    } else {
        EXPECT_TRUE(home.XdgOpenCalls().empty());
        EXPECT_THAT(Home::List(home.nzb), UnorderedElementsAre("Nzb.Show.S01E01.HDTV.nzb"));
        EXPECT_EQ(ReadAll(home.nzb + "Nzb.Show.S01E01.HDTV.nzb"), kNzb);
        EXPECT_THAT(Home::List(home.torrents),
                    UnorderedElementsAre("Torrent.Show.S01E01.WEB.torrent", "Magnet.Show.S01E01.WEB.magnet"));
        EXPECT_EQ(ReadAll(home.torrents + "Torrent.Show.S01E01.WEB.torrent"), kTorrent);
        EXPECT_EQ(ReadAll(home.torrents + "Magnet.Show.S01E01.WEB.magnet"), kMagnet + "\n");
    }
    // The keys appear in no list line and no file but plugins.ini.
    EXPECT_EQ(out.find(kKey1), std::string::npos);
    EXPECT_EQ(out.find(kKey2), std::string::npos);
    for (const std::string &file : home.AllFiles()) {
        if (file == "xdg/Quillon/plugins.ini" || std::filesystem::is_directory(home.box.File(file)))
            continue;
        std::string text = ReadAll(home.box.File(file));
        EXPECT_EQ(text.find(kKey1), std::string::npos) << file;
        EXPECT_EQ(text.find(kKey2), std::string::npos) << file;
    }
    // Capabilities were asked once per row for the whole pass.
    std::vector<std::string> lines = server.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "GET /api?t=caps&apikey=" + kKey1), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "GET /torznab/api?t=caps&apikey=" + kKey2), 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, NewznabEndToEnd, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return std::string(info.param ? "OpenWithDesktop" : "WatchFolders");
                         });

}  // namespace
