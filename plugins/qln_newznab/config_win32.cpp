// The Newznab/Torznab indexer settings dialog on Windows.
#include "config.h"

#include <dialogkit_win32.h>

bool RunNewznabSettingsDialog(void *parent, const char *, const std::string &, const IndexerSettings &settings,
                              IndexerTest) {
    ShowSettingsDialogUnavailable(parent, settings.name.c_str());
    return false;
}
