// A started host (StartupBeforeWindow in a sandbox data folder) with the Qt
// front end and an opened main window. Every message box is answered by the
// fixture from a queue of answers and recorded.
#pragma once

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QListWidget>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "checkstate.h"
#include "dialog_driver.h"
#include "lifecycle.h"
#include "log.h"
#include "mainwindow.h"
#include "qtfrontend.h"
#include "sandbox.h"
#include "settings.h"

struct ShownBox {
    std::wstring title, text;
    MessageIcon icon;
    MessageButtons buttons;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetFrontEnd(&frontEnd);
        QtFrontEnd::SetAnswerer([this](const std::wstring &title, const std::wstring &text,
                                       MessageIcon icon, MessageButtons buttons) {
            boxes.push_back({title, text, icon, buttons});
            if (answers.empty())
                return QtFrontEnd::DefaultAnswer(buttons);
            MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        });
        char name[] = "quillon";
        char *argv[] = {name, nullptr};
        ASSERT_EQ(StartupBeforeWindow(1, argv, box.Path().c_str()), -1);
        ClearLogEntries();
        window = std::make_unique<MainWindow>();
        frontEnd.SetWindow(window.get());
        window->Open();
        frontEnd.Flush();
    }

    void TearDown() override {
        frontEnd.Flush();
        frontEnd.SetWindow(nullptr);
        window.reset();
        QtFrontEnd::SetAnswerer(nullptr);
        ExitRelease();
        ResetCheckState();
        SetFrontEnd(nullptr);
    }

    // Chooses the menu command, as a click on the item does.
    void Choose(int id) {
        QAction *action = window->Action(id);
        ASSERT_NE(action, nullptr) << id;
        action->trigger();
        frontEnd.Flush();
    }

    // The next file dialog is answered with `path` (or cancelled when empty).
    QTimer *AnswerFileDialog(const std::string &path) {
        return WhenDialogShows<QFileDialog>([path](QFileDialog *dialog) {
            if (path.empty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(QString::fromStdString(path));
            static_cast<QDialog *>(dialog)->accept();
        });
    }

    std::vector<std::wstring> Entries(LogTarget list) {
        frontEnd.Flush();
        std::vector<std::wstring> out;
        QListWidget *widget = window->List(list);
        for (int i = 0; i < widget->count(); ++i)
            out.push_back(widget->item(i)->text().toStdWString());
        return out;
    }

    Sandbox box;
    QtFrontEnd frontEnd;
    std::unique_ptr<MainWindow> window;
    std::vector<ShownBox> boxes;
    std::deque<MessageAnswer> answers;
};
