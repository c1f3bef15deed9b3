#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstring>
#include <ctime>
#include <string>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "EditItems.h"
#include "dialog_fixture.h"
#include "find_fakes.h"

namespace {

class ShowEditorTest : public DialogTest {
protected:
    Show *Add(const char *name, int season = 1, int episode = 1) {
        Show *show = NewShow();
        std::strcpy(show->ShowName, name);
        show->Season = season;
        show->Episode = episode;
        AddShow(show);
        return show;
    }
    void AddThree() {
        Add("Alpha", 1, 2);
        Add("Bravo", 3, 5);
        Add("Charlie", 2, 9);
    }

    static QComboBox *List(EditItems &w) { return Control<QComboBox>(&w, 1012); }
    static QLineEdit *Edit(EditItems &w, int id) { return Control<QLineEdit>(&w, id); }
    static QCheckBox *Check(EditItems &w, int id) { return Control<QCheckBox>(&w, id); }
    static void Click(EditItems &w, int id) { Control<QPushButton>(&w, id)->click(); }
};

TEST_F(ShowEditorTest, EmptyListOpensEmptyAndSaveDoesNothing) {
    EditItems w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Edit Shows"));
    EXPECT_EQ(List(w)->count(), 0);
    for (int id : {1014, 1008, 1019, 1020})
        EXPECT_TRUE(Edit(w, id)->text().isEmpty()) << id;
    Edit(w, 1014)->setText(QStringLiteral("Typed"));
    Click(w, 1);
    Click(w, 1018);
    EXPECT_EQ(ShowCount(), 0);
    EXPECT_TRUE(asked.empty());
    EXPECT_FALSE(sandbox.Exists("shows.conf"));
    EXPECT_FALSE(Control<QPushButton>(&w, 1)->isDefault());
}

TEST_F(ShowEditorTest, OpensOnTheFirstShow) {
    AddThree();
    Show *alpha = GetShow(0);
    std::strcpy(alpha->Keywords, "720p x264");
    alpha->Skip = 1;
    alpha->Pause = 1;
    EditItems w;
    ASSERT_EQ(List(w)->count(), 3);
    EXPECT_EQ(List(w)->itemText(2), QStringLiteral("Charlie"));
    EXPECT_EQ(List(w)->currentIndex(), 0);
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("Alpha"));
    EXPECT_EQ(Edit(w, 1008)->text(), QStringLiteral("720p x264"));
    EXPECT_EQ(Edit(w, 1019)->text(), QStringLiteral("1"));
    EXPECT_EQ(Edit(w, 1020)->text(), QStringLiteral("2"));
    EXPECT_TRUE(Check(w, 1016)->isChecked());
    EXPECT_FALSE(Check(w, 1023)->isChecked());
    EXPECT_FALSE(Check(w, 1024)->isChecked());
    EXPECT_TRUE(Check(w, 1025)->isChecked());
}

TEST_F(ShowEditorTest, AddNewAppendsSelectsAndDoesNotSave) {
    AddThree();
    EditItems w;
    Click(w, 1013);
    ASSERT_EQ(ShowCount(), 4);
    EXPECT_STREQ(GetShow(3)->ShowName, "New Item");
    EXPECT_EQ(List(w)->count(), 4);
    EXPECT_EQ(List(w)->currentIndex(), 3);
    EXPECT_EQ(List(w)->currentText(), QStringLiteral("New Item"));
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("New Item"));
    EXPECT_EQ(Edit(w, 1019)->text(), QStringLiteral("0"));
    EXPECT_EQ(Edit(w, 1020)->text(), QStringLiteral("0"));
    EXPECT_FALSE(sandbox.Exists("shows.conf"));
}

TEST_F(ShowEditorTest, SaveKeepsSeasonAndEpisodeUnlessAboveZero) {
    AddThree();
    EditItems w;
    List(w)->setCurrentIndex(1);  // Bravo, 3x05
    Edit(w, 1019)->setText(QStringLiteral("0"));
    Edit(w, 1020)->clear();
    Click(w, 1);
    EXPECT_EQ(GetShow(1)->Season, 3);
    EXPECT_EQ(GetShow(1)->Episode, 5);
    Edit(w, 1019)->setText(QStringLiteral("4"));
    Edit(w, 1020)->setText(QStringLiteral("99999999999"));  // not a number the show can hold
    Click(w, 1);
    EXPECT_EQ(GetShow(1)->Season, 4);
    EXPECT_EQ(GetShow(1)->Episode, 5);
    EXPECT_TRUE(sandbox.Exists("shows.conf"));
}

TEST_F(ShowEditorTest, SaveTakesKeywordsAndOptionsClearingSkipMakesTheShowDue) {
    AddThree();
    const int64_t later = static_cast<int64_t>(std::time(nullptr)) + 3 * 86400;
    GetShow(0)->Skip = 1;
    GetShow(0)->NextSearch = later;
    std::strcpy(GetShow(0)->Keywords, "old words");
    EditItems w;

    Check(w, 1023)->setChecked(true);
    Check(w, 1025)->setChecked(true);
    Click(w, 1);  // Skip still set: the wait stays
    EXPECT_EQ(GetShow(0)->NextSearch, later);
    EXPECT_EQ(GetShow(0)->HD_Only, 1);
    EXPECT_EQ(GetShow(0)->Pause, 1);

    Check(w, 1016)->setChecked(false);
    Edit(w, 1008)->clear();  // empty keywords are taken too
    Click(w, 1);
    const Show *show = GetShow(0);
    EXPECT_EQ(show->Skip, 0);
    EXPECT_EQ(show->NextSearch, 0);
    EXPECT_STREQ(show->Keywords, "");

    Edit(w, 1008)->setText(QString(300, QLatin1Char('k')));
    Click(w, 1);
    EXPECT_EQ(std::strlen(GetShow(0)->Keywords), 255u);
    const std::string saved = sandbox.Read("shows.conf");
    EXPECT_NE(saved.find("Alpha"), std::string::npos);
    EXPECT_EQ(saved.find("NextSearch"), std::string::npos);
}

TEST_F(ShowEditorTest, EmptyNameKeepsTheName) {
    AddThree();
    EditItems w;
    Edit(w, 1014)->clear();
    Click(w, 1);
    EXPECT_STREQ(GetShow(0)->ShowName, "Alpha");
    EXPECT_EQ(List(w)->itemText(0), QStringLiteral("Alpha"));
}

TEST_F(ShowEditorTest, CaseOnlyRenameKeepsOrderAndSelection) {
    AddThree();
    EditItems w;
    List(w)->setCurrentIndex(1);
    Edit(w, 1014)->setText(QStringLiteral("BRAVO"));
    Click(w, 1);
    EXPECT_EQ(List(w)->currentIndex(), 1);
    EXPECT_STREQ(GetShow(1)->ShowName, "BRAVO");
    EXPECT_EQ(List(w)->itemText(1), QStringLiteral("BRAVO"));
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("BRAVO"));
}

TEST_F(ShowEditorTest, RenameThatSortsElsewhereReSortsAndSelectsTheFirst) {
    AddThree();
    EditItems w;
    Edit(w, 1014)->setText(QStringLiteral("Zulu"));
    Edit(w, 1019)->setText(QStringLiteral("7"));
    Click(w, 1);
    ASSERT_EQ(ShowCount(), 3);
    EXPECT_STREQ(GetShow(0)->ShowName, "Bravo");
    EXPECT_STREQ(GetShow(2)->ShowName, "Zulu");
    EXPECT_EQ(GetShow(2)->Season, 7);
    EXPECT_EQ(List(w)->itemText(2), QStringLiteral("Zulu"));
    EXPECT_EQ(List(w)->currentIndex(), 0);
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("Bravo"));
    EXPECT_EQ(Edit(w, 1019)->text(), QStringLiteral("3"));
    // The file holds the name; its order is the list's at the time of saving.
    EXPECT_NE(sandbox.Read("shows.conf").find("Zulu"), std::string::npos);
}

TEST_F(ShowEditorTest, ChangingTheSelectionDiscardsUnsavedEdits) {
    AddThree();
    EditItems w;
    Edit(w, 1014)->setText(QStringLiteral("Edited"));
    Edit(w, 1008)->setText(QStringLiteral("words"));
    Edit(w, 1019)->setText(QStringLiteral("8"));
    Check(w, 1023)->setChecked(true);
    List(w)->setCurrentIndex(2);
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("Charlie"));
    List(w)->setCurrentIndex(0);
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("Alpha"));
    EXPECT_TRUE(Edit(w, 1008)->text().isEmpty());
    EXPECT_EQ(Edit(w, 1019)->text(), QStringLiteral("1"));
    EXPECT_FALSE(Check(w, 1023)->isChecked());
    EXPECT_STREQ(GetShow(0)->ShowName, "Alpha");
    EXPECT_EQ(GetShow(0)->HD_Only, 0);
    EXPECT_FALSE(sandbox.Exists("shows.conf"));
}

TEST_F(ShowEditorTest, DeleteAsksFirstAndLeavesTheFileAlone) {
    AddThree();
    EditItems w;
    List(w)->setCurrentIndex(1);
    answers.push_back(MessageAnswer::No);
    Click(w, 1018);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, L"Confirmation");
    EXPECT_EQ(asked[0].text, L"Are you sure you want to delete this item?");
    EXPECT_EQ(asked[0].icon, MessageIcon::Question);
    EXPECT_EQ(asked[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ShowCount(), 3);

    answers.push_back(MessageAnswer::Yes);
    Click(w, 1018);
    ASSERT_EQ(ShowCount(), 2);
    EXPECT_STREQ(GetShow(1)->ShowName, "Charlie");
    EXPECT_EQ(List(w)->count(), 2);
    EXPECT_EQ(List(w)->currentIndex(), 0);
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("Alpha"));
    EXPECT_FALSE(sandbox.Exists("shows.conf"));

    answers.push_back(MessageAnswer::Yes);
    Click(w, 1018);
    answers.push_back(MessageAnswer::Yes);
    Click(w, 1018);
    EXPECT_EQ(ShowCount(), 0);
    EXPECT_TRUE(Edit(w, 1014)->text().isEmpty());  // nothing left to show
}

}  // namespace

namespace {

TEST_F(ShowEditorTest, EnterSavesChangesAndEscapeCloses) {
    AddThree();
    EditItems w;
    w.show();
    Edit(w, 1019)->setText(QStringLiteral("4"));
    QTest::keyClick(Edit(w, 1019), Qt::Key_Return);
    EXPECT_EQ(GetShow(0)->Season, 4);
    EXPECT_TRUE(w.isVisible());
    Control<QPushButton>(&w, 1013)->setFocus();  // a focused button is the one Enter presses
    QTest::keyClick(Control<QPushButton>(&w, 1013), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(ShowCount(), 4);
    QTest::keyClick(Edit(w, 1008), Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
}

}  // namespace

namespace {

// Waits for the Find pick list to be up, then runs `choose` on it.
void WhenPickListShows(std::function<void(QDialog *)> choose) {
    QTimer::singleShot(10, [choose] {
        auto *pick = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!pick || pick->objectName() != QStringLiteral("FindShow")) {
            WhenPickListShows(choose);
            return;
        }
        choose(pick);
    });
}

TEST_F(ShowEditorTest, FindLinksThePickedShowAndKeepAsTypedChangesNothing) {
    SetFindFunctionsForTesting(&FakeFindSearch, &FakeFindFetch);
    ForgetCachedSchedules();
    AddNewShow();  // "New Item", season 0 episode 0
    EditItems w;
    EXPECT_EQ(Control<QLabel>(&w, 1031)->text(), QString()) << "an unlinked show has no schedule line";

    // Keep as typed: nothing changes.
    Edit(w, 1014)->setText(QStringLiteral("silicon \"valley\" & #1"));
    QStringList listed;
    WhenPickListShows([&listed](QDialog *pick) {
        auto *list = pick->findChild<QListWidget *>(QStringLiteral("matches"));
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text();
        pick->findChild<QPushButton *>(QStringLiteral("keep"))->click();
    });
    Click(w, 1030);
    EXPECT_EQ(FindFakeAskedName(), "silicon \"valley\" & #1");
    EXPECT_EQ(listed, (QStringList{QStringLiteral("Silicon Valley (2014), HBO (US), running"),
                                   QStringLiteral("Silicon Valley Rebels, ended")}));
    EXPECT_FALSE(GetShowLink(GetShow(0)).Linked());
    EXPECT_STREQ(GetShow(0)->ShowName, "New Item");

    // Picking the best match: name, link and the next episode offered; the
    // link survives saving and loading.
    WhenPickListShows([](QDialog *pick) { pick->findChild<QPushButton *>(QStringLiteral("link"))->click(); });
    Click(w, 1030);
    EXPECT_EQ(Edit(w, 1014)->text(), QStringLiteral("Silicon Valley"));
    EXPECT_EQ(Edit(w, 1019)->text(), QStringLiteral("1"));
    EXPECT_EQ(Edit(w, 1020)->text(), QStringLiteral("2"));
    EXPECT_EQ(Control<QLabel>(&w, 1031)->text().toStdString(), FakeFindStatus());
    EXPECT_EQ(0u, Control<QLabel>(&w, 1031)->text().toStdString().find("S01E02 airs "));
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 1);
    EXPECT_EQ(GetShowLink(GetShow(0)).tvmazeId, 143);
    EXPECT_EQ(GetShowLink(GetShow(0)).imdbId, "tt2575988");
    SetFindFunctionsForTesting(nullptr, nullptr);
}

}  // namespace
