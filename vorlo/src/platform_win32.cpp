// Windows platform layer: the same operations as the POSIX one, on Win32.
// Paths are UTF-8 inside the program and UTF-16 at every system call; folder
// paths end in a backslash.
#include "vorlo/library.h"
#include "vorlo/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <io.h>

#include <windows.h>

#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

std::wstring Wide(const char *text) {
    if (!text || !*text)
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

std::string Narrow(const wchar_t *text) {
    if (!text || !*text)
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length) - 1);
    return narrow;
}

// Copies `text` into out[size]; false (and out cut to "") when it does not fit.
bool CopyOut(const std::string &text, char *out, size_t size) {
    if (!out || size == 0)
        return false;
    if (text.size() + 1 > size) {
        out[0] = '\0';
        return false;
    }
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

void WithBackslash(std::string &path) {
    if (path.empty() || (path.back() != '\\' && path.back() != '/'))
        path += '\\';
}

// The errno value closest to a Win32 error code.
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

DWORD Attributes(const char *path) {
    return path && *path ? GetFileAttributesW(Wide(path).c_str()) : INVALID_FILE_ATTRIBUTES;
}

// Turns an open handle into a C stream (the stream owns the handle).
FILE *StreamOf(HANDLE handle, int flags, const char *mode) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
        return nullptr;
    }
    FILE *stream = _fdopen(fd, mode);
    if (!stream) {
        int error = errno;
        _close(fd);
        errno = error;
    }
    return stream;
}

std::atomic<unsigned> g_counter{0};
std::mutex g_tempLock;
std::string g_tempFallback;  // this run's own folder once the expected one was refused
std::string g_tempRefused;   // the folder it stands in for
std::string g_tempNotice;    // said once through PlatformTakeTempFolderNotice

// "<temp>quillon\": the per-user folder that holds the per-process ones. The
// temporary folder itself is already the user's own. When that name is taken
// by a file or a link, a fresh folder "<temp>quillon-<pid>-<n>\" serves this run.
std::string PrivateTempRoot() {
    char temp[1024];
    PlatformTempFolder(temp, sizeof temp);
    std::string root = std::string(temp) + "quillon";
    std::lock_guard<std::mutex> hold(g_tempLock);
    std::string result = g_tempRefused == root ? g_tempFallback : std::string();
    if (result.empty()) {
        bool made = PlatformMakeFolder(root.c_str());
        DWORD attributes = Attributes(root.c_str());
        // A link or junction planted under our name is refused, not followed.
        if (made && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            result = root + "\\";
        } else {
            const char *reason = !made ? "it is not a folder" : "it is a link";
            for (int attempt = 0; attempt < 100 && result.empty(); ++attempt) {
                std::string fresh = root + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                                    std::to_string(g_counter.fetch_add(1));
                if (CreateDirectoryW(Wide(fresh.c_str()).c_str(), nullptr)) {
                    g_tempFallback = result = fresh + "\\";
                    g_tempRefused = root;
                    g_tempNotice = "The temporary folder " + root + " cannot be used (" + reason +
                                   "); downloads go to " + fresh + " instead.";
                }
            }
        }
    }
    return result;
}

// Removes a folder and everything below it; links are removed, not followed.
void RemoveTree(const std::wstring &path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
                    RemoveTree(path + L"\\" + found.cFileName);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path.c_str());
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path.c_str());  // a junction: only the link goes
    } else {
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        DeleteFileW(path.c_str());
    }
}

bool ProcessRuns(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;  // exists, not ours to query
    DWORD code = 0;
    bool runs = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
}

}  // namespace

bool PlatformDataFolder(const char *app, char *out, size_t size) {
    std::string folder;
    PWSTR base = nullptr;
    if (app && *app && SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &base))) {
        folder = Narrow(base);
        if (!folder.empty()) {
            WithBackslash(folder);
            folder += app;
        }
    }
    CoTaskMemFree(base);
    if (folder.empty() || folder.size() + 2 > size || !PlatformMakeFolder(folder.c_str())) {
        CopyOut(".\\", out, size);
        return false;
    }
    folder += '\\';
    return CopyOut(folder, out, size);
}

void PlatformTempFolder(char *out, size_t size) {
    wchar_t temp[MAX_PATH + 2];
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::string folder = length > 0 && length <= MAX_PATH + 1 ? Narrow(temp) : std::string(".");
    WithBackslash(folder);
    CopyOut(folder, out, size);
}

bool PlatformPrivateTempFolder(char *out, size_t size) {
    std::string root = PrivateTempRoot();
    std::string folder = root + std::to_string(GetCurrentProcessId());
    DWORD attributes;
    if (root.empty() || !PlatformMakeFolder(folder.c_str()) ||
        (attributes = Attributes(folder.c_str())) == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CopyOut("", out, size);
        return false;
    }
    return CopyOut(folder + "\\", out, size);
}

void PlatformRemoveStaleTempFolders() {
    std::string root = PrivateTempRoot();
    if (root.empty())
        return;
    std::wstring wroot = Wide(root.c_str());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((wroot + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        wchar_t *stop = nullptr;
        unsigned long pid = wcstoul(name.c_str(), &stop, 10);
        bool isPid = stop && *stop == L'\0' && pid > 0;
        // A folder of a process that still runs is left alone.
        if (isPid && (pid == GetCurrentProcessId() || ProcessRuns(static_cast<DWORD>(pid))))
            continue;
        RemoveTree(wroot + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void PlatformRemovePrivateTempFolder() {
    std::string root = PrivateTempRoot();
    if (root.empty())
        return;
    RemoveTree(Wide((root + std::to_string(GetCurrentProcessId())).c_str()));
    // Only an empty folder goes: another copy's folder may still be inside.
    root.pop_back();
    RemoveDirectoryW(Wide(root.c_str()).c_str());
}

std::string PlatformTakeTempFolderNotice() {
    std::lock_guard<std::mutex> hold(g_tempLock);
    std::string notice;
    notice.swap(g_tempNotice);
    return notice;
}

bool PlatformHandedFolder(const char *app, char *out, size_t size) {
    std::string folder;
    PWSTR base = nullptr;
    if (app && *app && SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &base)))
        folder = Narrow(base);
    CoTaskMemFree(base);
    if (folder.empty()) {
        CopyOut("", out, size);
        return false;
    }
    WithBackslash(folder);
    folder += app;
    std::string handed = folder + "\\opened";
    if (!PlatformMakeFolder(folder.c_str()) || !PlatformMakeFolder(handed.c_str()) ||
        !CopyOut(handed + "\\", out, size)) {
        CopyOut("", out, size);
        return false;
    }
    return true;
}

FILE *PlatformCreateFile(const char *path) {
    if (!path || !*path) {
        errno = path ? ENOENT : EINVAL;
        return nullptr;
    }
    // CREATE_NEW: an existing file (or link) of that name is never opened.
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return nullptr;
    }
    FILE *stream = StreamOf(file, _O_WRONLY, "wb");
    if (!stream) {
        int error = errno;
        DeleteFileW(Wide(path).c_str());
        errno = error;
    }
    return stream;
}

FILE *PlatformOpenFile(const char *path, const char *mode) {
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

void PlatformProgramFolder(char *out, size_t size) {
    std::wstring exe(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &exe[0], static_cast<DWORD>(exe.size()));
    std::string folder = ".\\";
    if (length > 0 && length < exe.size()) {
        exe.resize(length);
        size_t slash = exe.find_last_of(L"\\/");
        if (slash != std::wstring::npos)
            folder = Narrow(exe.substr(0, slash + 1).c_str());
    }
    CopyOut(folder, out, size);
}

bool PlatformOpen(const char *target) {
    if (!target || !*target)
        return false;
    // The shell may hand the file to an extension: COM must be started on the
    // calling thread (the check thread has not started it otherwise).
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HINSTANCE result = ShellExecuteW(nullptr, L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com))
        CoUninitialize();
    return reinterpret_cast<intptr_t>(result) > 32;
}

int PlatformMoveFile(const char *from, const char *to) {
    if (!from || !to)
        return EINVAL;
    // Without MOVEFILE_REPLACE_EXISTING an existing destination stays; across
    // volumes the system copies and then deletes the source.
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return 0;
    return ErrnoOf(GetLastError());
}

bool PlatformFileExists(const char *path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PlatformFolderExists(const char *path) {
    DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The mode has no Windows meaning: a folder inherits its parent's access
// list, and the user's profile folders are the user's own.
bool PlatformMakeFolder(const char *path, unsigned) {
    if (!path || !*path)
        return false;
    if (CreateDirectoryW(Wide(path).c_str(), nullptr))
        return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && PlatformFolderExists(path);
}

bool PlatformWriteFileAtomic(const char *path, const void *data, size_t size) {
    if (!path || !*path || (!data && size > 0))
        return false;
    std::string target = path;
    size_t slash = target.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty())
        return false;
    DWORD attributes = Attributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;  // never replace a folder

    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; attempt++) {
        temp = Wide((folder + "." + base.substr(0, 100) + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(g_counter++) + "-" + std::to_string(GetTickCount64()))
                        .c_str());
        file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            errno = ErrnoOf(GetLastError());
            return false;
        }
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;

    DWORD failure = 0;
    const char *bytes = static_cast<const char *>(data);
    while (!failure && size > 0) {
        DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            failure = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        bytes += written;
        size -= written;
    }
    if (!failure && !FlushFileBuffers(file))
        failure = GetLastError();
    if (!CloseHandle(file) && !failure)
        failure = GetLastError();
    // The rename replaces the old file in one step and is on disk on return.
    if (!failure && !MoveFileExW(temp.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        failure = GetLastError();
    if (failure) {
        DeleteFileW(temp.c_str());
        errno = ErrnoOf(failure);  // the caller names the reason
    }
    return !failure;
}

bool PlatformOverwriteFile(const char *path, const void *data, size_t size) {
    if (!path || (!data && size > 0)) {
        errno = EINVAL;
        return false;
    }
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return false;
    }
    LARGE_INTEGER before{};
    const bool sizeKnown = GetFileSizeEx(file, &before) != 0;
    DWORD failure = 0;
    const char *bytes = static_cast<const char *>(data);
    uint64_t written = 0;
    while (!failure && written < size) {
        size_t left = size - static_cast<size_t>(written);
        DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD done = 0;
        if (!WriteFile(file, bytes + written, chunk, &done, nullptr) || done == 0)
            failure = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        written += done;
    }
    // Cut only when the old bytes reach past the new ones.
    if (!failure && (!sizeKnown || static_cast<uint64_t>(before.QuadPart) > written) && !SetEndOfFile(file))
        failure = GetLastError();
    CloseHandle(file);
    if (failure)
        errno = ErrnoOf(failure);
    return !failure;
}

namespace {

// While any instance lock is held, the process also holds the named mutex
// "Local\Varnek_Quillon": the installer and the uninstaller look for it to
// find a running Quillon, whatever data folder it uses.
const wchar_t kRunningMutexName[] = L"Local\\Varnek_Quillon";
SRWLOCK g_runningLock = SRWLOCK_INIT;
HANDLE g_runningMutex = nullptr;
int g_runningHolders = 0;

void HoldRunningMutex() {
    AcquireSRWLockExclusive(&g_runningLock);
    if (g_runningHolders++ == 0)
        g_runningMutex = CreateMutexW(nullptr, FALSE, kRunningMutexName);
    ReleaseSRWLockExclusive(&g_runningLock);
}

void DropRunningMutex() {
    AcquireSRWLockExclusive(&g_runningLock);
    if (g_runningHolders > 0 && --g_runningHolders == 0 && g_runningMutex) {
        CloseHandle(g_runningMutex);
        g_runningMutex = nullptr;
    }
    ReleaseSRWLockExclusive(&g_runningLock);
}

}  // namespace

int PlatformAcquireInstanceLock(const char *path, int *error) {
    int unused;
    if (!error)
        error = &unused;
    *error = EINVAL;
    if (!path || !*path)
        return -1;
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = ErrnoOf(GetLastError());
        return -1;
    }
    // A lock on the first byte, held by this handle until it is closed; the
    // system drops it when the process ends.
    OVERLAPPED at = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        DWORD failure = GetLastError();
        CloseHandle(file);
        *error = failure == ERROR_LOCK_VIOLATION || failure == ERROR_IO_PENDING ? 0 : ErrnoOf(failure);
        return -1;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        *error = EMFILE;
        return -1;
    }
    HoldRunningMutex();
    *error = 0;
    return fd;
}

void PlatformReleaseInstanceLock(int fd) {
    if (fd < 0)
        return;
    DropRunningMutex();
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (file != INVALID_HANDLE_VALUE) {
        OVERLAPPED at = {};
        UnlockFileEx(file, 0, 1, 0, &at);
    }
    _close(fd);
}

// Dynamic loader wrappers over LoadLibraryW / GetProcAddress / FreeLibrary.
// Like dlerror, the last failure's text names what failed and is cleared
// once it has been read.

namespace {

thread_local std::string g_libError;

void SetLibError(const char *subject) {
    DWORD error = GetLastError();
    wchar_t message[256];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  message, sizeof message / sizeof message[0], nullptr);
    while (length > 0 && (message[length - 1] == L'\n' || message[length - 1] == L'\r' || message[length - 1] == L' '))
        message[--length] = L'\0';
    g_libError = std::string(subject) + ": " + (length > 0 ? Narrow(message) : "error " + std::to_string(error));
}

}  // namespace

LibraryHandle LibLoad(const char *path) {
    if (!path || !*path)
        return nullptr;
    // No "cannot find a DLL" box: a plugin that fails to load is only logged.
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        SetLibError(path);
    SetErrorMode(old);
    return reinterpret_cast<LibraryHandle>(module);
}

void *LibEntry(LibraryHandle library, const char *name) {
    if (!library || !name)
        return nullptr;
    FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!entry)
        SetLibError(name);
    void *address;
    static_assert(sizeof address == sizeof entry, "code and data pointers differ in size");
    memcpy(&address, &entry, sizeof address);
    return address;
}

void LibFree(LibraryHandle library) {
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
}

const char *LibError() {
    static thread_local std::string shown;
    shown.swap(g_libError);
    g_libError.clear();
    return shown.c_str();
}

FILE *PlatformOpenRegularFile(const char *path, bool *notRegular) {
    bool unused;
    if (!notRegular)
        notRegular = &unused;
    *notRegular = false;
    if (!path || !*path) {
        errno = path ? ENOENT : EINVAL;
        return nullptr;
    }
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD failure = GetLastError();
        // A folder cannot be opened this way: it is not a regular file.
        if (failure == ERROR_ACCESS_DENIED && PlatformFolderExists(path)) {
            *notRegular = true;
            errno = EINVAL;
        } else {
            errno = ErrnoOf(failure);
        }
        return nullptr;
    }
    // Devices (NUL, CON, COM1) and pipes are not read: they could block or
    // never end.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        *notRegular = true;
        errno = EINVAL;
        return nullptr;
    }
    return StreamOf(file, _O_RDONLY, "rb");
}

size_t PlatformNameLimit(const char *) { return 255; }  // NTFS, FAT32 long names and ReFS: 255 UTF-16 units

std::vector<PlatformFileEntry> PlatformListFiles(const char *folder) {
    std::vector<PlatformFileEntry> files;
    if (!folder || !*folder)
        return files;
    std::string base = folder;
    WithBackslash(base);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Wide((base + "*").c_str()).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        // FILETIME counts 100 ns steps since 1601-01-01.
        uint64_t ticks = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                         found.ftLastWriteTime.dwLowDateTime;
        int64_t seconds = static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
        files.push_back({Narrow(found.cFileName), seconds});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

int PlatformRemoveFile(const char *path) {
    if (!path)
        return EINVAL;
    return DeleteFileW(Wide(path).c_str()) ? 0 : ErrnoOf(GetLastError());
}

// Windows has no file-size signal: a write past a quota simply fails.
void PlatformIgnoreFileSizeSignal() {}

bool PlatformSyncFile(FILE *file) {
    return file && std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}
