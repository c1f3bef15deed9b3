// The open and save file dialogs of vorlocomdlg.dll: the system's common
// dialogs (GetOpenFileNameW, GetSaveFileNameW) behind the five exported
// functions. The W functions take UTF-16 texts, the A functions UTF-8 texts
// (the program's narrow text); both show the Unicode dialog, so no name is
// lost to the ANSI code page. The library keeps no state besides the pointer
// to its handler table.
#include "dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Room of the dialog's own result buffer: the longest path the system takes.
// The caller's buffer gets the result afterwards, whole or refused.
constexpr size_t kResultRoom = 32768;

std::wstring FromUtf8(const char *text, size_t length) {
    if (!text || length == 0)
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), &wide[0], n);
    return wide;
}

std::string ToUtf8(const std::wstring &text) {
    if (text.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n,
                            nullptr, nullptr);
    return narrow;
}

// The filter list (NUL-separated texts ended by an empty one) as a whole,
// terminators included, so it can be handed to the dialog as it is.
template <typename Char>
size_t FilterLength(const Char *list) {
    const Char *p = list;
    while (*p) {
        while (*p)
            ++p;
        ++p;
    }
    return static_cast<size_t>(p - list) + 1;
}

// What one request asks for, in UTF-16 whichever form it came in.
struct Request {
    HWND owner = nullptr;
    std::wstring initialFile;
    std::wstring title;
    std::wstring folder;
    std::wstring filter;  // the list with its NULs, or empty for none
    bool hasTitle = false;
    bool hasFolder = false;
    DWORD filterIndex = 0;
    bool save = false;
};

// The pattern text of the 1-based pair `index` of the filter list.
std::wstring PatternOf(const std::wstring &filter, DWORD index) {
    const wchar_t *p = filter.c_str();
    for (DWORD pair = 1; !filter.empty() && *p; ++pair) {
        p += std::wcslen(p) + 1;  // the description
        if (!*p)
            break;
        if (pair == index)
            return p;
        p += std::wcslen(p) + 1;
    }
    return std::wstring();
}

// The extension a filter of exactly one pattern "*.ext" stands for (".ext"),
// else an empty text.
std::wstring ExtensionOf(const std::wstring &pattern) {
    if (pattern.size() < 3 || pattern.compare(0, 2, L"*.") != 0)
        return std::wstring();
    for (size_t i = 2; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        if (c == L'*' || c == L'?' || c == L';' || c == L'[' || c == L'.' || c == L' ' ||
            c == L'\t')
            return std::wstring();
    }
    return pattern.substr(1);
}

// The chosen name with the extension appended, unless the text from its last
// '.' already is the extension (letter case ignored).
std::wstring WithExtension(const std::wstring &path, const std::wstring &extension) {
    if (extension.empty())
        return path;
    const size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos && _wcsicmp(path.c_str() + dot, extension.c_str()) == 0)
        return path;
    return path + extension;
}

bool Exists(const std::wstring &path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Asks before replacing `path`; true for Yes.
bool MayReplace(HWND owner, const std::wstring &path, const std::wstring &title) {
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::wstring text = name + L" already exists.\nDo you want to replace it?";
    return MessageBoxW(owner, text.c_str(), title.empty() ? L"Save As" : title.c_str(),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

// Shows the dialog; returns the chosen path or an empty text. Saving, the
// name returned and asked about is the typed name with the selected filter's
// extension ("mine" with "*.qlnshow" selected is mine.qlnshow): the system's
// own question would be about the name as typed, so the library asks itself
// and shows the dialog again on No.
std::wstring Run(const Request &request) {
    std::vector<wchar_t> result(kResultRoom, L'\0');
    std::wstring initial = request.initialFile.substr(0, kResultRoom - 1);
    DWORD filterIndex = request.filterIndex;
    for (;;) {
        std::wmemcpy(result.data(), initial.data(), initial.size());
        result[initial.size()] = L'\0';

        OPENFILENAMEW dialog;
        std::memset(&dialog, 0, sizeof dialog);
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = request.owner;
        dialog.lpstrFile = result.data();
        dialog.nMaxFile = static_cast<DWORD>(result.size());
        dialog.lpstrTitle = request.hasTitle ? request.title.c_str() : nullptr;
        dialog.lpstrInitialDir = request.hasFolder ? request.folder.c_str() : nullptr;
        dialog.lpstrFilter = request.filter.empty() ? nullptr : request.filter.c_str();
        dialog.nFilterIndex = request.filter.empty() ? 0 : filterIndex;
        // The process's current folder stays where it was.
        dialog.Flags = OFN_NOCHANGEDIR |
                       (request.save ? OFN_HIDEREADONLY | OFN_PATHMUSTEXIST
                                     : OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
        if (!(request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)))
            return std::wstring();
        result.back() = L'\0';
        const std::wstring typed = result.data();
        if (!request.save || typed.empty())
            return typed;
        const std::wstring written =
            WithExtension(typed, ExtensionOf(PatternOf(request.filter, dialog.nFilterIndex)));
        if (!Exists(written) || MayReplace(request.owner, written, request.title))
            return written;
        initial = typed;  // No: back to the dialog, with the name as typed
        filterIndex = dialog.nFilterIndex;
    }
}

// Copies the result into the caller's buffer, NUL-terminated within `size`
// characters. False when it does not fit whole: a cut path names another file.
bool StoreWide(const std::wstring &text, wchar_t *buffer, int size) {
    const size_t room = static_cast<size_t>(size) - 1;
    const size_t n = text.size() < room ? text.size() : room;
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = L'\0';
    return text.size() <= room;
}

// The narrow form cuts at a character boundary, never inside one character's
// UTF-8 sequence.
bool StoreNarrow(const std::string &text, char *buffer, int size) {
    const size_t room = static_cast<size_t>(size) - 1;
    size_t n = text.size() < room ? text.size() : room;
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return text.size() <= room;
}

std::wstring FromUtf8(const char *text) { return FromUtf8(text, text ? std::strlen(text) : 0); }

}  // namespace

namespace vorlocomdlg {

bool ShowWide(FileDialogParams *params, bool save) {
    Request request;
    request.owner = static_cast<HWND>(params->owner);
    params->file.w[params->fileSize - 1] = L'\0';  // the initial name may fill the buffer
    request.initialFile = params->file.w;
    request.hasTitle = params->title.w != nullptr;
    if (request.hasTitle)
        request.title = params->title.w;
    request.hasFolder = params->initialFolder.w != nullptr;
    if (request.hasFolder)
        request.folder = params->initialFolder.w;
    if (params->filter.w)
        request.filter.assign(params->filter.w, FilterLength(params->filter.w));
    request.filterIndex = static_cast<DWORD>(params->filterIndex < 0 ? 0 : params->filterIndex);
    request.save = save;
    const std::wstring chosen = Run(request);
    if (chosen.empty())
        return false;
    return StoreWide(chosen, params->file.w, params->fileSize);
}

bool ShowNarrow(FileDialogParams *params, bool save) {
    Request request;
    request.owner = static_cast<HWND>(params->owner);
    params->file.a[params->fileSize - 1] = '\0';
    request.initialFile = FromUtf8(params->file.a);
    request.hasTitle = params->title.a != nullptr;
    request.title = FromUtf8(params->title.a);
    request.hasFolder = params->initialFolder.a != nullptr;
    request.folder = FromUtf8(params->initialFolder.a);
    if (params->filter.a)
        request.filter = FromUtf8(params->filter.a, FilterLength(params->filter.a));
    request.filterIndex = static_cast<DWORD>(params->filterIndex < 0 ? 0 : params->filterIndex);
    request.save = save;
    const std::wstring chosen = Run(request);
    if (chosen.empty())
        return false;
    return StoreNarrow(ToUtf8(chosen), params->file.a, params->fileSize);
}

}  // namespace vorlocomdlg
