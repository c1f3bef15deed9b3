// The main window's menu commands as plain functions, free of Qt: the command
// ids, the CheckLock gate of the editing commands, the four imports and
// exports, the about text and the web site. (Scan Now and Stop Scan are the
// check cycle's RequestScanNow and RequestStopScan.)
#pragma once

#include <functional>
#include <string>

enum MenuCommand : int {
    IDM_EXIT = 40001,
    IDM_SETTINGS = 40002,
    IDM_EDIT_SHOWS = 40003,
    IDM_SCAN_NOW = 40004,
    IDM_ABOUT = 40005,
    IDM_STOP_SCAN = 40007,
    IDM_WEBSITE = 40008,
    IDM_EDIT_SEEN = 40010,
    IDM_EXPORT_SETTINGS = 40014,
    IDM_IMPORT_SHOWS = 40015,
    IDM_IMPORT_SETTINGS = 40016,
    IDM_IMPORT_TVRAGE = 40017,
    IDM_EXPORT_SHOWS = 40018,
};

// The program's home page; the help pages live below it.
extern const char kWebsiteUrl[];

// The notices of the commands that wait for a running pass.
extern const wchar_t kNoticeSettings[];
extern const wchar_t kNoticeShowEditor[];
extern const wchar_t kNoticeSeenList[];
extern const wchar_t kNoticeImportExport[];
// Said when the chosen file's path does not fit the request's buffer.
extern const wchar_t kNoticePathTooLong[];
// Said when the chosen path has characters the locale's encoding lacks.
extern const wchar_t kNoticePathNotConvertible[];

// `path` with `extension` (".qlnshow") appended, unless the text from the
// path's last '.' already equals it without regard to case.
std::string WithExtension(const std::string &path, const char *extension);

// Takes CheckLock; when a pass runs, shows `notice` ("Notice") and returns
// false; otherwise runs `body` still holding the lock and returns true.
bool UnderCheckLock(const wchar_t *notice, const std::function<void()> &body);

// The four file commands; `owner` is the window that owns the file dialog.
void ImportShows(void *owner);
void ImportSettings(void *owner);
void ExportShows(void *owner);
void ExportSettings(void *owner);

void OpenWebsite();
std::wstring AboutTitle();
std::wstring AboutText();
