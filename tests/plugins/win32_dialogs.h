// Driving the plugins' Win32 settings dialogs from a test (Windows, under
// Wine): the test queues what to do with the next dialog, then opens it; the
// action runs inside the dialog's own modal loop (from a thread timer), sets
// controls through their ids and presses buttons by posting their commands.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Runs `act` once the next dialog box of this thread (a message box counts)
// is shown and enabled, with that dialog's window. Actions run in the order
// queued, except that those an action queues run before the ones queued
// earlier (they are for the boxes that action opens).
void OnNextDialog(std::function<void(HWND)> act);

std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring &text);
bool IsChecked(HWND dialog, int id);
LONG_PTR ControlStyle(HWND dialog, int id);
// Posts the button's BN_CLICKED command to the dialog, as a click does.
void Press(HWND dialog, int id);
// Where the control sits in the dialog's client area ("x,y WxH", pixels),
// and where a rectangle in dialog units lies there (as the dialog manager
// converts units for the dialog's font): equal for a control placed so.
std::string Placement(HWND dialog, int id);
std::string UnitsRect(HWND dialog, int x, int y, int width, int height);
// The text of the static control of a message box (its message).
std::string MessageText(HWND box);
