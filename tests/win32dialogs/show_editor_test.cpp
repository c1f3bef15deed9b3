#include <cstring>
#include <string>

#include "dialog_driver.h"
#include "find_fakes.h"
#include "dialogtemplate.h"
#include "showlist.h"
#include "win32dialogs.h"

namespace {

class Win32ShowEditorTest : public Win32DialogTest {
protected:
    static Show *Add(const char *name, int season, int episode) {
        Show *show = NewShow();
        std::strcpy(show->ShowName, name);
        show->Season = season;
        show->Episode = episode;
        AddShow(show);
        return show;
    }
    static void AddThree() {
        Add("Alpha", 1, 2);
        Add("Bravo", 3, 5);
        Add("Charlie", 2, 9);
    }
    static void Run(const std::function<void(HWND)> &steps) {
        Drive([] { RunShowEditor(nullptr); }, steps);
    }
};

TEST_F(Win32ShowEditorTest, EmptyListOpensEmptyAndSaveDoesNothing) {
    Run([](HWND d) {
        EXPECT_EQ(Text(d), L"Edit Shows");
        EXPECT_EQ(ComboCount(d, 1012), 0);
        for (int id : {1014, 1008, 1019, 1020})
            EXPECT_EQ(Text(d, id), L"") << id;
        EXPECT_FALSE(GetWindowLongW(GetDlgItem(d, 1), GWL_STYLE) & BS_DEFPUSHBUTTON);
        SetText(d, 1014, L"Typed");
        Press(d, 1);
        Press(d, 1018);
        PostMessageW(d, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(ShowCount(), 0);
    EXPECT_TRUE(frontEnd.Messages().empty());
    EXPECT_FALSE(sandbox.Exists("shows.conf"));
}

TEST_F(Win32ShowEditorTest, OpensOnTheFirstShowAddNewAppendsWithoutSaving) {
    AddThree();
    std::strcpy(GetShow(0)->Keywords, "720p x264");
    GetShow(0)->Skip = 1;
    Run([](HWND d) {
        ASSERT_EQ(ComboCount(d, 1012), 3);
        EXPECT_EQ(ComboText(d, 1012, 2), L"Charlie");
        EXPECT_EQ(ComboSelection(d, 1012), 0);
        EXPECT_EQ(Text(d, 1014), L"Alpha");
        EXPECT_EQ(Text(d, 1008), L"720p x264");
        EXPECT_EQ(Text(d, 1019), L"1");
        EXPECT_EQ(Text(d, 1020), L"2");
        EXPECT_TRUE(IsChecked(d, 1016));
        EXPECT_FALSE(IsChecked(d, 1025));
        Press(d, 1013);
        EXPECT_EQ(ComboCount(d, 1012), 4);
        EXPECT_EQ(ComboSelection(d, 1012), 3);
        EXPECT_EQ(Text(d, 1014), L"New Item");
        EXPECT_EQ(Text(d, 1019), L"0");
        EXPECT_FALSE(IsChecked(d, 1016));
        PostMessageW(d, WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(ShowCount(), 4);
    EXPECT_STREQ(GetShow(3)->ShowName, "New Item");
    EXPECT_FALSE(sandbox.Exists("shows.conf"));
}

TEST_F(Win32ShowEditorTest, SaveTakesTheFieldsAndKeepsZeroSeasons) {
    AddThree();
    GetShow(1)->Skip = 1;
    GetShow(1)->NextSearch = 4000000000LL;
    Run([](HWND d) {
        SelectCombo(d, 1012, 1);
        EXPECT_EQ(Text(d, 1014), L"Bravo");
        SetText(d, 1008, L"1080p \u00e9dition");
        SetText(d, 1019, L"0");
        SetText(d, 1020, L"7");
        SetChecked(d, 1016, false);
        SetChecked(d, 1023, true);
        SetChecked(d, 1025, true);
        SetText(d, 1014, L"BRAVO");  // only the letter case: no re-sorting
        Press(d, 1);
        EXPECT_EQ(ComboSelection(d, 1012), 1);
        EXPECT_EQ(ComboText(d, 1012, 1), L"BRAVO");
        PostMessageW(d, WM_CLOSE, 0, 0);
    });
    const Show *bravo = GetShow(1);
    EXPECT_STREQ(bravo->ShowName, "BRAVO");
    EXPECT_STREQ(bravo->Keywords, "1080p \xc3\xa9" "dition");
    EXPECT_EQ(bravo->Season, 3);
    EXPECT_EQ(bravo->Episode, 7);
    EXPECT_EQ(bravo->Skip, 0);
    EXPECT_EQ(bravo->NextSearch, 0);
    EXPECT_EQ(bravo->HD_Only, 1);
    EXPECT_EQ(bravo->Pause, 1);
    EXPECT_NE(sandbox.Read("shows.conf").find("BRAVO"), std::string::npos);
}

TEST_F(Win32ShowEditorTest, RenameResortsUnsavedEditsAreLostDeleteAsksFirst) {
    AddThree();
    frontEnd.QueueAnswer(MessageAnswer::No);
    frontEnd.QueueAnswer(MessageAnswer::Yes);
    Run([](HWND d) {
        SetText(d, 1020, L"99");
        SelectCombo(d, 1012, 2);
        SelectCombo(d, 1012, 0);
        EXPECT_EQ(Text(d, 1020), L"2");  // the edit was never saved

        SetText(d, 1014, L"Zulu");
        Press(d, 1);
        EXPECT_EQ(ComboText(d, 1012, 2), L"Zulu");
        EXPECT_EQ(ComboSelection(d, 1012), 0);
        EXPECT_EQ(Text(d, 1014), L"Bravo");

        Press(d, 1018);  // answered No
        EXPECT_EQ(ComboCount(d, 1012), 3);
        Press(d, 1018);  // answered Yes
        EXPECT_EQ(ComboCount(d, 1012), 2);
        EXPECT_EQ(Text(d, 1014), L"Charlie");
        PostMessageW(d, WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(frontEnd.Messages().size(), 2u);
    EXPECT_EQ(frontEnd.Messages()[0].title, L"Confirmation");
    EXPECT_EQ(frontEnd.Messages()[0].text, L"Are you sure you want to delete this item?");
    ASSERT_EQ(ShowCount(), 2);
    EXPECT_STREQ(GetShow(1)->ShowName, "Zulu");
    EXPECT_EQ(GetShow(1)->Episode, 2);
    // The deletion reaches the file with its next write only.
    EXPECT_NE(sandbox.Read("shows.conf").find("Bravo"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(Win32ShowEditorTest, FindLinksThePickedShowAndKeepAsTypedChangesNothing) {
    SetFindFunctionsForTesting(&FakeFindSearch, &FakeFindFetch);
    ForgetCachedSchedules();
    AddNewShow();
    bool keep = true;
    std::vector<std::wstring> listed;
    auto steps = [&](HWND d) {
        if (Text(d) == L"Find Show") {
            HWND list = GetDlgItem(d, 1040);
            const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t text[256] = {};
                SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
                listed.push_back(text);
            }
            EXPECT_EQ(Text(d, IDCANCEL), L"Keep as typed");
            Press(d, keep ? IDCANCEL : IDOK);
            return;
        }
        EXPECT_EQ(Text(d, 1031), L"") << "an unlinked show has no schedule line";
        SetText(d, 1014, L"silicon \"valley\" & #1");
        Press(d, 1030);
        EXPECT_EQ(Text(d, 1014), L"silicon \"valley\" & #1");
        keep = false;
        Press(d, 1030);
        EXPECT_EQ(Text(d, 1014), L"Silicon Valley");
        EXPECT_EQ(Text(d, 1019), L"1");
        EXPECT_EQ(Text(d, 1020), L"2");
        EXPECT_EQ(Narrow(Text(d, 1031)), FakeFindStatus());
        PostMessageW(d, WM_CLOSE, 0, 0);
    };
    Run(steps);
    EXPECT_EQ(FindFakeAskedName(), "silicon \"valley\" & #1");
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0], L"Silicon Valley (2014), HBO (US), running");
    EXPECT_EQ(listed[1], L"Silicon Valley Rebels, ended");
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 1);
    EXPECT_EQ(GetShowLink(GetShow(0)).tvmazeId, 143);
    SetFindFunctionsForTesting(nullptr, nullptr);
}

}  // namespace
