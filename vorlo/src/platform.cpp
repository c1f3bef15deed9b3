// POSIX platform layer: data, temporary and program folders, opening with the
// desktop's handler, moving files without replacing, single-instance lock.
#include "vorlo/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace {

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

void WithSlash(std::string &path) {
    if (path.empty() || path.back() != '/')
        path += '/';
}

// Creates every missing folder of `path` with `mode`; true when it is a folder
// afterwards.
bool MakeFolders(const std::string &path, unsigned mode) {
    if (path.empty())
        return false;
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '/') {
            std::string part = path.substr(0, at);
            if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
                return false;
        }
    }
    return PlatformFolderExists(path.c_str());
}

int CopyThenDelete(const char *from, const char *to) {
    int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat st;
    if (fstat(in, &st) != 0) {
        int error = errno;
        close(in);
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        close(in);
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    // O_EXCL: an existing destination is never replaced.
    int out = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        int error = errno;
        close(in);
        return error;
    }
    int error = 0;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                break;
            }
            done += put;
        }
        if (error)
            break;
    }
    if (!error && fsync(out) != 0)
        error = errno;
    if (close(out) != 0 && !error)
        error = errno;
    close(in);
    if (error) {
        unlink(to);  // never leave a partial copy behind
        return error;
    }
    // The copy is whole; a source that cannot be removed stays as a duplicate.
    unlink(from);
    return 0;
}

}  // namespace

bool PlatformDataFolder(const char *app, char *out, size_t size) {
    std::string base;
    const char *xdg = getenv("XDG_DATA_HOME");
    const char *home = getenv("HOME");
    // Only absolute paths name a folder; a relative one is ignored.
    auto withoutSlashes = [](std::string path) {
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        return path;
    };
    if (xdg && xdg[0] == '/')
        base = withoutSlashes(xdg);
    else if (home && home[0] == '/')
        base = withoutSlashes(home) + "/.local/share";
    std::string folder;
    if (!base.empty() || (xdg && xdg[0] == '/'))
        folder = base + "/" + (app ? app : "") + "/";
    if (folder.empty() || !app || !*app || folder.size() + 1 > size || (!base.empty() && !MakeFolders(base, 0700)) ||
        !PlatformMakeFolder(folder.c_str(), 0700)) {
        CopyOut("./", out, size);
        return false;
    }
    return CopyOut(folder, out, size);
}

void PlatformTempFolder(char *out, size_t size) {
    std::error_code ec;
    std::string folder = std::filesystem::temp_directory_path(ec).string();
    if (ec || folder.empty())
        folder = "/tmp";
    WithSlash(folder);
    CopyOut(folder, out, size);
}

namespace {

std::mutex g_tempLock;
std::string g_tempFallback;  // the mkdtemp folder once the expected one was refused
std::string g_tempRefused;   // the folder it stands in for
std::string g_tempNotice;    // said once through PlatformTakeTempFolderNotice

// Why the per-user folder `root` cannot be used; empty when it is safe (a
// real folder of this user that nobody else can enter).
std::string UnsafeReason(const std::string &root) {
    if (mkdir(root.c_str(), 0700) != 0 && errno != EEXIST)
        return std::strerror(errno);
    // lstat on the name without a trailing '/': a link planted under our name
    // is refused, not followed.
    struct stat st;
    if (lstat(root.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return "it is a symbolic link";
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder";
    if (st.st_uid != geteuid())
        return "it belongs to another user";
    if ((st.st_mode & 077) != 0 && chmod(root.c_str(), 0700) != 0)
        return "others can enter it";
    return std::string();
}

// "<temp>/quillon-<uid>/" after making sure it is this user's own folder with
// no access for others; else this run's mkdtemp folder beside it. Empty when
// neither can be had.
std::string PrivateTempRoot() {
    char temp[4096];
    PlatformTempFolder(temp, sizeof temp);
    std::string root = std::string(temp) + "quillon-" + std::to_string(static_cast<unsigned long>(geteuid()));
    std::lock_guard<std::mutex> hold(g_tempLock);
    struct stat st;
    if (!g_tempFallback.empty() && g_tempRefused == root && lstat(g_tempFallback.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode) && st.st_uid == geteuid())
        return g_tempFallback;
    g_tempFallback.clear();
    std::string reason = UnsafeReason(root);
    if (reason.empty())
        return root + "/";
    std::string pattern = root + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return std::string();
    g_tempFallback = pattern + "/";
    g_tempRefused = root;
    g_tempNotice = "The temporary folder " + root + " cannot be used (" + reason + "); downloads go to " +
                   pattern + " instead.";
    return g_tempFallback;
}

// Removes `path` and, for a folder, everything below it; links are removed,
// never followed.
void RemoveTree(const std::string &path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

}  // namespace

bool PlatformPrivateTempFolder(char *out, size_t size) {
    std::string root = PrivateTempRoot();
    if (root.empty()) {
        CopyOut("", out, size);
        return false;
    }
    std::string folder = root + std::to_string(static_cast<long>(getpid()));
    struct stat st;
    if ((mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) || lstat(folder.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        CopyOut("", out, size);
        return false;
    }
    return CopyOut(folder + "/", out, size);
}

void PlatformRemoveStaleTempFolders() {
    std::string root = PrivateTempRoot();
    if (root.empty())
        return;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        char *stop = nullptr;
        long pid = std::strtol(name.c_str(), &stop, 10);
        bool isPid = !name.empty() && stop && *stop == '\0' && pid > 0;
        // A folder of a process that still runs (another copy of the program
        // with its own data folder) is left alone.
        if (isPid && (pid == static_cast<long>(getpid()) || kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
            continue;
        RemoveTree(it->path().string());
    }
}

void PlatformRemovePrivateTempFolder() {
    std::string root = PrivateTempRoot();
    if (root.empty())
        return;
    RemoveTree(root + std::to_string(static_cast<long>(getpid())));
    // Only an empty folder goes: another copy's folder may still be inside.
    root.pop_back();
    rmdir(root.c_str());
}

std::string PlatformTakeTempFolderNotice() {
    std::lock_guard<std::mutex> hold(g_tempLock);
    std::string notice;
    notice.swap(g_tempNotice);
    return notice;
}

bool PlatformHandedFolder(const char *app, char *out, size_t size) {
    const char *xdg = getenv("XDG_CACHE_HOME");
    const char *home = getenv("HOME");
    auto withoutSlashes = [](std::string path) {
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        return path;
    };
    std::string base;
    if (xdg && xdg[0] == '/')
        base = withoutSlashes(xdg);
    else if (home && home[0] == '/')
        base = withoutSlashes(home) + "/.cache";
    if ((base.empty() && !(xdg && xdg[0] == '/')) || !app || !*app) {
        CopyOut("", out, size);
        return false;
    }
    std::string folder = base + "/" + app + "/opened";
    if (!MakeFolders(folder, 0700) || !CopyOut(folder + "/", out, size)) {
        CopyOut("", out, size);
        return false;
    }
    return true;
}

FILE *PlatformCreateFile(const char *path) {
    if (!path) {
        errno = EINVAL;
        return nullptr;
    }
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    FILE *file = fdopen(fd, "wb");
    if (!file) {
        int error = errno;
        close(fd);
        unlink(path);
        errno = error;
    }
    return file;
}

void PlatformProgramFolder(char *out, size_t size) {
    char exe[4096];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string folder = "./";
    if (length > 0) {
        exe[length] = '\0';
        if (char *slash = strrchr(exe, '/'))
            folder.assign(exe, static_cast<size_t>(slash - exe) + 1);
    }
    CopyOut(folder, out, size);
}

bool PlatformOpen(const char *target) {
    if (!target)
        return false;
    // A short-lived child starts xdg-open in its own session and exits at once,
    // so xdg-open is never our child: nobody has to wait for it.
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        setsid();
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        char program[] = "xdg-open";
        char *argv[] = {program, const_cast<char *>(target), nullptr};
        pid_t opener;
        if (posix_spawnp(&opener, program, nullptr, &attr, argv, environ) != 0)
            _exit(1);
        // xdg-open that finds no program for the type ends at once with a
        // failure; one still running after a moment has handed the file on
        // (a program it waits for has it). Leaving then makes it init's child.
        for (int waited = 0; waited < kOpenVerdictMs; waited += 50) {
            int status = 0;
            pid_t done = waitpid(opener, &status, WNOHANG);
            if (done == opener)
                _exit(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1);
            if (done < 0 && errno != EINTR)
                break;
            struct timespec slice = {0, 50 * 1000 * 1000};
            nanosleep(&slice, nullptr);
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int PlatformMoveFile(const char *from, const char *to) {
    if (!from || !to)
        return EINVAL;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    int error = errno;
    if (error == EXDEV)
        return CopyThenDelete(from, to);
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
        return error;
    // The file system cannot rename without replacing: a hard link never
    // replaces either.
    if (link(from, to) == 0) {
        unlink(from);
        return 0;
    }
    error = errno;
    if (error == EXDEV)
        return CopyThenDelete(from, to);
    if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP)
        return error;
    // No hard links either: check, then rename.
    struct stat st;
    if (lstat(to, &st) == 0)
        return EEXIST;
    if (rename(from, to) == 0)
        return 0;
    return errno == EXDEV ? CopyThenDelete(from, to) : errno;
}

bool PlatformFileExists(const char *path) {
    struct stat st;
    return path && stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PlatformFolderExists(const char *path) {
    struct stat st;
    return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool PlatformMakeFolder(const char *path, unsigned mode) {
    if (!path || !*path)
        return false;
    if (mkdir(path, static_cast<mode_t>(mode)) == 0)
        return true;
    return errno == EEXIST && PlatformFolderExists(path);
}

bool PlatformOverwriteFile(const char *path, const void *data, size_t size) {
    if (!path || (!data && size > 0)) {
        errno = EINVAL;
        return false;
    }
    int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat before {};
    const bool sizeKnown = fstat(fd, &before) == 0;
    const char *bytes = static_cast<const char *>(data);
    size_t written = 0;
    bool ok = true;
    while (written < size) {
        ssize_t n = write(fd, bytes + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<size_t>(n);
    }
    // Cutting costs a journal update even when the length does not change,
    // so the file is cut only when the old bytes reach past the new ones.
    if (ok && (!sizeKnown || before.st_size > static_cast<off_t>(written)) &&
        ftruncate(fd, static_cast<off_t>(written)) != 0)
        ok = false;
    int error = errno;
    close(fd);
    errno = error;
    return ok;
}

int PlatformAcquireInstanceLock(const char *path, int *error) {
    int unused;
    if (!error)
        error = &unused;
    *error = EINVAL;
    if (!path)
        return -1;
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        *error = errno == EWOULDBLOCK ? 0 : errno;
        close(fd);
        return -1;
    }
    *error = 0;
    return fd;
}

void PlatformReleaseInstanceLock(int fd) {
    if (fd < 0)
        return;
    flock(fd, LOCK_UN);
    close(fd);
}

bool PlatformSyncFile(FILE *file) {
    return file && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

FILE *PlatformOpenRegularFile(const char *path, bool *notRegular) {
    bool unused;
    if (!notRegular)
        notRegular = &unused;
    *notRegular = false;
    if (!path) {
        errno = EINVAL;
        return nullptr;
    }
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        *notRegular = true;
        errno = EINVAL;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *stream = fdopen(fd, "rb");
    if (!stream) {
        int failure = errno;
        close(fd);
        errno = failure;
    }
    return stream;
}

size_t PlatformNameLimit(const char *folder) {
    long limit = pathconf(folder && *folder ? folder : ".", _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

std::vector<PlatformFileEntry> PlatformListFiles(const char *folder) {
    std::vector<PlatformFileEntry> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder ? folder : "", ec), end; !ec && it != end;
         it.increment(ec)) {
        struct stat st;
        std::string path = it->path().string();
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        files.push_back({it->path().filename().string(), static_cast<int64_t>(st.st_mtime)});
    }
    return files;
}

int PlatformRemoveFile(const char *path) { return path && unlink(path) == 0 ? 0 : (path ? errno : EINVAL); }

void PlatformIgnoreFileSizeSignal() { signal(SIGXFSZ, SIG_IGN); }

FILE *PlatformOpenFile(const char *path, const char *mode) {
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    return fopen(path, mode);
}
