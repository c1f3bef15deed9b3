// The system's half of the file dialog library: shows one open or save
// dialog for a request the exported functions have checked (buffer present,
// size at least 1), in the wide or the narrow form of FileDialogParams.
#pragma once

#include "vorlocomdlg.h"

namespace vorlocomdlg {

bool ShowWide(FileDialogParams *params, bool save);
bool ShowNarrow(FileDialogParams *params, bool save);

}  // namespace vorlocomdlg
