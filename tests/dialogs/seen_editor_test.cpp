#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include <ctime>
#include <string>

#include "EditSeenWindow.h"
#include "dialog_fixture.h"

namespace {

const int64_t kDay = 86400;

class SeenEditorTest : public DialogTest {
protected:
    static int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }
    void Seen(const std::string &key, int64_t when) {
        MutexHold hold(SeenListLock);
        SeenList[key] = when;
    }
    static bool Has(const std::string &key) {
        MutexHold hold(SeenListLock);
        return SeenList.count(key) != 0;
    }
    static size_t Count() {
        MutexHold hold(SeenListLock);
        return SeenList.size();
    }
    static QTreeWidget *List(EditSeenWindow &w) { return Control<QTreeWidget>(&w, 1026); }
    static QStringList Rows(EditSeenWindow &w) {
        QStringList rows;
        for (int i = 0; i < List(w)->topLevelItemCount(); ++i)
            rows << List(w)->topLevelItem(i)->text(0);
        return rows;
    }
};

TEST_F(SeenEditorTest, ListsEveryEntrySortedWithItsLocalTime) {
    const int64_t when = 315626635;  // 1980-01-02
    Seen("show.s01e02.720p", when);
    Seen("Another.Show.S02E01", when + 60);
    Seen("a.show.s01e01", when + 120);

    EditSeenWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Dialog"));
    QTreeWidget *list = List(w);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Seen Item"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Time"));
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(Rows(w), QStringList({QStringLiteral("a.show.s01e01"),
                                    QStringLiteral("Another.Show.S02E01"),
                                    QStringLiteral("show.s01e02.720p")}));

    const time_t seconds = static_cast<time_t>(when);
    char expected[64];
    ASSERT_NE(ctime_r(&seconds, expected), nullptr);
    std::string text(expected);
    text.erase(text.find_last_not_of("\r\n\t ") + 1);
    EXPECT_EQ(list->topLevelItem(2)->text(1).toStdString(), text);
    EXPECT_FALSE(list->topLevelItem(2)->text(1).endsWith(QLatin1Char('\n')));
}

TEST_F(SeenEditorTest, EmptyListDeletesNothing) {
    EditSeenWindow w;
    EXPECT_EQ(List(w)->topLevelItemCount(), 0);
    Control<QPushButton>(&w, 1025)->click();
    EXPECT_EQ(Count(), 0u);
}

TEST_F(SeenEditorTest, DeleteKeyErasesEverySelectedRowAndItsEntry) {
    const int64_t now = Now();
    for (const char *key : {"one", "two", "three", "four", "five"})
        Seen(key, now);
    ASSERT_TRUE(SaveSeen());
    const std::string before = sandbox.Read("seen.conf");

    EditSeenWindow w;
    w.show();
    QTreeWidget *list = List(w);
    for (int i : {0, 2, 4})  // five, one, two (in name order: five four one three two)
        list->topLevelItem(i)->setSelected(true);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Rows(w), QStringList({QStringLiteral("four"), QStringLiteral("three")}));
    EXPECT_EQ(Count(), 2u);
    EXPECT_TRUE(Has("four"));
    EXPECT_TRUE(Has("three"));
    EXPECT_FALSE(Has("one"));
    EXPECT_EQ(sandbox.Read("seen.conf"), before);  // erased in memory only, until a save

    list->topLevelItem(1)->setSelected(true);
    Control<QPushButton>(&w, 1025)->click();
    EXPECT_EQ(Rows(w), QStringList({QStringLiteral("four")}));
    EXPECT_FALSE(Has("three"));
}

TEST_F(SeenEditorTest, RowWhoseEntryIsGoneIsJustRemoved) {
    Seen("kept", Now());
    Seen("vanished", Now());
    EditSeenWindow w;
    {
        MutexHold hold(SeenListLock);
        SeenList.erase("vanished");
    }
    List(w)->topLevelItem(1)->setSelected(true);
    Control<QPushButton>(&w, 1025)->click();
    EXPECT_EQ(Rows(w), QStringList({QStringLiteral("kept")}));
    EXPECT_TRUE(Has("kept"));
}

TEST_F(SeenEditorTest, NameThatIsNotTextIsStillErasedByItsKey) {
    const std::string odd = std::string("bad\xff\xfe") + "name";
    Seen(odd, Now());
    EditSeenWindow w;
    List(w)->topLevelItem(0)->setSelected(true);
    Control<QPushButton>(&w, 1025)->click();
    EXPECT_FALSE(Has(odd));
}

TEST_F(SeenEditorTest, CloseSavesAndDropsExpiredEntries) {
    const int64_t now = Now();
    Seen("old.release", now - 61 * kDay);
    Seen("new.release", now - kDay);
    EditSeenWindow w;
    EXPECT_TRUE(Rows(w).contains(QStringLiteral("old.release")));
    Control<QPushButton>(&w, 1)->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_FALSE(Has("old.release"));
    EXPECT_TRUE(Has("new.release"));
    const std::string saved = sandbox.Read("seen.conf");
    EXPECT_EQ(saved.find("old.release"), std::string::npos);
    EXPECT_NE(saved.find("new.release="), std::string::npos);
}

TEST_F(SeenEditorTest, CloseBoxKeepsTheFileButNotTheEntries) {
    const int64_t now = Now();
    Seen("first", now);
    Seen("second", now);
    ASSERT_TRUE(SaveSeen());
    const std::string before = sandbox.Read("seen.conf");

    EditSeenWindow w;
    w.show();
    List(w)->topLevelItem(0)->setSelected(true);
    Control<QPushButton>(&w, 1025)->click();
    w.close();
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_FALSE(Has("first"));
    EXPECT_EQ(sandbox.Read("seen.conf"), before);
}

}  // namespace

namespace {

TEST_F(SeenEditorTest, ColumnsFitBesideTheScrollBarAndLongNamesHaveATip) {
    const QString longName = QStringLiteral("Long.Show.") + QString(200, QChar('x'));
    Seen(longName.toStdString(), Now());
    for (int i = 0; i < 60; ++i)  // enough rows for a vertical scroll bar
        Seen("show.s01e" + std::to_string(10 + i), Now());
    EditSeenWindow w;
    w.show();
    QApplication::processEvents();
    QTreeWidget *list = List(w);
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->topLevelItem(0)->toolTip(0), longName);
    EXPECT_TRUE(list->topLevelItem(1)->toolTip(0).isEmpty());
    list->setColumnWidth(0, list->fontMetrics().horizontalAdvance(longName) + 40);
    EXPECT_TRUE(list->topLevelItem(0)->toolTip(0).isEmpty());  // widened until it fits
}

}  // namespace
