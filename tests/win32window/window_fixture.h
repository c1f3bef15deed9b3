// A started host (StartupBeforeWindow in a sandbox data folder) with the
// Win32 front end and an opened main window. Message boxes are answered from
// a queue and recorded; the notification area is a recording stand-in.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "checkstate.h"
#include "lifecycle.h"
#include "log.h"
#include "mainwindow.h"
#include "sandbox.h"
#include "settings.h"
#include "win32frontend.h"

struct ShownBox {
    std::wstring title, text;
    MessageIcon icon;
    MessageButtons buttons;
};

struct TrayCallRecord {
    DWORD message;
    UINT flags;
    std::wstring info, infoTitle, tip;
    DWORD infoFlags;
};

// What the stand-in notification area was told, and the answers it gives.
struct FakeTray {
    std::vector<TrayCallRecord> calls;
    int failModify = 0;  // this many NIM_MODIFY calls fail
    bool failAdd = false;
    bool shown = false;
};
extern FakeTray g_tray;

class Win32WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Dispatches what the window thread has waiting, as its loop would.
    void Pump() { DispatchWaitingMessages(window->Handle()); }
    // Chooses the menu command, as a click on the item does (posted).
    void Choose(int id) {
        PostMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        Pump();
    }
    std::vector<std::wstring> Entries(LogTarget list);
    std::wstring StatusText(int part);
    bool StopScanEnabled();

    Sandbox box;
    Win32FrontEnd frontEnd;
    std::unique_ptr<MainWindow> window;
    std::vector<ShownBox> boxes;
    std::deque<MessageAnswer> answers;
};
