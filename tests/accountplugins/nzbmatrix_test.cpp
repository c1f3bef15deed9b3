// The NZBMatrix plugin driven through a fake host that records waits, against
// a local stand-in for the service's search and download calls.
#include "account_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

const char *const kSearchPath = "/v1.1/search.php";
const char *const kDownloadPath = "/v1.1/download.php";
const char *const kWait30 = "[NZBMatrix] API wants us to wait 30 seconds and try again...";
const char *const kNzb = "<?xml version=\"1.0\"?>\n<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\"/>\n";

// One record of a search answer, with CR LF line ends and the separator line
// the service puts between records.
std::string Record(const std::string &id, const std::string &name) {
    return "NZBID:" + id + ";\r\nNZBNAME:" + name + ";\r\nLINK:nzbmatrix.com/nzb-details.php?id=" + id +
           "&hit=1;\r\nSIZE:1469173350.4;\r\n|\r\n";
}

class NzbMatrix : public AccountPluginTest {
protected:
    NzbMatrix() : AccountPluginTest(QLN_NZBMATRIX_PATH, "nzbmatrix", "user=bob\r\nkey=k3y\r\n") {}

    std::vector<std::string> Targets(const char *path) const {
        std::vector<std::string> targets;
        for (const ServiceRequest &request : server.RequestsTo(path))
            targets.push_back(request.target);
        return targets;
    }
};

TEST_F(NzbMatrix, StatusNamesTheFirstMissingAccountSetting) {
    EXPECT_STREQ(plugin->type, "NZB");
    EXPECT_EQ(library.getPlugin(5), plugin);
    ASSERT_NE(plugin->Configure, nullptr);
    EXPECT_TRUE(plugin->GetStatus(nullptr, 0));
    char status[256];
    Reinit("");
    EXPECT_FALSE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "No User Set in Plugin");
    Reinit("user=bob\r\n");
    EXPECT_FALSE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "No API Key Set in Plugin");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(server.Requests(), IsEmpty());
    EXPECT_THAT(host->fake.calls, IsEmpty());
}

TEST_F(NzbMatrix, SearchTextQuotesTheNameAndBothTags) {
    server.Serve(kSearchPath, "error:nothing_found;");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_FALSE(Search(MakeShow("Law & Order", "720p proper", true), 12, 3));
    const std::string account = std::string(kSearchPath) + "?username=bob&apikey=k3y&larger=50&search=%2B";
    EXPECT_THAT(Targets(kSearchPath),
                ElementsAre(account + "\"The%20Show\"%20S05E01%20\"%205x01\"",
                            account + "\"Law%20%26%20Order\"%20S12E03%20\"%2012x03\"%20720p%20proper%20%2Bx264"));
}

TEST_F(NzbMatrix, SearchCallSetsItsOwnOptionsAndKeepsTlsChecks) {
    server.Serve(kSearchPath, "error:nothing_found;");
    Search(MakeShow("The Show"), 5, 1);
    std::vector<CURLoption> order;
    for (const CurlOptionSet &set : host->fake.curlOptions) {
        order.push_back(set.option);
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYPEER);
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYHOST);
        if (set.option == CURLOPT_CONNECTTIMEOUT) {
            EXPECT_EQ(set.number, 10);
        }
    }
    // The frame's order; redirects are not followed.
    EXPECT_THAT(order, ElementsAre(CURLOPT_URL, CURLOPT_FAILONERROR, CURLOPT_WRITEFUNCTION,
                                   CURLOPT_WRITEDATA, CURLOPT_NOPROGRESS, CURLOPT_CONNECTTIMEOUT));
}

TEST_F(NzbMatrix, PleaseWaitThenAFindPausesBeforeRetryDownloadAndReturn) {
    server.Serve(kSearchPath, "error:please_wait_30;\n");
    server.Then(kSearchPath, Record("4711", "The.Show.S05E01.720p.HDTV") + Record("4712", "x"));
    server.Serve(kDownloadPath, kNzb);
    Show show = MakeShow("The.Show");
    EXPECT_TRUE(Search(show, 5, 1));

    EXPECT_THAT(host->fake.log, ElementsAre(kWait30));
    // 30 before the second call, before the download and before returning;
    // the download itself was never asked to pause (its closing wait is 0).
    EXPECT_THAT(host->waits, ElementsAre(30u, 30u, 0u, 30u));
    EXPECT_EQ(Targets(kSearchPath).size(), 2u);
    EXPECT_THAT(Targets(kDownloadPath),
                ElementsAre(std::string(kDownloadPath) + "?username=bob&apikey=k3y&id=4711"));
    std::vector<std::string> effects;
    for (const std::string &call : host->fake.calls)
        if (call.rfind("IsSeen", 0) != 0)
            effects.push_back(call);
    const std::string file = PrivateTemp() + "4711_The.Show.S05E01.720p.HDTV.nzb";
    EXPECT_THAT(effects,
                ElementsAre(std::string("Log ") + kWait30, "SleepSeconds 30",
                            "LogDownload [NZBMatrix] While searching for The.Show ...",
                            "LogDownload [NZBMatrix] Found NZB: 4711 - The.Show.S05E01.720p.HDTV",
                            "MarkSeen The.Show.S05E01.720p.HDTV", "SleepSeconds 30",
                            "LogDownload [NZBMatrix] Downloaded NZB with Download API\n",
                            "HandleNzbFile " + file, "SleepSeconds 0", "SleepSeconds 30"));
    ASSERT_EQ(host->handed.size(), 1u);
    EXPECT_EQ(host->handed[0].content, kNzb);
    // The download call keeps TLS checks as well.
    for (const CurlOptionSet &set : host->fake.curlOptions)
        EXPECT_NE(set.option, CURLOPT_SSL_VERIFYPEER);
}

TEST_F(NzbMatrix, NothingFoundIsSilentAndOtherErrorsAreLogged) {
    server.Serve(kSearchPath, "error:nothing_found;\r\n");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(host->fake.log, IsEmpty());
    EXPECT_THAT(host->fake.downloads, IsEmpty());
    EXPECT_THAT(host->waits, ElementsAre(0u));

    server.Serve(kSearchPath, "ERROR : invalid_api_key ;");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    server.Serve(kSearchPath, "", 500);
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(host->fake.log, ElementsAre("[NZBMatrix] Error searching: invalid_api_key ",
                                            "[NZBMatrix] Error searching: HTTP response code said error"));
    EXPECT_THAT(Targets(kDownloadPath), IsEmpty());
}

TEST_F(NzbMatrix, TakesTheFirstUnseenRecordThatNamesShowAndEpisode) {
    host->fake.seen.insert("The Show S05E01 seen");
    server.Serve(kSearchPath, Record("1", "Other Show S05E01") + Record("2", "The Show S05E01 seen") +
                                  Record("3", "The Show 15x01") + Record("4", "the show 5x01 hdtv") +
                                  Record("5", "The Show S05E01 later"));
    server.Serve(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(Targets(kDownloadPath),
                ElementsAre(std::string(kDownloadPath) + "?username=bob&apikey=k3y&id=4"));
    EXPECT_THAT(host->fake.CallsStartingWith("MarkSeen"), ElementsAre("MarkSeen the show 5x01 hdtv"));
    ASSERT_EQ(host->handed.size(), 1u);
    EXPECT_EQ(host->handed[0].path, PrivateTemp() + "4_the_show_5x01_hdtv.nzb");
}

TEST_F(NzbMatrix, TagInsideALongerSeasonIsNoMatch) {
    server.Serve(kSearchPath, Record("1", "The Show 15x01") + Record("2", "The Show S15E01") +
                                  Record("3", "The Show 105x01"));
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(host->fake.CallsStartingWith("MarkSeen"), IsEmpty());
    EXPECT_THAT(host->fake.log, IsEmpty());
    EXPECT_THAT(Targets(kDownloadPath), IsEmpty());
}

TEST_F(NzbMatrix, ReadingStopsOnceNameAndIdArePresent) {
    // The id of the accepted record is the last one read before its name; a
    // later error line does not replace the find.
    server.Serve(kSearchPath, "nzbid:1;\nnzbid:2;\nnzbname:The Show S05E01;\n\n\nerror:please_wait_10;\n");
    server.Serve(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(Targets(kDownloadPath),
                ElementsAre(std::string(kDownloadPath) + "?username=bob&apikey=k3y&id=2"));
    EXPECT_THAT(host->waits, ElementsAre(0u, 0u, 0u));
}

TEST_F(NzbMatrix, DownloadErrorAnswerIsReportedAndNothingIsDelivered) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, "error:invalid_id;\n");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(host->fake.downloads,
                ElementsAre("[NZBMatrix] While searching for The Show ...",
                            "[NZBMatrix] Found NZB: 7 - The Show S05E01", "Marking The Show S05E01 seen\n",
                            "[NZBMatrix] API returned error: invalid_id\n"));
    EXPECT_THAT(host->handed, IsEmpty());
    EXPECT_TRUE(host->fake.seen.count("The Show S05E01"));
}

TEST_F(NzbMatrix, DownloadPleaseWaitIsObeyedAndTheFileThenDelivered) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, "ERROR: please_wait_5");
    server.Then(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_EQ(Targets(kDownloadPath).size(), 2u);
    EXPECT_THAT(host->waits, ElementsAre(0u, 5u, 5u, 0u));
    EXPECT_EQ(host->fake.downloads[3], "[NZBMatrix] API wants us to wait 5 seconds and try again...");
    ASSERT_EQ(host->handed.size(), 1u);
    EXPECT_EQ(host->handed[0].content, kNzb);
    EXPECT_EQ(host->handed[0].path, PrivateTemp() + "7_The_Show_S05E01.nzb");
}

TEST_F(NzbMatrix, FailedDownloadTransferIsReported) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1)); // download answers 404
    EXPECT_EQ(host->fake.downloads.back(), "[NZBMatrix] Error downloading: HTTP response code said error");
    EXPECT_THAT(host->handed, IsEmpty());
}

TEST_F(NzbMatrix, ShutdownDuringARequestedPauseEndsTheSearch) {
    // Without the shutdown the service would be asked twice more.
    server.Serve(kSearchPath, "error:please_wait_30;");
    server.Then(kSearchPath, "error:please_wait_30;");
    server.Then(kSearchPath, "error:nothing_found;");
    host->onSleepStep = [this] { host->shuttingDown = true; };
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_EQ(host->stepsSlept, 1u);
    EXPECT_EQ(Targets(kSearchPath).size(), 1u);
    EXPECT_THAT(host->fake.log, ElementsAre(kWait30));
}

TEST_F(NzbMatrix, ShutdownEndsTheDownloadRetries) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    // Without the shutdown the third download call would deliver the file.
    server.Serve(kDownloadPath, "error:please_wait_5;");
    server.Then(kDownloadPath, "error:please_wait_5;");
    server.Then(kDownloadPath, kNzb);
    host->onSleepStep = [this] {
        if (!server.RequestsTo(kDownloadPath).empty())
            host->shuttingDown = true;
    };
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_EQ(Targets(kDownloadPath).size(), 1u);
    EXPECT_THAT(host->handed, IsEmpty());
}

} // namespace

namespace {

// A user name with a space broke every request; a key with "+" or "&" was
// read as another key or cut.
TEST_F(NzbMatrix, AccountIsEscapedInSearchAndDownload) {
    Reinit("user=bob smith\r\nkey=k+&=%y\r\n");
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
    const std::string account = "?username=bob%20smith&apikey=k%2B%26%3D%25y";
    ASSERT_EQ(Targets(kSearchPath).size(), 1u);
    EXPECT_EQ(Targets(kSearchPath)[0].rfind(kSearchPath + account + "&larger=50&search=", 0), 0u);
    EXPECT_THAT(Targets(kDownloadPath), ElementsAre(kDownloadPath + account + "&id=7"));
}

// please_wait_0 (or a wait that is no number) made the plugin ask again at
// once, without end. Each wait is at least a second, and one pass gives up
// after five waits; the next pass asks again.
TEST_F(NzbMatrix, EndlessWaitRequestsEndTheSearchForThisPass) {
    server.Serve(kSearchPath, "error:please_wait_0;");
    server.Then(kSearchPath, "error:please_wait_soon;");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_EQ(Targets(kSearchPath).size(), 6u);
    EXPECT_THAT(host->waits, ElementsAre(1u, 1u, 1u, 1u, 1u, 1u));
    ASSERT_EQ(host->fake.log.size(), 6u);
    EXPECT_EQ(host->fake.log[0], "[NZBMatrix] API wants us to wait 1 seconds and try again...");
    EXPECT_EQ(host->fake.log[5],
              "[NZBMatrix] Still asked to wait after 5 waits; searching for The Show again at the next pass\n");

    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
}

TEST_F(NzbMatrix, EndlessWaitRequestsEndTheDownloadAndNameTheRelease) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, "error:please_wait_0;");
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_EQ(Targets(kDownloadPath).size(), 6u);
    EXPECT_EQ(host->fake.downloads.back(),
              "[NZBMatrix] The Show S05E01 was marked seen but not downloaded: the service kept asking to wait\n");
    EXPECT_THAT(host->handed, IsEmpty());
}

// A release marked seen while the program shuts down vanished without a word.
TEST_F(NzbMatrix, ShutdownBeforeTheDownloadNamesTheRelease) {
    server.Serve(kSearchPath, "error:please_wait_2;");
    server.Then(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, kNzb);
    host->onSleepStep = [this] {
        if (!host->fake.CallsStartingWith("MarkSeen").empty())
            host->shuttingDown = true;
    };
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(server.RequestsTo(kDownloadPath), IsEmpty());
    EXPECT_EQ(host->fake.downloads.back(),
              "[NZBMatrix] The Show S05E01 was marked seen but not downloaded: the program is shutting down\n");
}

// Blank lines, lone CRs and a missing final line end are all just line ends.
TEST_F(NzbMatrix, AnswerLinesEndAtAnyMixOfLineBreaks) {
    server.Serve(kSearchPath, "\r\n\n\r\rNZBID:1;\rNZBNAME:Other S05E01;\n\n\n|\r\r\nNZBID:9;\n\r\n\rNZBNAME:The Show S05E01");
    server.Serve(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(Targets(kDownloadPath), ElementsAre(std::string(kDownloadPath) + "?username=bob&apikey=k3y&id=9"));
}

// Reading took time quadratic in the answer's size (every line break moved
// the rest of the answer); an answer of millions of line breaks held the
// check thread for hours. Read in one pass it is done at once.
TEST_F(NzbMatrix, LongAnswerIsReadInOnePass) {
    std::string answer;
    for (int i = 0; i < (2 << 20); ++i)
        answer += "\r\n";
    server.Serve(kSearchPath, answer + Record("9", "The Show S05E01"));
    server.Serve(kDownloadPath, kNzb);
    EXPECT_TRUE(Search(MakeShow("The Show"), 5, 1));
}

TEST_F(NzbMatrix, AFailedDeliveryIsUnmarkedWhereTheHostCan) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, kNzb);
    host->fake.takesBackMarks = true;
    host->handleResult = false;
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(host->fake.CallsStartingWith("UnmarkSeen"), ElementsAre("UnmarkSeen The Show S05E01"));
    EXPECT_TRUE(host->fake.seen.empty());
}

// The NZB file lies in this process's private folder, readable by this user
// only (on Windows the user's own temporary folder already is); nothing is
// written to the shared temporary folder itself.
TEST_F(NzbMatrix, NzbFileIsPrivate) {
    server.Serve(kSearchPath, Record("7", "The Show S05E01"));
    server.Serve(kDownloadPath, kNzb);
    host->handleResult = false; // the file stays where it was made
    EXPECT_FALSE(Search(MakeShow("The Show"), 5, 1));
    EXPECT_THAT(TempFiles(), ElementsAre("7_The_Show_S05E01.nzb"));
    std::vector<std::string> shared;
    for (const auto &entry : std::filesystem::directory_iterator(box.File("tmp")))
        shared.push_back(entry.path().filename().string());
#ifdef _WIN32
    EXPECT_THAT(shared, ElementsAre("quillon"));
#else
    EXPECT_THAT(shared, ElementsAre("quillon-" + std::to_string(geteuid())));
    struct stat file {}, folder {};
    ASSERT_EQ(stat((PrivateTemp() + "7_The_Show_S05E01.nzb").c_str(), &file), 0);
    ASSERT_EQ(stat(PrivateTemp().c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
#endif
}

} // namespace
