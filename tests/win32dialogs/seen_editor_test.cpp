#include <ctime>
#include <string>

#include "dialog_driver.h"
#include "seenform.h"
#include "seenlist.h"
#include "win32dialogs.h"

namespace {

const int64_t kDay = 86400;

class Win32SeenEditorTest : public Win32DialogTest {
protected:
    static int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }
    static void Seen(const std::string &key, int64_t when) {
        MutexHold hold(SeenListLock);
        SeenList[key] = when;
    }
    static bool Has(const std::string &key) {
        MutexHold hold(SeenListLock);
        return SeenList.count(key) != 0;
    }
    static void Run(const std::function<void(HWND)> &steps) {
        Drive([] { RunSeenListEditor(nullptr); }, steps);
    }
    static HWND List(HWND dialog) { return GetDlgItem(dialog, 1026); }
};

TEST_F(Win32SeenEditorTest, ListsEveryEntrySortedWithItsTime) {
    const int64_t when = 315626635;  // 1980-01-02
    Seen("show.s01e02.720p", when);
    Seen("Another.Show.S02E01", when + 60);
    Seen("a.show.s01e01", when + 120);
    Run([&](HWND d) {
        EXPECT_EQ(Text(d), L"Dialog");
        HWND list = List(d);
        EXPECT_EQ(Rows(list), (std::vector<std::wstring>{L"a.show.s01e01", L"Another.Show.S02E01",
                                                         L"show.s01e02.720p"}));
        const std::string time = SeenTimeText(when);
        EXPECT_EQ(RowText(list, 2, 1), std::wstring(time.begin(), time.end()));
        EXPECT_EQ(time.size(), 24u);  // as "Wed Jan 02 02:03:55 1980"
        // Both columns fit beside a vertical scroll bar.
        RECT client = {};
        GetClientRect(list, &client);
        const LRESULT widths = SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0) +
                               SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0);
        EXPECT_GT(widths, client.right / 2);
        EXPECT_LE(widths, client.right - GetSystemMetrics(SM_CXVSCROLL));
        Press(d, 1025);  // nothing selected: nothing happens
        EXPECT_EQ(Rows(list).size(), 3u);
        PostMessageW(d, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(Has("a.show.s01e01"));
}

TEST_F(Win32SeenEditorTest, DeleteKeyAndButtonEraseEverySelectedEntry) {
    for (const char *key : {"one", "two", "three", "four", "five"})
        Seen(key, Now());
    const std::string odd = std::string("bad\xff") + "name";
    Seen(odd, Now());
    ASSERT_TRUE(SaveSeen());
    const std::string before = sandbox.Read("seen.conf");
    Run([&](HWND d) {
        HWND list = List(d);  // bad?name five four one three two
        for (int row : {0, 1, 3, 5})
            SelectRow(list, row);
        SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        EXPECT_EQ(Rows(list), (std::vector<std::wstring>{L"four", L"three"}));
        SelectRow(list, 1);
        Press(d, 1025);
        EXPECT_EQ(Rows(list), (std::vector<std::wstring>{L"four"}));
        PostMessageW(d, WM_CLOSE, 0, 0);  // the close box: no save
    });
    for (const std::string &key : {std::string("one"), std::string("two"), std::string("three"),
                                   std::string("five"), odd})
        EXPECT_FALSE(Has(key)) << key;
    EXPECT_TRUE(Has("four"));
    EXPECT_EQ(sandbox.Read("seen.conf"), before);
}

TEST_F(Win32SeenEditorTest, CloseSavesAndDropsExpiredEntries) {
    Seen("old.release", Now() - 61 * kDay);
    Seen("new.release", Now() - kDay);
    Run([](HWND d) {
        EXPECT_EQ(Rows(List(d)).size(), 2u);
        PostPress(d, 1);
    });
    EXPECT_FALSE(Has("old.release"));
    const std::string saved = sandbox.Read("seen.conf");
    EXPECT_EQ(saved.find("old.release"), std::string::npos);
    EXPECT_NE(saved.find("new.release="), std::string::npos);
}

}  // namespace
