// The five exported functions, the same on every system: each checks its
// request and hands it to the dialog through a table of handlers that
// VorloComDlgInit installs (called on first use when the caller did not).
#include "dialogs.h"

#include <atomic>

namespace {

using Handler = bool (*)(FileDialogParams *);

struct HandlerTable {
    Handler openW;
    Handler saveW;
    Handler openA;
    Handler saveA;
};

bool OpenW(FileDialogParams *params) { return vorlocomdlg::ShowWide(params, false); }
bool SaveW(FileDialogParams *params) { return vorlocomdlg::ShowWide(params, true); }
bool OpenA(FileDialogParams *params) { return vorlocomdlg::ShowNarrow(params, false); }
bool SaveA(FileDialogParams *params) { return vorlocomdlg::ShowNarrow(params, true); }

const HandlerTable kHandlers = {OpenW, SaveW, OpenA, SaveA};
std::atomic<const HandlerTable *> g_handlers{nullptr};

const HandlerTable *Handlers() {
    const HandlerTable *table = g_handlers.load();
    if (!table) {
        VorloComDlgInit();
        table = g_handlers.load();
    }
    return table;
}

bool Valid(const FileDialogParams *params) {
    return params && params->file.w && params->fileSize >= 1;
}

}  // namespace

extern "C" {

void VorloComDlgInit(void) { g_handlers.store(&kHandlers); }

bool ShowOpenFileW(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->openW(params);
}

bool ShowSaveFileW(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->saveW(params);
}

bool ShowOpenFileA(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->openA(params);
}

bool ShowSaveFileA(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->saveA(params);
}

}  // extern "C"
