#include "commands.h"

#include <limits.h>

#include <cstring>
#include <vector>

#include "backup.h"
#include "checkstate.h"
#include "frontend.h"
#include "settings.h"
#include "showlist.h"
#include "vorlo/memleak.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"
#include "vorlocomdlg.h"

#define QUILLON_WIDE_(text) L##text
#define QUILLON_WIDE(text) QUILLON_WIDE_(text)

const char kWebsiteUrl[] = "https://quillon.varnek.com/";

const wchar_t kNoticeSettings[] =
    L"Please wait until the current scan is complete before opening the settings...";
const wchar_t kNoticeShowEditor[] =
    L"Please wait until the current scan is complete before opening the item editor...";
const wchar_t kNoticeSeenList[] =
    L"Please wait until the current scan is complete before editing the seen list...";
const wchar_t kNoticeImportExport[] =
    L"Please wait until the current scan is complete before doing this function...";
#ifdef _WIN32  // UTF-8 inside: only a broken UTF-16 name fails
const wchar_t kNoticePathNotConvertible[] =
    L"The path of the chosen file is not valid Unicode; nothing was read or written.";
#else
const wchar_t kNoticePathNotConvertible[] =
    L"The path of the chosen file cannot be written in this system's character set (see the "
    L"LANG and LC_ALL settings); nothing was read or written.";
#endif
const wchar_t kNoticePathTooLong[] =
    L"The path of the chosen file is too long; nothing was read or written. Please choose a "
    L"shorter path.";

namespace {

// Room for any path the system accepts, terminator included.
const int kFileBufferSize = PATH_MAX;

struct FileKind {
    const wchar_t *description;
    const wchar_t *pattern;
    const char *extension;
};
const FileKind kShowFiles = {L"Quillon Show Files (*.qlnshow)", L"*.qlnshow", ".qlnshow"};
const FileKind kSettingsFiles = {L"Quillon Settings Files (*.qlnconfig)", L"*.qlnconfig",
                                 ".qlnconfig"};

// Shows the open or save dialog for one kind of file; the chosen path in the
// locale's narrow encoding, or false when the user cancelled.
bool ChooseFile(void *owner, bool save, const FileKind &kind, std::string &path) {
    std::wstring filter = kind.description;
    filter.push_back(L'\0');
    filter += kind.pattern;
    filter.push_back(L'\0');
    filter.push_back(L'\0');

    std::vector<wchar_t> file(kFileBufferSize, L'\0');
    FileDialogParams params{};
    params.owner = owner;
    params.file.w = file.data();
    params.fileSize = kFileBufferSize;
    params.title.w = L"Select a file...";
    params.initialFolder.w = nullptr;
    params.filter.w = filter.c_str();
    params.filterIndex = 0;
    if (!(save ? ShowSaveFileW(&params) : ShowOpenFileW(&params))) {
        // A cancel leaves the buffer empty; a path that did not fit leaves
        // as much of it as fits, and must not look like a cancel.
        if (file[0] != L'\0')
            GetFrontEnd().ShowMessage(L"Notice", kNoticePathTooLong, MessageIcon::Information,
                                      MessageButtons::Ok);
        return false;
    }

    // A name the narrow encoding cannot hold (the locale's, or UTF-8 on
    // Windows) must not become another file's name: ToNarrow gives its error
    // text then, which no chosen path (always absolute) can equal.
    char *narrow = ToNarrow(file.data());
    const bool converted = narrow && std::strcmp(narrow, "ERROR in wcstombs") != 0;
    if (converted)
        path = narrow;
    if (narrow)
        ZFREE(narrow);
    if (!converted) {
        GetFrontEnd().ShowMessage(L"Notice", kNoticePathNotConvertible, MessageIcon::Information,
                                  MessageButtons::Ok);
        return false;
    }
    return !path.empty();
}

void Notice(const wchar_t *text) {
    GetFrontEnd().ShowMessage(L"Notice", text, MessageIcon::Information, MessageButtons::Ok);
}

}  // namespace

std::string WithExtension(const std::string &path, const char *extension) {
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && StrICmp(path.c_str() + dot, extension) == 0)
        return path;
    return path + extension;
}

bool UnderCheckLock(const wchar_t *notice, const std::function<void()> &body) {
    MutexHold hold(CheckLock);
    if (checking) {
        Notice(notice);
        return false;
    }
    body();
    return true;
}

void ImportShows(void *owner) {
    UnderCheckLock(kNoticeImportExport, [owner] {
        std::string path;
        if (!ChooseFile(owner, false, kShowFiles, path))
            return;
        // Yes erases the show list: Enter must not give it.
        MessageAnswer answer = GetFrontEnd().AskDefaultNo(
            L"Import Shows",
            L"Warning: This will erase all of your existing shows, are you sure you want to "
            L"continue?");
        if (answer != MessageAnswer::Yes)
            return;
        AutoBackup(g_paths.ShowsConf);
        ClearShows();
        LoadShows(path.c_str());
        SaveShows();
    });
}

void ImportSettings(void *owner) {
    UnderCheckLock(kNoticeImportExport, [owner] {
        std::string path;
        if (ChooseFile(owner, false, kSettingsFiles, path))
            LoadSettings(path.c_str());
    });
}

void ExportShows(void *owner) {
    UnderCheckLock(kNoticeImportExport, [owner] {
        std::string path;
        if (!ChooseFile(owner, true, kShowFiles, path))
            return;
        if (!SaveShows(WithExtension(path, kShowFiles.extension).c_str()))
            Notice(L"Error exporting shows!");
    });
}

void ExportSettings(void *owner) {
    UnderCheckLock(kNoticeImportExport, [owner] {
        std::string path;
        if (!ChooseFile(owner, true, kSettingsFiles, path))
            return;
        // Reported like a failed show export: the user must not believe a
        // settings file exists that was never written.
        if (!SaveSettings(WithExtension(path, kSettingsFiles.extension).c_str()))
            Notice(L"Error exporting settings!");
    });
}

void OpenWebsite() { PlatformOpen(kWebsiteUrl); }

std::wstring AboutTitle() { return L"About Quillon " QUILLON_WIDE(QUILLON_VERSION_TEXT); }

std::wstring AboutText() {
    std::wstring text = L"Quillon " QUILLON_WIDE(QUILLON_VERSION_TEXT) L" by Varnek Software\n";
    text += L"Build date: " QUILLON_WIDE(__DATE__) L" at " QUILLON_WIDE(__TIME__) L"\n\n";
    text += L"Quillon is for legal purposes only.\n";
    text += L"The author of this program cannot be held liable for any misuse by the "
            L"end-user(s) of this product.\n\n";
    text += L"Copyright (C) 2009 Varnek Software. All rights reserved.\n\n";
    // TVmaze's data licence (CC BY-SA) asks for this credit.
    text += L"Show information from TVmaze.com (https://www.tvmaze.com), licensed CC BY-SA.";
    return text;
}
