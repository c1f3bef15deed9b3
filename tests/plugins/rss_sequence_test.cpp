// The fetch and RSS reading steps both RSS plugins share: transfer failures,
// unreadable answers and the size cap, each reported once to the Log list.
#include "plugin_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct PluginUnderTest {
    const char *library;
    const char *section;
    const char *searchPath;
};

void PrintTo(const PluginUnderTest &plugin, std::ostream *out) { *out << plugin.section; }

class RssSequence : public PluginTest, public ::testing::WithParamInterface<PluginUnderTest> {
protected:
    RssSequence() : PluginTest(GetParam().library, GetParam().section) {}

    // Searches for 1x02 of a show whose every title matches both plugins' rules.
    bool SearchOnce() { return Search(MakeShow("The Show"), 1, 2); }
    void Answer(const std::string &body, int status = 200) { server.Serve(GetParam().searchPath, body, status); }
};

TEST_P(RssSequence, EmptyAnswerIsAnEmptyDocument) {
    Answer("");
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre("Error parsing XML: Error document empty.\n"));
    EXPECT_THAT(host->downloads, IsEmpty());
}

TEST_P(RssSequence, HttpErrorStatusFailsTheTransferWithoutParsing) {
    Answer(RssFeed({RssItem("The Show 1x02", "http://t/x")}), 404);
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre(std::string("Error downloading URL: ") +
                                       curl_easy_strerror(CURLE_HTTP_RETURNED_ERROR) + "\n"));
    EXPECT_THAT(host->calls, ElementsAre("Log " + host->log[0]));
}

TEST_P(RssSequence, ThreeRedirectsAreFollowedAndAFourthFails) {
    server.Serve("/final", RssFeed({}));
    server.Redirect("/r2", "/final");
    server.Redirect("/r1", "/r2");
    server.Redirect("/r0", "/r1");
    server.Redirect(GetParam().searchPath, "/r1");
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, IsEmpty());
    EXPECT_EQ(server.Targets().back(), "/final");

    server.Redirect(GetParam().searchPath, "/r0");
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre(std::string("Error downloading URL: ") +
                                       curl_easy_strerror(CURLE_TOO_MANY_REDIRECTS) + "\n"));
    EXPECT_EQ(server.Targets().back(), "/r2");
}

TEST_P(RssSequence, MalformedAnswerReportsTinyXmlsDescription) {
    Answer("<rss><channel><item><title>The Show 1x02</title></channel></rss>");
    EXPECT_FALSE(SearchOnce());
    ASSERT_EQ(host->log.size(), 1u);
    EXPECT_EQ(host->log[0].rfind("Error parsing XML: ", 0), 0u) << host->log[0];
    EXPECT_THAT(host->downloads, IsEmpty());
}

TEST_P(RssSequence, TopElementOtherThanRss) {
    Answer("<?xml version=\"1.0\"?><html><body><rss><channel/></rss></body></html>");
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre("Could not find root 'rss' element!\n"));
}

TEST_P(RssSequence, RssWithoutChannel) {
    Answer("<rss version=\"2.0\"><item><title>The Show 1x02</title><link>http://t/x</link></item></rss>");
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre("Could not find first 'channel' element!\n"));
    EXPECT_THAT(host->downloads, IsEmpty());
}

TEST_P(RssSequence, ChannelWithoutItemsIsSilent) {
    Answer("<rss><channel><title>x</title><Item><title>The Show 1x02</title><link>http://t/x</link></Item>"
           "</channel></rss>");
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->calls, IsEmpty());
}

TEST_P(RssSequence, ItemsAmongOtherChildrenAreAllVisited) {
    Answer("<rss><channel><title>x</title>" + RssItem("The Show 1x02 a", "http://t/a") +
           "<description>d</description>" + RssItem("The Show 1x02 b", "http://t/b") + "</channel></rss>");
    host->downloadResult = [](const std::string &, bool) { return false; };
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://t/a", "http://t/b"));
}

// Nesting this deep overflowed the check thread's stack inside TinyXML.
TEST_P(RssSequence, DeeplyNestedAnswerIsRefusedUnparsed) {
    std::string deep = "<rss><channel><item><title>The Show 1x02</title>";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    Answer(deep);
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre("Error parsing XML: Elements nested too deeply\n"));

    // Comments, CDATA and empty elements do not count as nesting.
    std::string flat;
    for (int i = 0; i < 1000; ++i)
        flat += "<x/><!-- <a> --><![CDATA[<b>]]>";
    Answer(RssFeed({"<item><title>The Show 1x02</title><link>http://127.0.0.1:1/x</link><d>" + flat + "</d></item>"}));
    host->log.clear();
    host->downloadResult = [](const std::string &, bool) { return true; };
    EXPECT_TRUE(SearchOnce());
    EXPECT_THAT(host->log, IsEmpty());
}

// A '>' inside a quoted attribute value does not end the tag: such elements
// were counted as never closed, and a feed with many of them was refused.
TEST_P(RssSequence, GreaterThanInAttributeValuesIsNotNesting) {
    std::string items;
    for (int i = 0; i < 300; ++i)
        items += "<item><title>Other 9x09</title><thumb url=\"http://t/a->b\" type='c > d'/>"
                 "<category value=\"a -> b\"></category></item>";
    items += "<item><title>The Show 1x02</title><link>http://127.0.0.1:1/x</link></item>";
    host->seen.insert("Other 9x09");
    Answer(RssFeed({items}));
    EXPECT_TRUE(SearchOnce());
    EXPECT_THAT(host->log, IsEmpty());
    EXPECT_THAT(host->downloadedUrls, ElementsAre("http://127.0.0.1:1/x"));

    // A quote that never closes leaves the tag open: counting stops there.
    Answer(RssFeed({"<item><title>The Show 1x02</title><link>http://127.0.0.1:1/y</link></item>"}) +
           "<x a=\"never closed>");
    host->log.clear();
    EXPECT_FALSE(SearchOnce());
    ASSERT_EQ(host->log.size(), 1u);
    EXPECT_EQ(host->log[0].rfind("Error parsing XML: ", 0), 0u) << host->log[0];
}

TEST_P(RssSequence, AnswerAboveTheSizeCapFailsTheTransfer) {
    // Exactly 64 MiB is still taken (and then fails to parse) ...
    server.Stream(GetParam().searchPath, size_t(64) << 20);
    EXPECT_FALSE(SearchOnce());
    ASSERT_EQ(host->log.size(), 1u);
    EXPECT_EQ(host->log[0].rfind("Error parsing XML: ", 0), 0u) << host->log[0];

    // ... one more block is not. Sent chunked, so no length is announced ahead.
    host->log.clear();
    server.Stream(GetParam().searchPath, (size_t(64) << 20) + 4096);
    EXPECT_FALSE(SearchOnce());
    EXPECT_THAT(host->log, ElementsAre(std::string("Error downloading URL: ") +
                                       curl_easy_strerror(CURLE_WRITE_ERROR) + "\n"));
}

INSTANTIATE_TEST_SUITE_P(Plugins, RssSequence,
                         ::testing::Values(PluginUnderTest{QLN_EZRSS_PATH, "ezrss", "/search/index.php"},
                                           PluginUnderTest{QLN_GENERIC_PATH, "generic", "/rss/"}),
                         [](const ::testing::TestParamInfo<PluginUnderTest> &info) {
                             return std::string(info.param.section);
                         });

} // namespace
