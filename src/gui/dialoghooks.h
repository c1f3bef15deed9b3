// The editing dialogs opened from the main window's menu: settings, show
// editor and seen-list editor. Each runs modally on the window thread while
// the caller holds CheckLock; `owner` is the main window.
#pragma once

class QWidget;

void RunSettingsDialog(QWidget *owner);
void RunShowEditor(QWidget *owner);
void RunSeenListEditor(QWidget *owner);
