#include "headless_child.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include <windows.h>

namespace {

std::wstring Wide(const std::string &text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(wide.size() - 1);
    return wide;
}

// One argument quoted the way the C runtime splits a command line: quotes
// escaped, backslashes doubled only where a quote follows them.
std::wstring Quoted(const std::wstring &arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

struct HeadlessChild::Process {
    PROCESS_INFORMATION info{};
    bool started = false;
};

HeadlessChild::HeadlessChild(const std::vector<std::string> &args) : process(new Process) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    std::wstring program = Wide(QUILLON_HEADLESS);
    std::wstring line = Quoted(program);
    for (const std::string &arg : args)
        line += L" " + Quoted(Wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    // A console of its own (hidden), so that a Ctrl+C sent there reaches
    // nothing else.
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    process->started = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE,
                                      nullptr, nullptr, &startup, &process->info);
    CloseHandle(write);
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(read), _O_RDONLY | _O_TEXT);
    if (fd < 0) {
        CloseHandle(read);
        return;
    }
    out = _fdopen(fd, "r");  // text mode: the child's "\r\n" reads as "\n"
    if (!out)
        _close(fd);
}

HeadlessChild::~HeadlessChild() {
    if (process->started) {
        TerminateProcess(process->info.hProcess, 1);
        Wait();
    }
    if (out)
        std::fclose(out);
    delete process;
}

bool HeadlessChild::Started() const { return process->started && out; }

bool HeadlessChild::Stop() {
    if (!process->started)
        return false;
    // Ctrl+C goes to the processes of the sender's console: the tests join the
    // child's console to send it, ignoring it themselves until it has arrived.
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, TRUE);
    bool sent = AttachConsole(process->info.dwProcessId) && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    if (sent)
        WaitForSingleObject(process->info.hProcess, 30000);  // the event has arrived once it ends
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);
    return sent;
}

int HeadlessChild::Wait() {
    if (!process->started)
        return -1;
    DWORD code = 0;
    bool ended = WaitForSingleObject(process->info.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process->info.hProcess, &code);
    CloseHandle(process->info.hProcess);
    CloseHandle(process->info.hThread);
    process->started = false;
    return ended ? static_cast<int>(code) : -1;
}
