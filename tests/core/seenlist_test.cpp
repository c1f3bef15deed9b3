#include <algorithm>
#include <map>
#include <string>

#include "core_fixture.h"

namespace {

const int64_t kDay = 86400;

class SeenListTest : public CoreTest {
protected:
    static std::map<std::string, int64_t> Snapshot() {
        MutexHold hold(SeenListLock);
        return {SeenList.begin(), SeenList.end()};
    }
};

TEST_F(SeenListTest, MarkTestAndSaveInKeyOrder) {
    int64_t now = FakeNow();
    MarkSeen("b.release");
    MarkSeen("A.Release");
    MarkSeen("a.release");
    EXPECT_TRUE(IsSeen("a.release"));
    EXPECT_FALSE(IsSeen("A.RELEASE"));
    EXPECT_FALSE(IsSeen("a.release "));
    EXPECT_EQ(LogTexts(LogTarget::Downloads),
              (std::vector<std::string>{"Marking b.release seen", "Marking A.Release seen",
                                        "Marking a.release seen"}));

    ASSERT_TRUE(SaveSeen());
    std::string t = std::to_string(now);
    EXPECT_EQ(box.Read("seen.conf"), "A.Release=" + t + "\r\na.release=" + t + "\r\nb.release=" + t + "\r\n");
}

TEST_F(SeenListTest, EntriesExpireAfterExactly60Days) {
    int64_t now = FakeNow();
    {
        MutexHold hold(SeenListLock);
        SeenList["kept"] = now - 60 * kDay;
        SeenList["gone"] = now - 60 * kDay - 1;
        SeenList["zero"] = 0;
    }
    ASSERT_TRUE(SaveSeen());
    EXPECT_EQ(box.Read("seen.conf"), "kept=" + std::to_string(now - 60 * kDay) + "\r\n");
    auto left = Snapshot();
    EXPECT_EQ(left.size(), 1u);
    EXPECT_EQ(left.count("kept"), 1u);
}

TEST_F(SeenListTest, IsSeenFollowsEveryWayTheListChanges) {
    int64_t now = FakeNow();
    {
        MutexHold hold(SeenListLock);
        SeenList["old"] = now - 61 * kDay;
        SeenList["fresh"] = now;
        SeenList["deleted"] = now;
    }
    MarkSeen("marked");
    EXPECT_TRUE(IsSeen("old"));
    {
        // As the seen list editor deletes an entry.
        MutexHold hold(SeenListLock);
        EXPECT_EQ(SeenList.erase("deleted"), 1u);
        EXPECT_EQ(SeenList.erase("deleted"), 0u);
    }
    EXPECT_FALSE(IsSeen("deleted"));
    ASSERT_TRUE(SaveSeen());  // drops "old"
    EXPECT_FALSE(IsSeen("old"));
    EXPECT_TRUE(IsSeen("fresh"));
    EXPECT_TRUE(IsSeen("marked"));

    LoadSeen();  // replaces the list with the file's entries
    EXPECT_TRUE(IsSeen("fresh"));
    EXPECT_TRUE(IsSeen("marked"));
    EXPECT_FALSE(IsSeen("old"));
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    EXPECT_FALSE(IsSeen("fresh"));
    MarkSeen("fresh");
    EXPECT_TRUE(IsSeen("fresh"));
}

TEST_F(SeenListTest, MarkingAgainRefreshesTheTime) {
    MarkSeen("show.s01e01");
    MarkSeen("other");
    FakeNow() += 59 * kDay;
    MarkSeen("show.s01e01");
    FakeNow() += 59 * kDay;
    ASSERT_TRUE(SaveSeen());
    EXPECT_TRUE(IsSeen("show.s01e01"));
    EXPECT_FALSE(IsSeen("other"));
}

TEST_F(SeenListTest, LoadSkipsJunkAndSplitsAtTheLastEquals) {
    box.Write("seen.conf", "\r\n"
                           "   \t \r\n"
                           "no equals here\r\n"
                           "=5\r\n"
                           "  padded name \t=\t 123  \r\n"
                           "Show.S01E01.720p=1700000000\n"
                           "x264 [a=b]=c.nzb=1700000001\r\n"
                           "words=not a number\r\n"
                           "dup=1\r\n"
                           "dup=2\r\n"
                           "last line without end=42");
    LoadSeen();
    auto seen = Snapshot();
    std::map<std::string, int64_t> expected = {
        {"", 5},
        {"padded name", 123},
        {"Show.S01E01.720p", 1700000000},
        {"x264 [a=b]=c.nzb", 1700000001},
        {"words", 0},
        {"dup", 2},
        {"last line without end", 42},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(SeenListTest, NamesWithEqualsSignsSurviveASaveAndLoad) {
    MarkSeen("Show=Name.S01E01");
    MarkSeen("a=b=");
    MarkSeen("");
    ASSERT_TRUE(SaveSeen());
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    LoadSeen();
    EXPECT_TRUE(IsSeen("Show=Name.S01E01"));
    EXPECT_TRUE(IsSeen("a=b="));
    EXPECT_TRUE(IsSeen(""));
    EXPECT_EQ(Snapshot().size(), 3u);
}

// A line feed in a name once split its line into junk and a false entry.
TEST_F(SeenListTest, LineBreaksInNamesStayOnTheirLine) {
    MarkSeen("Evil\r\nInjected");
    MarkSeen("Plain");
    ASSERT_TRUE(SaveSeen());
    std::string text = box.Read("seen.conf");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    LoadSeen();
    EXPECT_TRUE(IsSeen("Evil\r Injected"));
    EXPECT_FALSE(IsSeen("Injected"));
    EXPECT_EQ(Snapshot().size(), 2u);
}

TEST_F(SeenListTest, MissingFileKeepsTheListAndWritesNothing) {
    MarkSeen("held");
    LoadSeen();
    EXPECT_TRUE(IsSeen("held"));
    EXPECT_FALSE(box.Exists("seen.conf"));
    ASSERT_TRUE(SaveSeen());
    EXPECT_TRUE(box.Exists("seen.conf"));
    // A file, even an empty one, replaces the list.
    box.Write("seen.conf", "");
    LoadSeen();
    EXPECT_TRUE(Snapshot().empty());
}

TEST_F(SeenListTest, SaveBacksUpFirst) {
    box.Write("seen.conf", "old=1\r\n");
    MarkSeen("new");
    ASSERT_TRUE(SaveSeen());
    EXPECT_EQ(box.Read("backup/seen.conf.1206202600"), "old=1\r\n");
}

TEST_F(SeenListTest, FailedSaveDropsNothingAndKeepsTheOldFile) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    box.Write("seen.conf", "old=1\r\n");
    {
        MutexHold hold(SeenListLock);
        SeenList["expired"] = 1;
        for (int i = 0; i < 50; i++)
            SeenList["fresh " + std::to_string(i)] = FakeNow();
    }
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(SaveSeen());
    }
    EXPECT_EQ(box.Read("seen.conf"), "old=1\r\n");
    EXPECT_TRUE(IsSeen("expired"));

    SetHostPaths((box.Path() + "gone/").c_str());
    EXPECT_FALSE(SaveSeen());
    EXPECT_TRUE(IsSeen("expired"));
}

TEST_F(SeenListTest, LongAndBinaryLinesDoNotBreakLoading) {
    std::string text = std::string(20000, 'z') + "=7\r\n";
    for (int i = 0; i < 5000; i++)
        text += static_cast<char>((i * 37) & 0xff);
    text += "\nlast=9\n";
    box.Write("seen.conf", text);
    LoadSeen();
    EXPECT_TRUE(IsSeen("last"));
    ASSERT_TRUE(SaveSeen());  // everything read must be writable again
}

}  // namespace

namespace {

// What a plugin marks is what it finds again after a save and a restart:
// names with line breaks, and names far longer than one read of a line.
TEST_F(SeenListTest, MarkedNamesAreKnownAgainAfterARestart) {
    const std::string names[] = {"Show.S01E01\r\n", "Show.S01E02\nPROPER", "Show.S01E03\rREPACK",
                                 std::string(9000, 'n') + ".S01E04", "Show=S01E05"};
    for (const std::string &name : names)
        MarkSeen(name.c_str());
    ASSERT_TRUE(SaveSeen());
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    LoadSeen();
    for (const std::string &name : names)
        EXPECT_TRUE(IsSeen(name.c_str())) << name.substr(0, 40);
    EXPECT_EQ(Snapshot().size(), 5u);
    EXPECT_TRUE(IsSeen("Show.S01E02 PROPER"));
}

}  // namespace
