#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <limits.h>
#include <clocale>
#include <sys/stat.h>

#include <filesystem>

#include "commands.h"
#include "gui_fixture.h"
#include "showlist.h"

namespace fs = std::filesystem;

namespace {

void AddNamedShow(const char *name) {
    Show *show = NewShow();
    std::snprintf(show->ShowName, sizeof show->ShowName, "%s", name);
    show->Season = 1;
    show->Episode = 1;
    AddShow(show);
}

std::vector<std::string> ShowNames() {
    std::vector<std::string> names;
    for (int i = 0; i < ShowCount(); ++i)
        names.push_back(GetShow(i)->ShowName);
    return names;
}

size_t FilesIn(const std::string &folder) {
    std::error_code ec;
    size_t n = 0;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); ++it)
        ++n;
    return n;
}

}  // namespace

TEST(ExtensionRule, AppendedUnlessThePathEndsWithItInAnyCase) {
    EXPECT_EQ(WithExtension("/a/shows", ".qlnshow"), "/a/shows.qlnshow");
    EXPECT_EQ(WithExtension("/a/shows.qlnshow", ".qlnshow"), "/a/shows.qlnshow");
    EXPECT_EQ(WithExtension("/a/SHOWS.QlnShow", ".qlnshow"), "/a/SHOWS.QlnShow");
    EXPECT_EQ(WithExtension("/a/shows.qlnshow.old", ".qlnshow"), "/a/shows.qlnshow.old.qlnshow");
    EXPECT_EQ(WithExtension("/a.qlnshow/shows", ".qlnshow"), "/a.qlnshow/shows.qlnshow");
    EXPECT_EQ(WithExtension("/a/main.QLNCONFIG", ".qlnconfig"), "/a/main.QLNCONFIG");
    EXPECT_EQ(WithExtension("/a/main.conf", ".qlnconfig"), "/a/main.conf.qlnconfig");
}

TEST_F(WindowTest, ExportsAppendOrKeepTheExtension) {
    AddNamedShow("Alpha");
    AddNamedShow("Beta");
    AnswerFileDialog(box.File("plain"));
    Choose(IDM_EXPORT_SHOWS);
    EXPECT_TRUE(box.Exists("plain.qlnshow"));
    EXPECT_FALSE(box.Exists("plain"));

    AnswerFileDialog(box.File("Mixed.QLNShow"));
    Choose(IDM_EXPORT_SHOWS);
    EXPECT_TRUE(box.Exists("Mixed.QLNShow"));
    EXPECT_FALSE(box.Exists("Mixed.QLNShow.qlnshow"));
    EXPECT_EQ(box.Read("plain.qlnshow"), box.Read("Mixed.QLNShow"));
    EXPECT_NE(box.Read("plain.qlnshow").find("Beta"), std::string::npos);

    g_settings.SecondsBetweenScans = 1234;
    AnswerFileDialog(box.File("mine"));
    Choose(IDM_EXPORT_SETTINGS);
    EXPECT_NE(box.Read("mine.qlnconfig").find("1234"), std::string::npos);
    AnswerFileDialog(box.File("again.QlnConfig"));
    Choose(IDM_EXPORT_SETTINGS);
    EXPECT_TRUE(box.Exists("again.QlnConfig"));
    EXPECT_TRUE(boxes.empty());
    // Each export names the file it wrote in the Log.
    const std::vector<std::wstring> log = Entries(LogTarget::Log);
    const auto logged = [&log](const std::string &text) {
        const std::wstring wide(text.begin(), text.end());
        for (const std::wstring &line : log)
            if (line.size() >= wide.size() && line.compare(line.size() - wide.size(), wide.size(), wide) == 0)
                return true;
        return false;
    };
    EXPECT_TRUE(logged("Shows exported to " + box.File("plain.qlnshow")));
    EXPECT_TRUE(logged("Shows exported to " + box.File("Mixed.QLNShow")));
    EXPECT_TRUE(logged("Settings exported to " + box.File("mine.qlnconfig")));
    EXPECT_TRUE(logged("Settings exported to " + box.File("again.QlnConfig")));

    // Cancelled: nothing written, nothing said.
    AnswerFileDialog("");
    Choose(IDM_EXPORT_SHOWS);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, AShowExportThatCannotBeWrittenSaysSo) {
    AddNamedShow("Alpha");
    AnswerFileDialog(box.File("missing-folder/shows"));
    Choose(IDM_EXPORT_SHOWS);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Notice");
    EXPECT_EQ(boxes[0].text, L"Error exporting shows!");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
    for (const std::wstring &line : Entries(LogTarget::Log))
        EXPECT_EQ(line.find(L"exported"), std::wstring::npos) << "a failed export is not logged";
}

TEST_F(WindowTest, ImportShowsAnsweredNoChangesNothing) {
    AddNamedShow("Keep Me");
    ASSERT_TRUE(SaveShows());
    const std::string before = ReadFileBytes(g_paths.ShowsConf);
    const size_t backups = FilesIn(g_paths.BackupFolder);
    box.Write("other.qlnshow", ReadFileBytes(g_paths.ShowsConf));

    answers.push_back(MessageAnswer::No);
    AnswerFileDialog(box.File("other.qlnshow"));
    Choose(IDM_IMPORT_SHOWS);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Import Shows");
    EXPECT_EQ(boxes[0].text,
              L"Warning: This will erase all of your existing shows, are you sure you want to continue?");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Question);
    EXPECT_EQ(boxes[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ShowNames(), std::vector<std::string>{"Keep Me"});
    EXPECT_EQ(ReadFileBytes(g_paths.ShowsConf), before);
    EXPECT_EQ(FilesIn(g_paths.BackupFolder), backups);
}

TEST_F(WindowTest, ImportShowsAnsweredYesReplacesTheListAfterABackup) {
    AddNamedShow("Old One");
    ASSERT_TRUE(SaveShows());
    ClearShows();
    AddNamedShow("New One");
    AddNamedShow("New Two");
    ASSERT_TRUE(SaveShows(box.File("import.qlnshow").c_str()));
    ClearShows();
    ASSERT_TRUE(LoadShows());
    const size_t backups = FilesIn(g_paths.BackupFolder);

    answers.push_back(MessageAnswer::Yes);
    AnswerFileDialog(box.File("import.qlnshow"));
    Choose(IDM_IMPORT_SHOWS);
    EXPECT_EQ(ShowNames(), (std::vector<std::string>{"New One", "New Two"}));
    EXPECT_NE(ReadFileBytes(g_paths.ShowsConf).find("New Two"), std::string::npos);
    EXPECT_GT(FilesIn(g_paths.BackupFolder), backups);
}

TEST_F(WindowTest, ImportSettingsMergesTheFileIntoTheCurrentSettings) {
    g_settings.minimizeToTray = 0;
    box.Write("in.qlnconfig", "Quill {\n\tminimizeToTray 1\n\tSecondsBetweenScans 600\n};\n");
    const std::string nzbFolder = g_settings.NZB_Folder;
    AnswerFileDialog(box.File("in.qlnconfig"));
    Choose(IDM_IMPORT_SETTINGS);
    EXPECT_EQ(g_settings.minimizeToTray, 1);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 600);
    EXPECT_EQ(std::string(g_settings.NZB_Folder), nzbFolder);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, EveryCommandThatWaitsForAPassShowsItsNotice) {
    {
        MutexHold hold(CheckLock);
        checking = true;
    }
    int dialogs = 0;
    QTimer *poller = WhenDialogShows<QFileDialog>([&dialogs](QFileDialog *dialog) {
        ++dialogs;
        dialog->reject();
    });
    const struct {
        int id;
        const wchar_t *notice;
    } commands[] = {
        {IDM_SETTINGS, L"Please wait until the current scan is complete before opening the settings..."},
        {IDM_EDIT_SHOWS, L"Please wait until the current scan is complete before opening the item editor..."},
        {IDM_EDIT_SEEN, L"Please wait until the current scan is complete before editing the seen list..."},
        {IDM_IMPORT_SHOWS, L"Please wait until the current scan is complete before doing this function..."},
        {IDM_IMPORT_SETTINGS, L"Please wait until the current scan is complete before doing this function..."},
        {IDM_EXPORT_SHOWS, L"Please wait until the current scan is complete before doing this function..."},
        {IDM_EXPORT_SETTINGS, L"Please wait until the current scan is complete before doing this function..."},
    };
    for (const auto &command : commands) {
        boxes.clear();
        Choose(command.id);
        ASSERT_EQ(boxes.size(), 1u) << command.id;
        EXPECT_EQ(boxes[0].title, L"Notice");
        EXPECT_EQ(boxes[0].text, command.notice) << command.id;
        EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
        EXPECT_EQ(boxes[0].buttons, MessageButtons::Ok);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs, 0);
    delete poller;
    checking = false;
    // CheckLock is free again for the check thread.
    EXPECT_TRUE(CheckLock.TryLock(0));
    CheckLock.Unlock();
}

TEST_F(WindowTest, APathTooLongForTheBufferIsReportedNotTakenForACancel) {
    // Real folders, so the dialog accepts the place; with the file name the
    // path passes PATH_MAX.
    std::string folder = box.Path();
    while (folder.size() < PATH_MAX - 245) {
        folder += std::string(200, 'd') + "/";
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    AnswerFileDialog(folder + std::string(PATH_MAX + 10 - folder.size(), 'f'));
    Choose(IDM_EXPORT_SHOWS);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kNoticePathTooLong));
    AnswerFileDialog(folder + "s");  // longer than 260, within the limit
    Choose(IDM_EXPORT_SHOWS);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(fs::exists(folder + "s.qlnshow"));
}

TEST_F(WindowTest, EnterOnTheEraseQuestionKeepsTheShows) {
    AddNamedShow("Keep Me");
    box.Write("other.qlnshow", "");
    QtFrontEnd::SetAnswerer(nullptr);  // the real box, answered with Enter
    WhenDialogShows<QMessageBox>([](QMessageBox *question) {
        EXPECT_EQ(question->defaultButton(), question->button(QMessageBox::No));
        QTest::keyClick(question, Qt::Key_Return);
    });
    AnswerFileDialog(box.File("other.qlnshow"));
    Choose(IDM_IMPORT_SHOWS);
    EXPECT_EQ(ShowNames(), std::vector<std::string>{"Keep Me"});
}

TEST_F(WindowTest, APathTheLocaleCannotHoldIsReportedNotWrittenElsewhere) {
    AddNamedShow("Alpha");
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");  // plain ASCII: no "é"
    AnswerFileDialog(box.File("s\xC3\xA9ries"));
    Choose(IDM_EXPORT_SHOWS);
    std::setlocale(LC_CTYPE, locale.c_str());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kNoticePathNotConvertible));
    EXPECT_FALSE(fs::exists("ERROR in wcstombs.qlnshow"));
}
