// The plugin's answer readers and budget rules, linked in directly: dates
// and Retry-After values, redirects, and the 24-hour budgets with the
// indexer's own counts.
#include "answer.h"
#include "feed.h"
#include "state.h"

#include <gtest/gtest.h>

namespace {

TEST(RetryAfter, SecondsAndHttpDatesBothForms) {
    int64_t t = 0;
    ASSERT_TRUE(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT", t));
    EXPECT_EQ(t, 784111777);
    ASSERT_TRUE(ParseHttpDate("29 Feb 2000 00:00:00 GMT", t));
    EXPECT_EQ(t, 951782400);
    EXPECT_FALSE(ParseHttpDate("Sun, 06 Nox 1994 08:49:37 GMT", t));
    EXPECT_FALSE(ParseHttpDate("tomorrow", t));
    ASSERT_TRUE(ParseHttpDate("Wed, 17 Jul 2019 23:00:49 +0100", t)) << "apilimits write a mail date";
    EXPECT_EQ(t, 1563400849);
    ASSERT_TRUE(ParseHttpDate("Wed, 17 Jul 2019 23:00:49 -0430", t));
    EXPECT_EQ(t, 1563400849 + 3600 + 4 * 3600 + 1800);
    EXPECT_FALSE(ParseHttpDate("Wed, 17 Jul 2019 23:00:49 +9999", t));
    EXPECT_EQ(RetryAfterTime("120", 1000), 1120);
    EXPECT_EQ(RetryAfterTime(" 0 ", 1000), 1000);
    EXPECT_EQ(RetryAfterTime("Sun, 06 Nov 1994 08:49:37 GMT", 5), 784111777);
    EXPECT_EQ(RetryAfterTime("", 1000), 0);
    EXPECT_EQ(RetryAfterTime("-5", 1000), 0);
    EXPECT_EQ(RetryAfterTime("soon", 1000), 0);
    EXPECT_GT(RetryAfterTime("99999999999999999999", 1000), 1000) << "huge, not wrapped";
}

TEST(Redirects, LocationsResolveAgainstTheAddress) {
    const std::string base = "https://idx.example:8443/api/v1/get?id=5";
    EXPECT_EQ(ResolveLocation(base, "http://other/x"), "http://other/x");
    EXPECT_EQ(ResolveLocation(base, "//cdn.example/f.nzb"), "https://cdn.example/f.nzb");
    EXPECT_EQ(ResolveLocation(base, "/dl/7"), "https://idx.example:8443/dl/7");
    EXPECT_EQ(ResolveLocation(base, "7.nzb?x=1"), "https://idx.example:8443/api/v1/7.nzb?x=1");
    EXPECT_EQ(ResolveLocation("http://h", "a"), "http://h/a");
}

TEST(Budgets, RollingDayAndTheIndexersCounts) {
    const int64_t now = 1000000;
    IndexerState s;
    s.api = {now - 90000, now - 80000, now - 100, now - 50};
    PruneState(s, now);
    EXPECT_EQ(s.api.size(), 3u) << "older than a day is forgotten";
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now), 0);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 4, now), 0);
    // Three in the window, three allowed: free once the oldest leaves it.
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 3, now), now - 80000 + 86400);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 2, now), now - 100 + 86400);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Grabs, 1, now), 0);

    // The indexer said 8 of 10 at now-60; two of ours since make it 10.
    s.remote = RemoteLimits{now - 60, 8, 10, -1, -1, 0, 0};
    CountRequest(s, Budget::Api, now - 30);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now), 0);
    CountRequest(s, Budget::Api, now - 20);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now), now - 60 + kRemoteCountsSeconds);
    s.remote = RemoteLimits{now - 60, 1, 10, 5, 5, 0, 0};
    EXPECT_GT(BudgetBlockedUntil(s, Budget::Grabs, 0, now), now);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Grabs, 0, now + kRemoteCountsSeconds), 0) << "counts go stale";

    // A full count with the oldest counted request: free when that one is a
    // day old, however long that is, and never later than a day on.
    s.api.clear();
    s.remote = RemoteLimits{now, 10, 10, 5, 5, 0, 0, now - 3 * 3600, now - 23 * 3600 - 1800};
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now), now + 21 * 3600);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now + 20 * 3600), now + 21 * 3600) << "still full after an hour";
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now + 21 * 3600), 0);
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Grabs, 0, now), now + 1800);
    s.remote.apiOldest = now + 5 * 86400;  // a clock far off: still at most a day
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now), now + 86400);
    s.remote.apiOldest = now - 3 * 86400;  // stale or wrong: the hour of old
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, now), now + kRemoteCountsSeconds);
}

TEST(Budgets, ApiLimitsGiveTheCountsAndTheOldestRequests) {
    TiXmlDocument document;
    document.Parse("<rss><channel><newznab:apilimits apicurrent=\"100\" apimax=\"100\" grabcurrent=\"2\" "
                   "grabmax=\"25\" ApiOldestTime=\"Wed, 17 Jul 2019 23:00:49 +0100\" "
                   "graboldesttime=\"never\"/></channel></rss>");
    RemoteLimits limits = ReadApiLimits(document, 1563450000);
    EXPECT_EQ(limits.apiMax, 100);
    EXPECT_EQ(limits.apiOldest, 1563400849);
    EXPECT_EQ(limits.grabOldest, 0) << "an unreadable time is left out";
    IndexerState s;
    s.remote = limits;
    EXPECT_EQ(BudgetBlockedUntil(s, Budget::Api, 0, 1563450000), 1563400849 + 86400);
}

TEST(Budgets, StateSurvivesItsTextAndIgnoresJunk) {
    IndexerState rows[kIndexerRows];
    rows[0].pausedUntil = 123;
    rows[0].api = {5, 6};
    rows[7].grabs = {9};
    rows[7].remote = RemoteLimits{10, 1, 2, 3, 4, 5, 6, 7, 8};
    IndexerState back[kIndexerRows];
    ParseStateText(StateText(rows), back);
    EXPECT_EQ(back[0].pausedUntil, 123);
    EXPECT_EQ(back[0].api, (std::vector<int64_t>{5, 6}));
    EXPECT_EQ(back[7].grabs, (std::vector<int64_t>{9}));
    EXPECT_EQ(back[7].remote.grabMax, 4);
    EXPECT_EQ(back[7].remote.grabsSince, 6);
    EXPECT_EQ(back[7].remote.apiOldest, 7);
    EXPECT_EQ(back[7].remote.grabOldest, 8);
    ParseStateText("[newznab1]\nlimits=10 1 2 3 4 5 6\n", back);
    EXPECT_EQ(back[0].remote.grabMax, 4) << "a file from before the oldest times";
    EXPECT_EQ(back[0].remote.apiOldest, 0);
    ParseStateText("[newznab9]\npaused=5\n[newznab2]\napi=x,3,,-4,2\nlimits=1 2\n\xff\n", back);
    EXPECT_EQ(back[0].pausedUntil, 0);
    EXPECT_EQ(back[1].api, (std::vector<int64_t>{}));
    EXPECT_EQ(back[1].remote.at, 0);
}

} // namespace

TEST(Feed, PubDatesWithZonesAndCoverageWithoutGaps) {
    int64_t t = 0;
    ASSERT_TRUE(ParseRssDate("Tue, 08 Dec 2026 17:00:00 +0000", t));
    const int64_t base = t;
    ASSERT_TRUE(ParseRssDate("Tue, 08 Dec 2026 12:00:00 -0500", t));
    EXPECT_EQ(base, t);
    ASSERT_TRUE(ParseRssDate("08 Dec 2026 18:30:00 +0130", t));
    EXPECT_EQ(base, t);
    ASSERT_TRUE(ParseRssDate("Tue, 08 Dec 2026 17:00:00 GMT", t));
    EXPECT_EQ(base, t);
    EXPECT_FALSE(ParseRssDate("yesterday", t));
    EXPECT_FALSE(ParseRssDate(nullptr, t));

    FeedCoverage c;
    EXPECT_FALSE(c.Covers(0));
    c.Take({300, 100, 0, 200});      // any order; undated items ignored
    EXPECT_EQ(100, c.coveredSince);
    EXPECT_EQ(300, c.newest);
    EXPECT_TRUE(c.Covers(100));
    EXPECT_FALSE(c.Covers(99));
    c.Take({250, 400});              // reaches back to 300: no gap
    EXPECT_EQ(100, c.coveredSince);
    EXPECT_EQ(400, c.newest);
    c.Take({500, 450});              // starts after 400: a gap
    EXPECT_EQ(450, c.coveredSince);
    c.Take({});                      // nothing dated proves nothing
    EXPECT_FALSE(c.Covers(1000));
}
