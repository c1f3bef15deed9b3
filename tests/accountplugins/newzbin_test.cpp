// The Newzbin plugin driven through a fake host against a local report index.
#include "account_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char *const kSearchPath = "/search/query";
const char *const kDirectNzbPath = "/api/dnzb/";
const char *const kFixedKeys = "&searchaction=Go&fpn=p&feed=rss&area=c.8&category=8&areadone=c.8";
const char *const kGrabbed = "[Newzbin] Grabbed NZB with DirectNZB!\n";

std::string Report(const char *title, const char *id, const char *nzb) {
    std::string item = "<item>";
    if (title)
        item += std::string("<title>") + title + "</title>";
    if (id)
        item += std::string("<report:id>") + id + "</report:id>";
    if (nzb)
        item += std::string("<report:nzb>") + nzb + "</report:nzb>";
    return item + "</item>\n";
}

std::string Feed(const std::vector<std::string> &items) {
    std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<rss version=\"2.0\" xmlns:report=\"http://www.newzbin.com/DTD/2007/feeds/report/\">\n"
                       "<channel><title>Newzbin</title>\n";
    for (const std::string &item : items)
        feed += item;
    return feed + "</channel></rss>\n";
}

class Newzbin : public AccountPluginTest {
protected:
    Newzbin() : AccountPluginTest(QLN_NEWZBIN_PATH, "newzbin", "user=alice\r\npass=s3cret\r\n") {}
};

TEST_F(Newzbin, StatusNamesTheFirstMissingAccountSetting) {
    EXPECT_STREQ(plugin->type, "NZB");
    EXPECT_STREQ(plugin->author, "Varnek Software");
    EXPECT_EQ(library.getPlugin(5), plugin);
    ASSERT_NE(plugin->Configure, nullptr);
    char status[256] = "Enabled";
    EXPECT_TRUE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "Enabled");

    Reinit("");
    EXPECT_FALSE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "No User Set in Plugin");
    EXPECT_FALSE(plugin->GetStatus(nullptr, 0));
    Reinit("user=alice\r\n");
    EXPECT_FALSE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "No Password Set in Plugin");
    char tiny[4] = "xyz";
    EXPECT_FALSE(plugin->GetStatus(tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "No ");

    // Not configured: no request and no message.
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(server.Requests(), IsEmpty());
    EXPECT_THAT(host->fake.calls, IsEmpty());
}

TEST_F(Newzbin, QueryJoinsNameTagAndKeywordsWithEscapedSpaces) {
    server.Serve(kSearchPath, Feed({}));
    EXPECT_FALSE(Search(MakeShow("The Show"), 3, 7));
    EXPECT_FALSE(Search(MakeShow("The Show"), 12, 3));
    EXPECT_FALSE(Search(MakeShow("Law & Order", "720p proper", true), 1, 2));
    std::vector<std::string> targets;
    for (const ServiceRequest &request : server.Requests()) {
        targets.push_back(request.target);
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.authorization, "Basic YWxpY2U6czNjcmV0"); // alice:s3cret
    }
    EXPECT_THAT(targets,
                ElementsAre(std::string(kSearchPath) + "?q=The%20Show%203x07" + kFixedKeys,
                            std::string(kSearchPath) + "?q=The%20Show%2012x03" + kFixedKeys,
                            std::string(kSearchPath) + "?q=Law%20%26%20Order%201x02%20720p%20proper" +
                                kFixedKeys + "&ps_rb_video_format=2621440"));
    EXPECT_THAT(host->fake.log, IsEmpty());
}

TEST_F(Newzbin, SearchSendsTheAccountFirstAndTheConnectLimitLastAndKeepsTlsChecks) {
    server.Serve(kSearchPath, Feed({}));
    Search(MakeShow("The Show"), 1, 2);
    std::vector<CURLoption> order;
    for (const CurlOptionSet &set : host->fake.curlOptions) {
        order.push_back(set.option);
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYPEER);
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYHOST);
    }
    EXPECT_THAT(order, ElementsAre(CURLOPT_URL, CURLOPT_USERPWD, CURLOPT_FOLLOWLOCATION,
                                   CURLOPT_MAXREDIRS, CURLOPT_FAILONERROR, CURLOPT_WRITEFUNCTION,
                                   CURLOPT_WRITEDATA, CURLOPT_NOPROGRESS, CURLOPT_CONNECTTIMEOUT));
    EXPECT_EQ(host->fake.curlOptions[1].text, "alice:s3cret");
    EXPECT_EQ(host->fake.curlOptions.back().number, 10);
}

TEST_F(Newzbin, SearchFailuresGoToTheLogWithTheServicePrefix) {
    Search(MakeShow("The Show"), 1, 2); // nothing served: 404
    server.Serve(kSearchPath, "<html><body>login</body>");
    Search(MakeShow("The Show"), 1, 2);
    server.Serve(kSearchPath, "<html><body/></html>");
    Search(MakeShow("The Show"), 1, 2);
    server.Serve(kSearchPath, "<rss><nochannel/></rss>");
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    ASSERT_EQ(host->fake.log.size(), 4u);
    EXPECT_EQ(host->fake.log[0], "[Newzbin] Error downloading URL: HTTP response code said error\n");
    EXPECT_EQ(host->fake.log[1].rfind("[Newzbin] Error parsing XML: ", 0), 0u);
    EXPECT_EQ(host->fake.log[2], "[Newzbin] Could not find root 'rss' element!\n");
    EXPECT_EQ(host->fake.log[3], "[Newzbin] Could not find first 'channel' element!\n");
    EXPECT_THAT(host->fake.downloads, IsEmpty());
}

TEST_F(Newzbin, DirectNzbFetchesEveryUnseenReportOnceAndHandsItsFileOn) {
    server.Serve(kSearchPath, Feed({Report("Show.Name.S01E02.720p HDTV", "123", "http://nzb/123"),
                                    Report("The Show 1x02 PROPER", "18446744073709551615", nullptr),
                                    Report("The Show 1x02 repack", "77", "http://nzb/77")}));
    server.Serve(kDirectNzbPath, "<nzb>one</nzb>");
    server.Then(kDirectNzbPath, "<nzb>two</nzb>");
    server.Then(kDirectNzbPath, "<nzb>three</nzb>");
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));

    std::vector<std::string> forms;
    for (const ServiceRequest &request : server.RequestsTo(kDirectNzbPath)) {
        EXPECT_EQ(request.method, "POST");
        forms.push_back(request.body);
    }
    EXPECT_THAT(forms, ElementsAre("username=alice&password=s3cret&reportid=123",
                                   "username=alice&password=s3cret&reportid=18446744073709551615",
                                   "username=alice&password=s3cret&reportid=77"));
    std::string tmp = PrivateTemp();
    ASSERT_EQ(host->handed.size(), 3u);
    EXPECT_EQ(host->handed[0].path, tmp + "123_Show.Name.S01E02.720p_HDTV.nzb");
    EXPECT_EQ(host->handed[0].content, "<nzb>one</nzb>");
    EXPECT_EQ(host->handed[1].path, tmp + "18446744073709551615_The_Show_1x02_PROPER.nzb");
    EXPECT_EQ(host->handed[1].content, "<nzb>two</nzb>");
    EXPECT_EQ(host->handed[2].content, "<nzb>three</nzb>");
    EXPECT_THAT(host->fake.CallsStartingWith("MarkSeen"),
                ElementsAre("MarkSeen Show.Name.S01E02.720p HDTV", "MarkSeen The Show 1x02 PROPER",
                            "MarkSeen The Show 1x02 repack"));
    // Marked before fetched, one report after the other.
    std::vector<std::string> effects;
    for (const std::string &call : host->fake.calls)
        if (call.rfind("IsSeen", 0) != 0)
            effects.push_back(call.substr(0, call.find(' ')));
    EXPECT_THAT(effects, ElementsAre("MarkSeen", "HandleNzbFile", "LogDownload", "MarkSeen",
                                     "HandleNzbFile", "LogDownload", "MarkSeen", "HandleNzbFile",
                                     "LogDownload"));
    EXPECT_EQ(host->fake.downloads.back(), kGrabbed);

    // The same answer again: everything is seen, nothing is fetched.
    host->fake.calls.clear();
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_EQ(server.RequestsTo(kDirectNzbPath).size(), 3u);
    EXPECT_THAT(host->fake.CallsStartingWith("MarkSeen"), IsEmpty());
    EXPECT_EQ(host->handed.size(), 3u);
}

TEST_F(Newzbin, DirectNzbOptionsPostTheFormAndKeepTlsChecks) {
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "5", nullptr)}));
    server.Serve(kDirectNzbPath, "<nzb/>");
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    std::vector<CURLoption> order;
    bool afterSearch = false;
    for (const CurlOptionSet &set : host->fake.curlOptions) {
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYPEER);
        if (set.option == CURLOPT_URL && set.text == server.Address() + kDirectNzbPath)
            afterSearch = true;
        if (afterSearch)
            order.push_back(set.option);
    }
    EXPECT_THAT(order, ElementsAre(CURLOPT_URL, CURLOPT_FOLLOWLOCATION, CURLOPT_MAXREDIRS,
                                   CURLOPT_FAILONERROR, CURLOPT_WRITEFUNCTION, CURLOPT_WRITEDATA,
                                   CURLOPT_COPYPOSTFIELDS, CURLOPT_NOPROGRESS,
                                   CURLOPT_CONNECTTIMEOUT));
}

// A password holding "+", "&", "=" or "%" arrived as another text, and every
// DirectNZB request failed.
TEST_F(Newzbin, DirectNzbFormEscapesUserAndPassword) {
    Reinit("user=al ice\r\npass=p+&=%x y\r\n");
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "5", nullptr)}));
    server.Serve(kDirectNzbPath, "<nzb/>");
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    auto posts = server.RequestsTo(kDirectNzbPath);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].body, "username=al%20ice&password=p%2B%26%3D%25x%20y&reportid=5");
}

TEST_F(Newzbin, FailedDirectNzbDeletesTheFileAndOpensTheLinkInstead) {
    SKIP_WITHOUT_OPEN_RECORDER();
    OpenRecorder opener(box);
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "42", "https://nzb.example/get/42")}));
    server.Serve(kDirectNzbPath, "gone", 404);
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(TempFiles(), IsEmpty());
    EXPECT_THAT(host->handed, IsEmpty());
    EXPECT_THAT(host->fake.downloads,
                ElementsAre("Marking The Show 1x02 seen\n",
                            "[Newzbin] Error downloading NZB from DirectNZB: HTTP response code said error!\n",
                            "[Newzbin] Link: https://nzb.example/get/42\n"));
    EXPECT_THAT(opener.WaitForTargets(1), ElementsAre("https://nzb.example/get/42"));
}

TEST_F(Newzbin, AFailedDeliveryIsUnmarkedAReportWithoutIdIsNot) {
    host->fake.takesBackMarks = true;
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "42", nullptr), Report("The Show 1x02 no id", "0", nullptr)}));
    server.Serve(kDirectNzbPath, "gone", 404);
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->fake.CallsStartingWith("UnmarkSeen"), ElementsAre("UnmarkSeen The Show 1x02"));
    EXPECT_THAT(host->fake.seen, ElementsAre("The Show 1x02 no id"));
}

TEST_F(Newzbin, RefusedFileFallsBackToTheLink) {
    SKIP_WITHOUT_OPEN_RECORDER();
    OpenRecorder opener(box);
    host->handleResult = false;
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "42", "http://nzb/42")}));
    server.Serve(kDirectNzbPath, "<nzb/>");
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_EQ(host->handed.size(), 1u);
    EXPECT_EQ(host->fake.downloads.back(), "[Newzbin] Link: http://nzb/42\n");
    EXPECT_THAT(opener.WaitForTargets(1), ElementsAre("http://nzb/42"));
}

TEST_F(Newzbin, BrowserModeOpensLinksWithoutAnyPost) {
    SKIP_WITHOUT_OPEN_RECORDER();
    OpenRecorder opener(box);
    Reinit("user=alice\r\npass=s3cret\r\nmode=1\r\n");
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "42", "http://nzb/42"),
                                    Report("The Show 1x02 again", "43", nullptr)}));
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(server.RequestsTo(kDirectNzbPath), IsEmpty());
    EXPECT_THAT(TempFiles(), IsEmpty());
    EXPECT_THAT(host->fake.downloads,
                ElementsAre("Marking The Show 1x02 seen\n", "[Newzbin] Link: http://nzb/42\n",
                            "Marking The Show 1x02 again seen\n", "Error: No report:nzb element found!\n"));
    EXPECT_THAT(opener.WaitForTargets(1), ElementsAre("http://nzb/42"));
}

TEST_F(Newzbin, ModeTwoSearchesWithDirectNzb) {
    Reinit("user=alice\r\npass=s3cret\r\nmode=2\r\n");
    server.Serve(kSearchPath, Feed({Report("The Show 1x02", "9", nullptr)}));
    server.Serve(kDirectNzbPath, "<nzb/>");
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_EQ(server.RequestsTo(kDirectNzbPath).size(), 1u);
}

TEST_F(Newzbin, ReportsWithoutAUsableIdAreMarkedButNotFetched) {
    server.Serve(kSearchPath, Feed({Report("Zero id", "0", "http://nzb/0"),
                                    Report("Empty id", "", "http://nzb/e"),
                                    Report("No id", nullptr, "http://nzb/n")}));
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(server.RequestsTo(kDirectNzbPath), IsEmpty());
    EXPECT_THAT(host->fake.downloads,
                ElementsAre("Marking Zero id seen\n", "Marking Empty id seen\n", "Marking No id seen\n",
                            "[Newzbin] Error: No report:id element found!\n"));
    EXPECT_TRUE(host->fake.seen.count("No id"));
}

TEST_F(Newzbin, OnlyWebLinksAreHandedToTheBrowser) {
    SKIP_WITHOUT_OPEN_RECORDER();
    OpenRecorder opener(box);
    Reinit("user=alice\r\npass=s3cret\r\nmode=1\r\n");
    server.Serve(kSearchPath, Feed({Report("Local file", "1", "file:///etc/passwd"),
                                    Report("Option", "2", "--help"),
                                    Report("Web", "3", "HTTPS://nzb/3")}));
    EXPECT_TRUE(Search(MakeShow("The Show"), 1, 2));
    EXPECT_THAT(host->fake.downloads,
                ElementsAre("Marking Local file seen\n",
                            "[Newzbin] Not opening a link that is not a web address: file:///etc/passwd\n",
                            "Marking Option seen\n",
                            "[Newzbin] Not opening a link that is not a web address: --help\n",
                            "Marking Web seen\n", "[Newzbin] Link: HTTPS://nzb/3\n"));
    EXPECT_THAT(opener.WaitForTargets(1), ElementsAre("HTTPS://nzb/3"));

    // Only refused links: nothing was delivered.
    host->fake.seen.clear();
    server.Serve(kSearchPath, Feed({Report("Local file", "1", "file:///etc/passwd")}));
    EXPECT_FALSE(Search(MakeShow("The Show"), 1, 2));
}

} // namespace
