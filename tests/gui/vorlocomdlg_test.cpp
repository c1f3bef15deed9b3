#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "file_dialog_cases.h"
#include "sandbox.h"
#include "vorlocomdlg.h"

namespace {

// Closes any dialog that appears, and counts them.
struct DialogCounter {
    int shown = 0;
    QTimer *Arm() {
        return WhenDialogShows<QFileDialog>([this](QFileDialog *dialog) {
            ++shown;
            dialog->reject();
        });
    }
};

void Accept(QFileDialog *dialog, const QString &path) {
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept();  // QFileDialog::accept is protected
}

}  // namespace

TEST(VorloComDlg, BadRequestsFailAtOnceWithoutADialog) {
    DialogCounter counter;
    QTimer *poller = counter.Arm();  // would close a dialog if one were wrongly shown
    ExpectBadRequestsRefused();
    QCoreApplication::processEvents();
    EXPECT_EQ(counter.shown, 0);
    delete poller;
    VorloComDlgInit();  // a second install of the same table is harmless
}

TEST(VorloComDlg, CancelReturnsFalse) {
    DialogCounter counter;
    WideRequest open;
    counter.Arm();
    EXPECT_FALSE(ShowOpenFileW(&open.params));
    WideRequest save;
    counter.Arm();
    EXPECT_FALSE(ShowSaveFileW(&save.params));

    char narrow[64] = "";
    FileDialogParams params{};
    params.file.a = narrow;
    params.fileSize = sizeof narrow;
    params.filter.a = kShowFilterA;
    counter.Arm();
    EXPECT_FALSE(ShowOpenFileA(&params));
    counter.Arm();
    EXPECT_FALSE(ShowSaveFileA(&params));
    EXPECT_EQ(counter.shown, 4);
}

TEST(VorloComDlg, DateModifiedColumnShowsItsTitleAndAWholeDate) {
    for (bool save : {false, true}) {
        WideRequest request;
        int width = 0, needed = 0;
        WhenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
            if (auto *details = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))) {
                const QString date = QLocale::system().toString(
                    QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
                needed = std::max(details->header()->sectionSizeHint(3),
                                  details->fontMetrics().horizontalAdvance(date));
                width = details->header()->sectionSize(3);
            }
            dialog->reject();
        });
        EXPECT_FALSE(save ? ShowSaveFileW(&request.params) : ShowOpenFileW(&request.params));
        EXPECT_GT(needed, 0);
        EXPECT_GE(width, needed) << (save ? "save" : "open");
    }
}

TEST(VorloComDlg, OpenWantsAnExistingFileAndReturnsItsPath) {
    Sandbox box;
    box.Write("shows.qlnshow", "x");
    WideRequest request;
    request.params.filterIndex = 1;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode accept = QFileDialog::AcceptSave;
    QString title, filter;
    WhenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        mode = dialog->fileMode();
        accept = dialog->acceptMode();
        title = dialog->windowTitle();
        filter = dialog->selectedNameFilter();
        Accept(dialog, QString::fromStdString(box.File("shows.qlnshow")));
    });
    ASSERT_TRUE(ShowOpenFileW(&request.params));
    EXPECT_EQ(mode, QFileDialog::ExistingFile);
    EXPECT_EQ(accept, QFileDialog::AcceptOpen);
    EXPECT_EQ(title, QStringLiteral("Select a file..."));
    EXPECT_EQ(filter, QStringLiteral("Quillon Show Files (*.qlnshow)"));
    EXPECT_EQ(request.Result(), QString::fromStdString(box.File("shows.qlnshow")).toStdWString());
}

TEST(VorloComDlg, SaveAsksBeforeOverwritingAndAddsNoExtension) {
    Sandbox box;
    WideRequest request;
    request.params.filterIndex = 2;
    bool confirms = false;
    QString filter;
    WhenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        confirms = dialog->acceptMode() == QFileDialog::AcceptSave &&
                   !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        filter = dialog->selectedNameFilter();
        Accept(dialog, QString::fromStdString(box.File("backup")));
    });
    ASSERT_TRUE(ShowSaveFileW(&request.params));
    EXPECT_TRUE(confirms);
    EXPECT_EQ(filter, QStringLiteral("All Files (*)"));
    EXPECT_EQ(request.Result(), QString::fromStdString(box.File("backup")).toStdWString());
}

TEST(VorloComDlg, NarrowFormReturnsANarrowPath) {
    Sandbox box;
    box.Write("main.qlnconfig", "x");
    char buffer[300];
    std::memset(buffer, 'Z', sizeof buffer);
    std::strcpy(buffer, "main.qlnconfig");
    const std::string folder = box.Path();
    FileDialogParams params{};
    params.file.a = buffer;
    params.fileSize = sizeof buffer;
    params.initialFolder.a = folder.c_str();
    params.filter.a = kShowFilterA;
    QString preselected;
    WhenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
        preselected = dialog->selectedFiles().value(0);
        static_cast<QDialog *>(dialog)->accept();  // QFileDialog::accept is protected
    });
    ASSERT_TRUE(ShowOpenFileA(&params));
    EXPECT_EQ(preselected.toStdString(), box.File("main.qlnconfig"));
    EXPECT_EQ(std::string(buffer), box.File("main.qlnconfig"));
}

TEST(VorloComDlg, APathLongerThanTheBufferIsCutSafelyAndRefused) {
    Sandbox box;
    const int size = 8;
    WideRequest request(size, size + 4);
    MarkBeyondSize(request);
    WhenDialogShows<QFileDialog>(
        [&](QFileDialog *dialog) { Accept(dialog, QString::fromStdString(box.File("long-name"))); });
    EXPECT_FALSE(ShowSaveFileW(&request.params));
    ExpectCutWithinSize(request);

    char narrow[4];
    FileDialogParams params{};
    params.file.a = narrow;
    params.fileSize = 1;  // room for the terminator only
    WhenDialogShows<QFileDialog>(
        [&](QFileDialog *dialog) { Accept(dialog, QString::fromStdString(box.File("x"))); });
    EXPECT_FALSE(ShowSaveFileA(&params));
    EXPECT_EQ(narrow[0], '\0');
}

TEST(VorloComDlg, SaveAsksAboutTheNameWithTheFiltersExtension) {
    Sandbox box;
    box.Write("mine.qlnshow", "old");
    box.Write("plain", "not the file that is written");
    // "mine" is asked about as mine.qlnshow; "No" keeps the dialog open.
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        QString asked;
        WhenDialogShows<QMessageBox>([&](QMessageBox *question) {
            asked = question->text();
            question->button(answer)->click();
        });
        WhenDialogShows<QFileDialog>([&](QFileDialog *dialog) {
            Accept(dialog, QString::fromStdString(box.File("mine")));
            if (dialog->isVisible())
                dialog->reject();
        });
        WideRequest request;
        EXPECT_EQ(ShowSaveFileW(&request.params), answer == QMessageBox::Yes);
        EXPECT_TRUE(asked.startsWith(QStringLiteral("mine.qlnshow already exists.")));
        if (answer == QMessageBox::Yes) {
            EXPECT_EQ(request.Result(), QString::fromStdString(box.File("mine.qlnshow")).toStdWString());
        }
    }
    // An existing file of the typed name is not the one written: no question.
    bool asked = false;
    QPointer<QTimer> guard = WhenDialogShows<QMessageBox>([&](QMessageBox *question) {
        asked = true;
        question->button(QMessageBox::Yes)->click();
    });
    WhenDialogShows<QFileDialog>(
        [&](QFileDialog *dialog) { Accept(dialog, QString::fromStdString(box.File("plain"))); });
    WideRequest request;
    ASSERT_TRUE(ShowSaveFileW(&request.params));
    delete guard.data();
    EXPECT_FALSE(asked);
    EXPECT_EQ(request.Result(), QString::fromStdString(box.File("plain.qlnshow")).toStdWString());
}
