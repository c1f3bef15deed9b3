// The settings dialog of one Newznab/Torznab indexer row: every key of its
// section in plugins.ini, the API key masked, and a Test button that asks the
// indexer for its capabilities and shows the answer in plain words. Free of
// any window system: the dialog is Qt's (config_qt.h) on Linux and Win32's on
// Windows, both behind RunNewznabSettingsDialog, and both read and store
// their fields through the functions below.
#pragma once

#include "settings.h"

#include <functional>
#include <string>

using IndexerTest = std::function<std::string(const IndexerSettings &)>;

// Control ids: name 1001, url 1002, apipath 1003, apikey 1004, kind 1005
// (0 = nzb, 1 = torrent), categories 1006, hdcategories 1007, minseeders
// 1008, dailyapi 1009, dailygrabs 1010, Test 1011, OK 1, Cancel 2.
enum NewznabControl {
    kIndexerName = 1001,
    kIndexerUrl = 1002,
    kIndexerApiPath = 1003,
    kIndexerApiKey = 1004,
    kIndexerKind = 1005,
    kIndexerCategories = 1006,
    kIndexerHdCategories = 1007,
    kIndexerMinSeeders = 1008,
    kIndexerDailyApi = 1009,
    kIndexerDailyGrabs = 1010,
    kIndexerTestButton = 1011,
};

// The dialog's layout in dialog units, the same in both front ends: labels
// right-aligned on the left, wide enough for "Downloads a day (0 = no
// limit):", the edits to their right, Cancel and OK at the edits' right end.
struct IndexerDialogLayout {
    static constexpr int kLabelX = 7;
    static constexpr int kLabelWidth = 118;
    static constexpr int kEditX = kLabelX + kLabelWidth + 3;
    static constexpr int kEditWidth = 165;
    static constexpr int kRight = kEditX + kEditWidth;
    static constexpr int kWidth = kRight + 7;
    static constexpr int kHeight = 184;
    static constexpr int kOkX = kRight - 50;
    static constexpr int kCancelX = kOkX - 52;
};

// The dialog's fields as texts (UTF-8, as typed) and the kind choice.
struct IndexerFields {
    std::string name, url, apipath, apikey, categories, hdcategories;
    std::string minseeders, dailyapi, dailygrabs;
    bool torrent = false;
};

// What the dialog shows for stored settings.
IndexerFields FieldsOf(const IndexerSettings &settings);
// The settings the fields describe (blanks trimmed, the address without a
// trailing '/', defaults for empty fields and numbers that do not read as a
// count): what Test tries.
IndexerSettings SettingsOf(const IndexerFields &fields);
// What "OK" does: writes every key of `section` at once (texts trimmed,
// numbers as counts with their defaults). False when anything could not be
// written.
bool SaveIndexerFields(const char *iniPath, const std::string &section, const IndexerFields &fields);

// Runs the dialog modally over `parent` (a QWidget * on Linux, an HWND on
// Windows); true when it saved. Cancel and closing save nothing.
bool RunNewznabSettingsDialog(void *parent, const char *iniPath, const std::string &section,
                              const IndexerSettings &settings, IndexerTest test);
