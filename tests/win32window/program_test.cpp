// quillon.exe as a script starts and stops it: the window comes up, a second
// copy says so and ends, and the end of the session ends the program through
// its whole exit (main.conf written, exit code 0) without the question.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

const DWORD kWaitMs = 120000;  // a limit for a hung program, not a timing check

std::wstring ProgramPath() {
    std::wstring path = L"Z:";
    for (const char *c = QUILLON_PROGRAM; *c; ++c)
        path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
    return path;
}

bool Start(PROCESS_INFORMATION &process) {
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

struct Search {
    DWORD processId;
    const wchar_t *caption;
    HWND found;
};

// The top-level window of the process with this caption, waiting for it.
HWND WaitForWindow(DWORD processId, const wchar_t *caption) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kWaitMs) {
        Search search = {processId, caption, nullptr};
        EnumWindows(
            [](HWND hwnd, LPARAM context) -> BOOL {
                auto *s = reinterpret_cast<Search *>(context);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                wchar_t text[128] = L"";
                GetWindowTextW(hwnd, text, 128);
                if (owner == s->processId && std::wstring(text) == s->caption) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(100);
    }
    return nullptr;
}

DWORD WaitForExit(PROCESS_INFORMATION &process) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, kWaitMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

}  // namespace

TEST(Win32Program, StartsRefusesASecondCopyAndEndsWithTheSession) {
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    const std::wstring mainConf = std::wstring(appData) + L"\\Quillon\\main.conf";
    DeleteFileW(mainConf.c_str());

    PROCESS_INFORMATION first = {};
    ASSERT_TRUE(Start(first)) << GetLastError();
    HWND window = WaitForWindow(first.dwProcessId, L"Quillon v1.04");
    ASSERT_NE(window, nullptr);

    PROCESS_INFORMATION second = {};
    ASSERT_TRUE(Start(second)) << GetLastError();
    HWND box = WaitForWindow(second.dwProcessId, L"Fatal Error");
    EXPECT_NE(box, nullptr);
    if (box) {
        wchar_t text[128] = L"";
        GetDlgItemTextW(box, 0xFFFF, text, 128);  // the box's text control
        EXPECT_STREQ(text, L"Error: Quillon is already running!");
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(WaitForExit(second), 0u);

    // What a script does to stop it: the session ends (wineboot -e under Wine).
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, kWaitMs, &result);
    EXPECT_NE(result, 0u);
    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, kWaitMs, &result);
    EXPECT_EQ(WaitForExit(first), 0u);
    EXPECT_NE(GetFileAttributesW(mainConf.c_str()), INVALID_FILE_ATTRIBUTES);
}
