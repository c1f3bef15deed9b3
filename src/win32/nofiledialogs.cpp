// Builds without the file dialog library (vorlocomdlg.dll): the import and
// export commands find no file to use and end as if cancelled.
#include "vorlocomdlg.h"

extern "C" {
void VorloComDlgInit(void) {}
bool ShowOpenFileW(FileDialogParams *) { return false; }
bool ShowSaveFileW(FileDialogParams *) { return false; }
bool ShowOpenFileA(FileDialogParams *) { return false; }
bool ShowSaveFileA(FileDialogParams *) { return false; }
}
