// The generic RSS plugin (NZBIndex template) driven through a fake host
// against a local feed.
#include "plugin_fixture.h"

#include <regex>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char *const kRssPath = "/rss/";
const char *const kFixedKeys = "&sort=agedesc&max=25&minsize=100&complete=1&more=1&hidespam=1";

class Generic : public PluginTest {
protected:
    Generic() : PluginTest(QLN_GENERIC_PATH, "generic") {}

    std::string Query(const std::string &term) { return std::string(kRssPath) + "?q=" + term + kFixedKeys; }
};

TEST_F(Generic, RecordHasOnlyInitAndSearch) {
    EXPECT_EQ(library.numPlugins(), 1);
    EXPECT_EQ(plugin->version, 1);
    EXPECT_TRUE(std::regex_match(plugin->id, std::regex("\\{[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}\\}")));
    EXPECT_STREQ(plugin->author, "Varnek Software");
    EXPECT_STREQ(plugin->type, "NZB");
    EXPECT_EQ(plugin->GetStatus, nullptr);
    EXPECT_EQ(plugin->Shutdown, nullptr);
    EXPECT_EQ(plugin->Configure, nullptr);
    EXPECT_NE(plugin->Search, nullptr);
    EXPECT_EQ(plugin->module, nullptr);
}

TEST_F(Generic, SearchTermJoinsNameTagHdMarkerAndRawKeywords) {
    server.Serve(kRssPath, RssFeed({}));
    Search(MakeShow("The Show"), 1, 2);
    Search(MakeShow("The Show", "", true), 1, 2);
    Search(MakeShow("The Show", "720p", true), 1, 2);
    Search(MakeShow("The Show", "a&b"), 10, 100);
    EXPECT_THAT(server.Targets(),
                ElementsAre(Query("The%20Show%20S01E02"), Query("The%20Show%20S01E02%20x264"),
                            Query("The%20Show%20S01E02%20x264%20720p"), Query("The%20Show%20S10E100%20a&b")));
}

// Keywords with a space made libcurl refuse the URL, so nothing was sent.
// Characters a URL cannot carry are escaped; "&", "=" and escapes already
// typed are kept.
TEST_F(Generic, KeywordsAreEscapedButKeepQueryKeysAndTypedEscapes) {
    server.Serve(kRssPath, RssFeed({}));
    Search(MakeShow("The Show", "720p HDTV"), 1, 2);
    Search(MakeShow("The Show", "x&y=1 \"a#b\""), 1, 2);
    Search(MakeShow("The Show", "%20%2x%"), 1, 2);
    EXPECT_THAT(host->log, IsEmpty());
    EXPECT_THAT(server.Targets(),
                ElementsAre(Query("The%20Show%20S01E02%20720p%20HDTV"),
                            Query("The%20Show%20S01E02%20x&y=1%20%22a%23b%22"),
                            Query("The%20Show%20S01E02%20%20%252x%25")));
}

TEST_F(Generic, TermTooLongForTheUrlLeavesTheMarker) {
    server.Serve(kRssPath, RssFeed({}));
    // 255 characters that each escape to three, plus 255 keyword characters.
    Show show = MakeShow(std::string(255, '#'), std::string(255, 'k'));
    EXPECT_FALSE(Search(show, 1, 2));
    EXPECT_THAT(server.Targets(), ElementsAre(Query("%search%")));
}

TEST_F(Generic, StopsAfterTheFirstDelivery) {
    server.Serve(kRssPath, RssFeed({RssItem("One", "http://n/1.nzb"), RssItem("Two", "http://n/2.nzb"),
                                    RssItem("Three", "http://n/3.nzb")}));
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->calls, ElementsAre("IsSeen One", "MarkSeen One", "DownloadFile http://n/1.nzb nzb",
                                         "LogDownload NZB downloaded!\n"));
    EXPECT_THAT(host->downloads, ElementsAre("Marking One seen\n", "NZB downloaded!\n"));
}

TEST_F(Generic, GoesOnAfterAFailedDelivery) {
    server.Serve(kRssPath, RssFeed({RssItem("One", "http://n/1.nzb"), RssItem("Two", "http://n/2.nzb"),
                                    RssItem("Three", "http://n/3.nzb")}));
    host->downloadResult = [](const std::string &url, bool) { return url != "http://n/1.nzb"; };
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"), ElementsAre("MarkSeen One", "MarkSeen Two"));
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://n/1.nzb", "http://n/2.nzb"));
    EXPECT_THAT(host->CallsStartingWith("IsSeen Three"), IsEmpty());
}

// Titles in which an episode can be read must be the show's wanted episode;
// a bare file subject is still tried.
TEST_F(Generic, PassesOverOtherShowsAndEpisodesButTriesBareSubjects) {
    server.Serve(kRssPath, RssFeed({RssItem("The.Show.Files.S01E02.HDTV", "http://n/other.nzb"),
                                    RssItem("The.Show.S01E03.HDTV", "http://n/e3.nzb"),
                                    RssItem("The.Show.S01E02.HDTV", "http://n/e2.nzb"),
                                    RssItem("\"the.show.part01.rar\" yEnc", "http://n/subject.nzb")}));
    host->downloadResult = [](const std::string &url, bool) { return url != "http://n/e2.nzb"; };
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->CallsStartingWith("MarkSeen"),
                ElementsAre("MarkSeen The.Show.S01E02.HDTV", "MarkSeen \"the.show.part01.rar\" yEnc"));
}

TEST_F(Generic, EnclosureUrlComesBeforeLink) {
    server.Serve(kRssPath,
                 RssFeed({"<item><title>No url</title><enclosure length=\"1\"/><link>http://n/l0</link></item>",
                          "<item><title>Neither</title></item>",
                          "<item><title>Both</title><link>http://n/link</link>"
                          "<enclosure url=\"http://n/enc?a=1&amp;b=2\" type=\"application/x-nzb\"/></item>"}));
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://n/enc?a=1&b=2"));
    EXPECT_THAT(host->downloads,
                ElementsAre("Marking No url seen\n", "Error: No link element found!\n", "Marking Neither seen\n",
                            "Error: No link element found!\n", "Marking Both seen\n", "NZB downloaded!\n"));
}

TEST_F(Generic, LinkIsTakenWithoutEnclosure) {
    server.Serve(kRssPath, RssFeed({RssItem("Only link", "http://n/only")}));
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://n/only"));
}

TEST_F(Generic, AllSeenReturnsFalseAndWritesNothing) {
    server.Serve(kRssPath, RssFeed({RssItem("One", "http://n/1.nzb"), RssItem("Two", "http://n/2.nzb")}));
    host->seen = {"One", "Two"};
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->calls, ElementsAre("IsSeen One", "IsSeen Two"));
}

TEST_F(Generic, WritesNoFilesOfItsOwn) {
    server.Serve(kRssPath, RssFeed({RssItem("One", "http://n/1.nzb")}));
    Search(MakeShow("The Show"), 1, 2);
    EXPECT_FALSE(box.Exists("out.txt"));
}

} // namespace
