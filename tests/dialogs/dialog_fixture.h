// Shared set-up of the dialog tests: a sandboxed data folder, empty show and
// seen lists, default settings, and the Qt front end with its message boxes
// answered from a script and recorded.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <deque>
#include <string>
#include <vector>

#include "checkstate.h"
#include "frontend.h"
#include "loader.h"
#include "qtfrontend.h"
#include "sandbox.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"

struct AskedBox {
    std::wstring title, text;
    MessageIcon icon;
    MessageButtons buttons;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetHostPaths(sandbox.Path().c_str());
        SetDefaultSettings();
        ResetCheckState();
        ClearShows();
        {
            MutexHold hold(SeenListLock);
            SeenList.clear();
        }
        SetFrontEnd(&frontEnd);
        QtFrontEnd::SetAnswerer([this](const std::wstring &title, const std::wstring &text,
                                       MessageIcon icon, MessageButtons buttons) {
            asked.push_back({title, text, icon, buttons});
            if (answers.empty())
                return QtFrontEnd::DefaultAnswer(buttons);
            MessageAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }

    void TearDown() override {
        QtFrontEnd::SetAnswerer({});
        SetFrontEnd(nullptr);
        for (int slot : registeredSlots)
            g_pluginSlots[slot] = PluginSlot{};
        ClearShows();
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }

    // Puts a plugin record into the lowest free slot, as the loader does.
    int Register(QLN_PLUGIN *plugin, bool enabled) {
        const int slot = FindPluginSlot(plugin->id);
        EXPECT_GE(slot, 0);
        if (slot < 0)
            return -1;
        g_pluginSlots[slot] = PluginSlot{plugin, nullptr, static_cast<unsigned char>(enabled)};
        registeredSlots.push_back(slot);
        return slot;
    }

    template <typename T>
    static T *Control(QWidget *dialog, int id) {
        T *control = dialog->findChild<T *>(QString::number(id));
        EXPECT_NE(control, nullptr) << "no control " << id;
        return control;
    }

    Sandbox sandbox;
    QtFrontEnd frontEnd;
    std::vector<AskedBox> asked;
    std::deque<MessageAnswer> answers;
    std::vector<int> registeredSlots;
};
