// Whole-file replacement that never leaves a half-written file: the data goes
// to a temporary file in the target's folder, is flushed to disk, and is then
// renamed over the target.
#include "vorlo/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_counter{0};

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void SyncFolder(const std::string &folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);  // some file systems refuse this; the rename is done either way
    close(fd);
}

}  // namespace

bool PlatformWriteFileAtomic(const char *path, const void *data, size_t size) {
    if (!path || !*path || (!data && size > 0)) {
        errno = EINVAL;
        return false;
    }

    // A symbolic link stays in place; the file it points to is replaced.
    std::string target = path;
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *real = realpath(path, nullptr)) {
            target = real;
            free(real);
        }
    }

    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty()) {
        errno = EISDIR;
        return false;
    }

    bool exists = stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;  // never replace a folder, device or pipe
    }

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; attempt++) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        temp = (slash == std::string::npos ? std::string() : folder) + "." + base.substr(0, 100) +
               ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(g_counter++) + "-" +
               std::to_string(now.tv_nsec);
        // Readable by this user only, whatever the umask and the old file's
        // mode: data files hold account passwords and API keys.
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    fchmod(fd, 0600);

    bool ok = WriteAll(fd, static_cast<const char *>(data), size) && fsync(fd) == 0;
    int failure = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        errno = failure;
        return false;
    }
    SyncFolder(folder);
    return true;
}
