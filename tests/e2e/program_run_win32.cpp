// The process side of program_run.h on Windows: CreateProcessW with a UTF-16
// command line and environment block, output through pipes, Ctrl+C through
// the child's own console, and a recorder registered as the program the shell
// starts for NZB and torrent files and for web and magnet links.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <mutex>

#include "program_run.h"

namespace {

std::wstring Wide(const std::string &text) {
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// One argument quoted so that CommandLineToArgvW (and the C runtime's
// start-up code) read it back unchanged: backslashes are doubled only
// before a quote.
void AppendArgument(std::wstring &line, const std::wstring &argument) {
    if (!line.empty())
        line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring Upper(std::wstring text) {
    for (wchar_t &c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// This process's environment with `overrides` put in place of variables of
// the same names (compared without case), sorted as the system keeps it.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>> &overrides) {
    std::vector<std::wstring> entries;
    if (wchar_t *strings = GetEnvironmentStringsW()) {
        for (const wchar_t *p = strings; *p; p += wcslen(p) + 1) {
            std::wstring entry = p;
            size_t equals = entry.find(L'=', 1);  // "=C:=C:\..." entries start with '='
            std::wstring name = Upper(entry.substr(0, equals));
            bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                        [&](const auto &o) { return Upper(o.first) == name; });
            if (!replaced)
                entries.push_back(entry);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const auto &o : overrides)
        entries.push_back(o.first + L"=" + o.second);
    std::sort(entries.begin(), entries.end(),
              [](const std::wstring &a, const std::wstring &b) { return Upper(a) < Upper(b); });
    std::wstring block;
    for (const std::wstring &entry : entries)
        block += entry + L'\0';
    block += L'\0';
    return block;
}

bool SetClassValue(const std::wstring &key, const wchar_t *name, const std::wstring &value) {
    HKEY handle;
    std::wstring path = L"Software\\Classes\\" + key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

// Handles the Ctrl+C this process sends into a child's console while it is
// attached there: without it the default handler would end this process.
BOOL WINAPI IgnoreConsoleEvent(DWORD) { return TRUE; }

std::mutex consoleLock;

}  // namespace

const int kKilledExit = 137;

// Opened with every sharing mode: a test watching a data file must not keep
// the program from replacing it (a file open without FILE_SHARE_DELETE
// cannot be replaced, and the program would report its save as failed).
std::string ReadAll(const std::string &path) {
    std::string content;
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char block[65536];
    DWORD n = 0;
    while (ReadFile(file, block, sizeof block, &n, nullptr) && n > 0)
        content.append(block, n);
    CloseHandle(file);
    return content;
}

// The shell looks up the handler of a file type or URL scheme in the
// machine's classes (Wine reads no per-user classes for this), so the
// recorder beside this executable is registered there, the same for every
// test: the tests run in the build's own throwaway Wine prefix. It appends
// each target to the file %QUILLON_OPEN_LOG% names, which Program sets.
void Home::InstallOpenRecorder() {
    static std::once_flag once;
    std::call_once(once, [] {
        wchar_t self[MAX_PATH];
        DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring folder(self, length);
        folder.erase(folder.find_last_of(L"\\/") + 1);
        std::wstring command = L"\"" + folder + L"e2e_open_recorder.exe\" \"%1\"";
        bool ok = SetClassValue(L".nzb", nullptr, L"QuillonTestOpen") &&
                  SetClassValue(L".torrent", nullptr, L"QuillonTestOpen") &&
                  SetClassValue(L"QuillonTestOpen\\shell\\open\\command", nullptr, command);
        for (const wchar_t *scheme : {L"http", L"https", L"magnet"})
            ok = ok && SetClassValue(scheme, L"URL Protocol", L"") &&
                 SetClassValue(std::wstring(scheme) + L"\\shell\\open\\command", nullptr, command);
        if (!ok)
            ADD_FAILURE() << "cannot register the open recorder";
    });
}

Program::Program(const Home &home, const std::string &program, const RunOptions &options) : home(home) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0))
        return;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE null = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                              0, nullptr);

    std::vector<std::string> args = {program, "--data", home.data};
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::wstring commandLine;
    for (const std::string &arg : args)
        AppendArgument(commandLine, Wide(arg));
    std::wstring environment = EnvironmentBlock({{L"TMP", Wide(home.tmp)},
                                                 {L"TEMP", Wide(home.tmp)},
                                                 {L"QUILLON_OPEN_LOG", Wide(home.xdgLog)}});

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = null;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info{};
    // A console of its own (without a window): Stop() sends Ctrl+C there.
    std::wstring work = Wide(home.work);
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), work.c_str(), &startup,
                       &info)) {
        pid = static_cast<pid_t>(info.dwProcessId);
        process = info.hProcess;
        CloseHandle(info.hThread);
    } else {
        ADD_FAILURE() << "CreateProcessW failed (" << GetLastError() << ") for " << program;
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (null != INVALID_HANDLE_VALUE)
        CloseHandle(null);
    auto drain = [this](HANDLE pipe, bool toErr) {
        char block[65536];
        DWORD n = 0;
        while (ReadFile(pipe, block, sizeof block, &n, nullptr) && n > 0)
            Append(toErr, block, n);
        CloseHandle(pipe);
    };
    reader = std::thread(drain, outRead, false);
    errReader = std::thread(drain, errRead, true);
}

Program::~Program() {
    if (process && !reaped) {
        Kill();
        Wait(30);
    }
    if (reader.joinable())
        reader.join();
    if (errReader.joinable())
        errReader.join();
    if (process)
        CloseHandle(process);
}

// Attaches to the child's console for the moment of sending Ctrl+C to every
// process there (the child alone: it was started with a console of its
// own), then goes back to the console of this process's parent, if any.
void Program::Stop() {
    if (!process || reaped)
        return;
    std::lock_guard<std::mutex> hold(consoleLock);
    static const bool handled = SetConsoleCtrlHandler(IgnoreConsoleEvent, TRUE);
    (void)handled;
    FreeConsole();
    if (AttachConsole(static_cast<DWORD>(pid))) {
        if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
            ADD_FAILURE() << "GenerateConsoleCtrlEvent failed (" << GetLastError() << ")";
        FreeConsole();
    } else {
        ADD_FAILURE() << "AttachConsole failed (" << GetLastError() << ")";
    }
    AttachConsole(ATTACH_PARENT_PROCESS);
}

void Program::Kill() {
    if (process && !reaped)
        TerminateProcess(process, static_cast<UINT>(kKilledExit));
}

bool Program::Running() {
    if (!process || reaped)
        return false;
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0)
        return true;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    status = static_cast<int>(code);
    reaped = true;
    return false;
}

int Program::Wait(double seconds) {
    if (!process)
        return -1000;
    if (!reaped && !WaitUntil([this] { return !Running(); }, seconds)) {
        TerminateProcess(process, static_cast<UINT>(kKilledExit));
        WaitForSingleObject(process, INFINITE);
        reaped = true;
        return -1000;
    }
    return status;
}
