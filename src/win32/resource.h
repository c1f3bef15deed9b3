// Resource ids of the Windows program: the main window's template, its icon
// and menu, and the two lists. The menu's command ids are the MenuCommand
// values of commands.h.
#pragma once

#define IDD_MAIN 101
#define IDI_QUILLON 102
#define IDR_MAINMENU 103
#define IDC_DOWNLOADS 1003
#define IDC_LOG 1004
