// Shared set-up of the Win32 dialog tests: a sandboxed data folder, empty
// show and seen lists, default settings, a recording front end that answers
// message boxes from a script, and the driver that runs a test's steps inside
// an open dialog.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "frontend.h"
#include "loader.h"
#include "sandbox.h"

class Win32DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Runs `open` (one of the Run... calls) with `steps` called once the
    // dialog is up; the steps end the dialog by posting a command. Should they
    // not (a failed assertion), the dialog is closed after them.
    template <typename Open>
    static auto Drive(Open open, const std::function<void(HWND)> &steps) -> decltype(open()) {
        bool ran = false;
        Arm([&ran, &steps](HWND dialog) {
            ran = true;
            steps(dialog);
        });
        struct Disarm {
            bool &ran;
            ~Disarm() {
                Win32DialogTest::Arm({});
                EXPECT_TRUE(ran) << "the dialog did not open (without an X display the Wine prefix "
                                    "needs HKCU\\Software\\Wine\\Drivers Graphics=null)";
            }
        } disarm{ran};
        return open();
    }
    static void Arm(const std::function<void(HWND)> &steps);

    // Puts a plugin record into the lowest free slot, as the loader does.
    int Register(QLN_PLUGIN *plugin, bool enabled);

    Sandbox sandbox;
    RecordingFrontEnd frontEnd;
    std::vector<int> registeredSlots;
};

// Controls.
std::wstring Text(HWND dialog, int id = 0);  // id 0: the dialog's title
void SetText(HWND dialog, int id, const std::wstring &text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
bool IsEnabled(HWND dialog, int id);
// A button press as the button reports it, sent (the dialog goes on) or
// posted (for the button that ends it).
void Press(HWND dialog, int id);
void PostPress(HWND dialog, int id);
// List views: a row's text, the rows' first column, row selection, and a
// click at a row (or, with row -1, below the last one) as NM_CLICK/NM_DBLCLK.
std::wstring RowText(HWND list, int row, int column);
std::vector<std::wstring> Rows(HWND list);
void SelectRow(HWND list, int row);
void ClickRow(HWND dialog, int listId, int row, bool twice = false);
// Drop-down lists.
int ComboCount(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);
std::wstring ComboText(HWND dialog, int id, int index);
void SelectCombo(HWND dialog, int id, int index);
