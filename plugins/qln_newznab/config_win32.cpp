// The Newznab/Torznab indexer Win32 settings dialog (Windows): the same
// controls, ids and places as the Qt dialog, built in memory, and the same
// field rules (fields.cpp).
#include "config.h"

#include <dialogkit_win32.h>

namespace {

struct EditRow {
    int id;
    int y;
    const char *label;
};

// The edits from top to bottom; the kind list sits between the key and the
// categories.
const EditRow kEditsAbove[] = {
    {kIndexerName, 7, "Name:"},
    {kIndexerUrl, 21, "Address:"},
    {kIndexerApiPath, 35, "API path:"},
    {kIndexerApiKey, 49, "API key:"},
};
const EditRow kEditsBelow[] = {
    {kIndexerCategories, 79, "Categories:"},
    {kIndexerHdCategories, 93, "HD categories:"},
    {kIndexerMinSeeders, 107, "Fewest seeders:"},
    {kIndexerDailyApi, 121, "Requests a day (0 = no limit):"},
    {kIndexerDailyGrabs, 135, "Downloads a day (0 = no limit):"},
};

using L = IndexerDialogLayout;

bool IsNumberField(int id) {
    return id == kIndexerMinSeeders || id == kIndexerDailyApi || id == kIndexerDailyGrabs;
}

void AddEdit(DialogTemplate &t, const EditRow &row) {
    t.Add(kStaticClass, SS_RIGHT, -1, L::kLabelX, row.y + 1, L::kLabelWidth, 9, row.label);
    DWORD style = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    if (row.id == kIndexerApiKey)
        style |= ES_PASSWORD;
    if (IsNumberField(row.id))
        style |= ES_NUMBER;
    t.Add(kEditClass, style, row.id, L::kEditX, row.y, L::kEditWidth, 12);
}

class NewznabDialog : public DialogHandler {
public:
    NewznabDialog(const char *iniPath, const std::string &section, const IndexerSettings &settings,
                  IndexerTest test)
        : iniPath(iniPath), section(section), shown(FieldsOf(settings)), test(std::move(test)) {}

    int Init(HWND dialog) override {
        const std::string *texts[] = {&shown.name, &shown.url, &shown.apipath, &shown.apikey};
        for (size_t i = 0; i < 4; ++i)
            SetItemText(dialog, kEditsAbove[i].id, *texts[i]);
        const std::string *lower[] = {&shown.categories, &shown.hdcategories, &shown.minseeders,
                                      &shown.dailyapi, &shown.dailygrabs};
        for (size_t i = 0; i < 5; ++i)
            SetItemText(dialog, kEditsBelow[i].id, *lower[i]);
        for (const EditRow &row : kEditsAbove)
            SendDlgItemMessageW(dialog, row.id, EM_LIMITTEXT, 255, 0);
        for (const EditRow &row : kEditsBelow)
            SendDlgItemMessageW(dialog, row.id, EM_LIMITTEXT, 255, 0);
        SendDlgItemMessageW(dialog, kIndexerKind, CB_ADDSTRING, 0, LPARAM(L"NZB files (nzb)"));
        SendDlgItemMessageW(dialog, kIndexerKind, CB_ADDSTRING, 0, LPARAM(L"Torrents (torrent)"));
        SendDlgItemMessageW(dialog, kIndexerKind, CB_SETCURSEL, shown.torrent ? 1 : 0, 0);
        return 0;
    }

    void Ok(HWND dialog) override {
        saved = true;
        if (!SaveIndexerFields(iniPath, section, Typed(dialog)))
            ReportSaveFailure(dialog, iniPath);
    }

    void Command(HWND dialog, int id) override {
        if (id != kIndexerTestButton || !test)
            return;
        HCURSOR before = SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
        std::string answer = test(SettingsOf(Typed(dialog)));
        SetCursor(before);
        ShowMessage(dialog, answer, "Test", MB_ICONINFORMATION);
    }

    bool saved = false;

private:
    IndexerFields Typed(HWND dialog) const {
        IndexerFields f;
        f.name = ItemText(dialog, kIndexerName);
        f.url = ItemText(dialog, kIndexerUrl);
        f.apipath = ItemText(dialog, kIndexerApiPath);
        f.apikey = ItemText(dialog, kIndexerApiKey);
        f.torrent = SendDlgItemMessageW(dialog, kIndexerKind, CB_GETCURSEL, 0, 0) == 1;
        f.categories = ItemText(dialog, kIndexerCategories);
        f.hdcategories = ItemText(dialog, kIndexerHdCategories);
        f.minseeders = ItemText(dialog, kIndexerMinSeeders);
        f.dailyapi = ItemText(dialog, kIndexerDailyApi);
        f.dailygrabs = ItemText(dialog, kIndexerDailyGrabs);
        return f;
    }

    const char *iniPath;
    std::string section;
    IndexerFields shown;
    IndexerTest test;
};

}  // namespace

bool RunNewznabSettingsDialog(void *parent, const char *iniPath, const std::string &section,
                              const IndexerSettings &settings, IndexerTest test) {
    DialogTemplate t(L::kWidth, L::kHeight, SettingsDialogTitle(settings.name.c_str()));
    for (const EditRow &row : kEditsAbove)
        AddEdit(t, row);
    t.Add(kStaticClass, SS_RIGHT, -1, L::kLabelX, 64, L::kLabelWidth, 9, "Delivers:");
    // The height of a drop-down list includes its open list.
    t.Add(kComboBoxClass, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kIndexerKind, L::kEditX, 63,
          L::kEditWidth, 40);
    for (const EditRow &row : kEditsBelow)
        AddEdit(t, row);
    t.Add(kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, kIndexerTestButton, 7, 163, 50, 14, "Test");
    t.Add(kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, L::kOkX, 163, 50, 14, "OK");
    t.Add(kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, L::kCancelX, 163, 50, 14, "Cancel");
    NewznabDialog handler(iniPath, section, settings, std::move(test));
    return RunDialog(parent, t, handler) == IDOK && handler.saved;
}
