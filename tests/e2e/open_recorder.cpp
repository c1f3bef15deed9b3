// e2e_open_recorder: the stand-in the end-to-end tests register as the
// program the Windows shell starts to open NZB and torrent files and web and
// magnet links. Appends its argument as one UTF-8 line to the file that
// %QUILLON_OPEN_LOG% names (nothing when it is unset); a single append per
// line, so that recorders started at the same time never mix their lines.
#include <windows.h>
#include <shellapi.h>

#include <string>

int main() {
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    wchar_t log[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"QUILLON_OPEN_LOG", log, MAX_PATH);
    if (!argv || argc < 2 || length == 0 || length >= MAX_PATH)
        return 0;
    int size = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, line.data(), size, nullptr, nullptr);
    line += '\n';
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    LocalFree(argv);
    return ok && written == line.size() ? 0 : 1;
}
