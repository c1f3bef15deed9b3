// The small platform layer: where files go, opening documents with the
// desktop's handler, moving files without replacing, and the single-instance
// lock. Paths are folder paths ending in '/' unless stated otherwise.
// platform.cpp and atomicfile.cpp implement it on POSIX as described below;
// platform_win32.cpp on Windows, where paths are UTF-8 (UTF-16 at the system
// calls), folders end in a backslash, the data folder is "%APPDATA%\<app>\",
// the temporary folder is GetTempPathW's, the private one "<temp>quillon\<pid>\",
// the handed-files folder "%LOCALAPPDATA%\<app>\opened\", PlatformOpen is
// ShellExecuteW "open", moves are MoveFileExW without
// replacing, and the instance lock is LockFileEx on the file's first byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include <ctime>

// Stored times are 64-bit seconds; a 32-bit time_t would wrap in 2038.
static_assert(sizeof(time_t) == 8, "time_t must be 64 bits (32-bit builds: _TIME_BITS=64 or __MINGW_USE_VC2005_COMPAT)");

// $XDG_DATA_HOME (or $HOME/.local/share when it is unset, empty or not an
// absolute path) with "/<app>/" appended, creating the missing base folders
// and the app folder with mode 0700. Writes "./" and returns false when no
// such folder can be named or created, or the path does not fit `size`.
bool PlatformDataFolder(const char *app, char *out, size_t size);
// The system temporary folder ($TMPDIR, else /tmp) with '/' appended.
void PlatformTempFolder(char *out, size_t size);
// This process's private temporary folder, "<temp>/quillon-<uid>/<pid>/":
// the per-user folder is created 0700 and must be a real folder owned by this
// user (never a link another user planted); the per-process folder inside it
// is created 0700 as well. Nobody else can create names in it. Writes "" and
// returns false when it cannot be made safe or does not fit `size`.
bool PlatformPrivateTempFolder(char *out, size_t size);
// When "<temp>/quillon-<uid>/" is not safe (a file, a link, a folder of
// another user or one others can enter), a fresh folder made by mkdtemp
// ("<temp>/quillon-<uid>-XXXXXX/") takes its place for the rest of the run.
// Removes the per-process folders of this user's earlier runs that are no
// longer running (whatever they left inside). Running processes' folders stay.
void PlatformRemoveStaleTempFolders();
// Removes this process's private temporary folder and what it holds, then
// the per-user folder around it when nothing else is left in it.
void PlatformRemovePrivateTempFolder();
// Once per run, after the expected per-user temporary folder was found
// unsafe: a sentence naming it, the reason and the folder used instead.
// Empty otherwise, and on every later call.
std::string PlatformTakeTempFolderNotice();
// The folder that keeps files handed to other programs (which may read them
// long after this process has ended): $XDG_CACHE_HOME (or $HOME/.cache when
// unset or not absolute) with "/<app>/opened/" appended, the missing folders
// created 0700. Nothing removes it at exit. Writes "" and returns false when
// it cannot be made or does not fit `size`.
bool PlatformHandedFolder(const char *app, char *out, size_t size);
// Creates `path` for writing in binary mode, exclusively (fails with EEXIST
// when any file or link of that name exists) and readable by this user only
// (0600). NULL with errno set on failure.
FILE *PlatformCreateFile(const char *path);
// Flushes `file`'s buffer and the system's cache of it to the disk; false
// (errno set) when either fails.
bool PlatformSyncFile(FILE *file);
// Opens `path` for binary reading only when it is a regular file (a link is
// followed to what it names). A pipe, device or folder is never opened in a
// way that could block or never end: NULL with *notRegular set true. Any
// other failure gives NULL with errno set and *notRegular false.
FILE *PlatformOpenRegularFile(const char *path, bool *notRegular = nullptr);
// The longest file name (in bytes) the file system of `folder` accepts.
size_t PlatformNameLimit(const char *folder);

struct PlatformFileEntry {
    std::string name;   // without the folder
    int64_t modified;   // seconds since 1970-01-01 UTC
};
// The regular files directly inside `folder` (links and folders left out).
std::vector<PlatformFileEntry> PlatformListFiles(const char *folder);
// Removes a file; 0 or the errno value of the failure.
int PlatformRemoveFile(const char *path);

// A write beyond the process's file-size limit fails with EFBIG instead of
// killing the program with SIGXFSZ.
void PlatformIgnoreFileSizeSignal();

// The separator paths are built with: the backslash on Windows, where '/'
// is accepted too but a path mixing both would be cut at its last backslash
// by FileNamePart; '/' elsewhere.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif
inline bool IsPathSeparator(char c) { return c == '/' || c == kPathSeparator; }

// fopen for a UTF-8 path. (Windows: through _wfopen, since the narrow C
// calls there read names in the system code page.) NULL with errno set.
FILE *PlatformOpenFile(const char *path, const char *mode);
// The folder of the running executable (/proc/self/exe), ending in '/'.
void PlatformProgramFolder(char *out, size_t size);

// Starts `xdg-open target` detached (found through PATH, in its own session,
// never a child of the caller). Waits up to kOpenVerdictMs for its exit
// status: false when it could not be started (no xdg-open on PATH) or ended
// with a failure (no program for the type), true when it succeeded or is
// still running then (a program that keeps it waiting has the file).
constexpr int kOpenVerdictMs = 3000;
bool PlatformOpen(const char *target);

// Moves a file, never replacing an existing destination. Falls back to copy
// and delete when the two paths are on different file systems (a partial copy
// is removed; the copy keeps the source's permission bits). Returns 0 or the
// errno value of the failure (EEXIST when the destination exists).
int PlatformMoveFile(const char *from, const char *to);

bool PlatformFileExists(const char *path);
bool PlatformFolderExists(const char *path);
// Creates one folder level; true when it exists afterwards.
bool PlatformMakeFolder(const char *path, unsigned mode = 0755);

// Writes `size` bytes to `path` through a temporary file in the same folder
// that is flushed to disk and renamed over the target: the old file is either
// kept whole or replaced whole. The file is readable by this user only
// (0600). False (old file untouched, errno the failure's) on any failure.
bool PlatformWriteFileAtomic(const char *path, const void *data, size_t size);

// Writes `size` bytes over the start of `path` (created when missing, 0666
// less the umask) and cuts the file to that length only when it was longer.
// Unlike emptying and rewriting, this does not make file systems that flush
// an emptied-and-rewritten file on close (ext4) wait for the disk. Not
// atomic: for throwaway copies. False (errno set) when it cannot be opened or
// written.
bool PlatformOverwriteFile(const char *path, const void *data, size_t size);

// Single-instance lock: an exclusive, non-blocking flock on `path`, held until
// PlatformReleaseInstanceLock or process exit. Returns a descriptor >= 0, or
// -1 when another process holds it or the file cannot be opened; *error is
// then 0 for a lock held elsewhere, else the errno value of the failure. On
// Windows the process also holds the named mutex "Local\Varnek_Quillon" while
// it holds any instance lock, for installers to find a running copy.
int PlatformAcquireInstanceLock(const char *path, int *error = nullptr);
void PlatformReleaseInstanceLock(int fd);
