// The ezRSS torrent plugin driven through a fake host against a local feed.
#include "plugin_fixture.h"

#include <cstring>
#include <regex>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char *const kSearchPath = "/search/index.php";
const char *const kFixedKeys = "&show_name_exact=true&date=&release_group=&mode=rss";

class EzRss : public PluginTest {
protected:
    EzRss() : PluginTest(QLN_EZRSS_PATH, "ezrss") {}
};

TEST_F(EzRss, RecordDescribesAnAlwaysReadyTorrentPlugin) {
    EXPECT_EQ(library.numPlugins(), 1);
    EXPECT_EQ(library.getPlugin(5), plugin);
    EXPECT_EQ(plugin->version, 1);
    EXPECT_TRUE(std::regex_match(plugin->id, std::regex("\\{[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}\\}")));
    EXPECT_STREQ(plugin->author, "Varnek Software");
    EXPECT_STREQ(plugin->type, "BitTorrent");
    EXPECT_EQ(plugin->Configure, nullptr);
    ASSERT_NE(plugin->Shutdown, nullptr);
    ASSERT_NE(plugin->GetStatus, nullptr);
    char status[256] = "Enabled";
    EXPECT_TRUE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "Enabled");
    EXPECT_TRUE(plugin->GetStatus(nullptr, 0));
    plugin->Shutdown();
}

TEST_F(EzRss, QueryCarriesTheEscapedNameAndHdFlagButNeverKeywords) {
    server.Serve(kSearchPath, RssFeed({}));
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_FALSE(Search(MakeShow("The Show", "", true), 1, 2));
    EXPECT_FALSE(Search(MakeShow("The Show", "720p proper", true), 1, 2));
    EXPECT_FALSE(Search(MakeShow("Law & Order: SVU"), 1, 2));
    std::string plain = std::string(kSearchPath) + "?show_name=The%20Show" + kFixedKeys;
    EXPECT_THAT(server.Targets(),
                ElementsAre(plain, plain + "&quality=720P", plain + "&quality=720P",
                            std::string(kSearchPath) + "?show_name=Law%20%26%20Order%3A%20SVU" + kFixedKeys));
    EXPECT_THAT(host->log, IsEmpty());
}

TEST_F(EzRss, TransferUsesTheCommonOptionsAndKeepsTlsVerification) {
    server.Serve(kSearchPath, RssFeed({}));
    Search(MakeShow("The Show"), 1, 2);
    std::vector<CURLoption> order;
    for (const CurlOptionSet &set : host->curlOptions) {
        order.push_back(set.option);
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYPEER);
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYHOST);
        if (set.option == CURLOPT_FOLLOWLOCATION || set.option == CURLOPT_FAILONERROR ||
            set.option == CURLOPT_NOPROGRESS) {
            EXPECT_EQ(set.number, 1);
        }
        if (set.option == CURLOPT_MAXREDIRS) {
            EXPECT_EQ(set.number, 3);
        }
    }
    EXPECT_THAT(order, ElementsAre(CURLOPT_URL, CURLOPT_FOLLOWLOCATION, CURLOPT_MAXREDIRS,
                                   CURLOPT_FAILONERROR, CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA,
                                   CURLOPT_NOPROGRESS));
}

TEST_F(EzRss, TakesEveryUnseenItemWithTheEpisodeTag) {
    server.Serve(kSearchPath,
                 RssFeed({RssItem("The Show 3x07 HDTV", "http://t/a.torrent"),
                          RssItem("The Show 3x7", "http://t/b.torrent"),
                          RssItem("The Show 3x70 HDTV", "http://t/c.torrent"),
                          RssItem("The Show 13x07", "http://t/d.torrent"),
                          RssItem("The Show 13X7 HDTV", "http://t/e.torrent"),
                          RssItem("The Show 3X7 720p", "http://t/f.torrent"),
                          RssItem("3x07 at the very start", "http://t/g.torrent"),
                          RssItem("The Show S03x07", "http://t/h.torrent"),
                          RssItem("The Show 003x07", "http://t/i.torrent"),
                          RssItem("The Show 103x07", "http://t/j.torrent")}));
    EXPECT_TRUE(Search(MakeShow("Another Name"), 3, 7));
    // Leading zeros are the same season; any other digit before the tag is
    // not, nor one after it. A tag at the very end of the title is read too.
    EXPECT_THAT(host->downloadedUrls,
                ElementsAre("http://t/a.torrent", "http://t/b.torrent", "http://t/f.torrent",
                            "http://t/g.torrent", "http://t/h.torrent", "http://t/i.torrent"));
    EXPECT_EQ(host->CallsStartingWith("DownloadFile").size(), 6u);
    EXPECT_EQ(host->CallsStartingWith("DownloadFile")[0], "DownloadFile http://t/a.torrent torrent");
    // "Marking" once from the plugin, once from the host, before the download.
    EXPECT_THAT(std::vector<std::string>(host->downloads.begin(), host->downloads.begin() + 3),
                ElementsAre("Marking The Show 3x07 HDTV seen\n", "Marking The Show 3x07 HDTV seen\n",
                            "Torrent downloaded!\n"));
    EXPECT_EQ(host->downloads.size(), 18u);
    EXPECT_THAT(host->log, IsEmpty());
}

TEST_F(EzRss, SeasonAndEpisodeAboveNineFormTheirTags) {
    server.Serve(kSearchPath, RssFeed({RssItem("Show 10x100 HDTV", "http://t/a"),
                                       RssItem("Show 2x05 HDTV", "http://t/b"),
                                       RssItem("Show 12x05 HDTV", "http://t/c")}));
    EXPECT_TRUE(Search(MakeShow("Show"), 10, 100));
    EXPECT_TRUE(Search(MakeShow("Show"), 2, 5));
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://t/a", "http://t/b"));
}

TEST_F(EzRss, SeenItemsAreUntouchedAndSilent) {
    server.Serve(kSearchPath, RssFeed({RssItem("The Show 3x07 HDTV", "http://t/a.torrent")}));
    host->seen.insert("The Show 3x07 HDTV");
    EXPECT_FALSE(Search(MakeShow("The Show"), 3, 7));
    EXPECT_THAT(host->calls, ElementsAre("IsSeen The Show 3x07 HDTV"));
}

TEST_F(EzRss, ItemsWithoutUsableLinkStayMarkedAndTheWalkGoesOn) {
    server.Serve(kSearchPath,
                 RssFeed({RssItem("The Show 3x07 no link", nullptr),
                          "<item><title>The Show 3x07 empty link</title><link></link></item>",
                          RssItem(nullptr, "http://t/untitled"),
                          "<item><title></title><link>http://t/emptytitle</link></item>",
                          RssItem("The Show 3x07 fails", "http://t/fails"),
                          RssItem("The Show 3x07 works", "http://t/works")}));
    host->downloadResult = [](const std::string &url, bool) { return url != "http://t/fails"; };
    EXPECT_TRUE(Search(MakeShow("The Show"), 3, 7));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"),
                ElementsAre("MarkSeen The Show 3x07 no link", "MarkSeen The Show 3x07 empty link",
                            "MarkSeen The Show 3x07 fails", "MarkSeen The Show 3x07 works"));
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://t/fails", "http://t/works"));
    EXPECT_EQ(std::count(host->downloads.begin(), host->downloads.end(),
                         std::string("Error: No link element found!\n")),
              2);
    EXPECT_EQ(std::count(host->downloads.begin(), host->downloads.end(),
                         std::string("Torrent downloaded!\n")),
              1);

    // Marked releases are passed over by the next search.
    host->calls.clear();
    EXPECT_FALSE(Search(MakeShow("The Show"), 3, 7));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"), IsEmpty());
}

TEST_F(EzRss, OutTxtHoldsTheExactBytesOfEachSuccessfulAnswer) {
    std::string answer = RssFeed({RssItem("Other 1x01", "http://t/x")}) + std::string("\r\n\xff tail", 8);
    server.Serve(kSearchPath, answer);
    Search(MakeShow("The Show"), 3, 7);
    EXPECT_EQ(box.Read("out.txt"), answer);

    server.Serve(kSearchPath, "<html><body>not a feed");
    Search(MakeShow("The Show"), 3, 7);
    EXPECT_EQ(box.Read("out.txt"), "<html><body>not a feed");

    // A failed transfer leaves the last answer in place.
    server.Serve(kSearchPath, "gone", 404);
    Search(MakeShow("The Show"), 3, 7);
    EXPECT_EQ(box.Read("out.txt"), "<html><body>not a feed");

    server.Serve(kSearchPath, "");
    Search(MakeShow("The Show"), 3, 7);
    EXPECT_TRUE(box.Exists("out.txt"));
    EXPECT_EQ(box.Read("out.txt"), "");
    EXPECT_EQ(host->log.back(), "Error parsing XML: Error document empty.\n");
}

} // namespace
