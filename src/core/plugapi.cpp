#include "plugapi.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>
#include <unistd.h>

#include "frontend.h"
#include "hostapi.h"
#include "log.h"
#include "settings.h"
#include "vorlo/memleak.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

uint32_t crcTable[256];
std::once_flag crcTableBuilt;

void BuildCrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
}

size_t WriteToFile(char *data, size_t size, size_t count, void *stream) {
    return std::fwrite(data, size, count, static_cast<FILE *>(stream));
}

std::wstring Wide(const std::string &text) {
    wchar_t *wide = ToWide(text.c_str());
    std::wstring result = wide ? wide : L"";
    ZFREE(wide);
    return result;
}

// The same line in the Downloads list and the Log: a delivery that failed in
// a way the user must act on.
void ReportBoth(const std::string &text) {
    LogDownload("%s", text.c_str());
    Log("%s", text.c_str());
}

// Hands the file to the desktop's program for its type. The program may read
// it long after this process has ended, so the file goes first into the
// handed-files folder, which exit leaves alone, and is opened from there. On
// failure the file stays there and the delivery counts as failed.
bool OpenHanded(const char *path, const char *kind) {
    char folder[1024];
    if (!PlatformHandedFolder(kHandedApp, folder, sizeof folder)) {
        ReportBoth(std::string("Error opening ") + kind + " with the default application: no folder to keep " +
                   path + " in");
        return false;
    }
    std::string name = CutFileName(FileNamePart(path), PlatformNameLimit(folder));
    std::string kept = std::string(folder) + name;
    if (kept != path) {
        // A file of this name is an earlier attempt at the same download.
        PlatformRemoveFile(kept.c_str());
        int error = PlatformMoveFile(path, kept.c_str());
        if (error != 0) {
            ReportBoth(std::string("Error moving ") + path + " to " + kept + ": " + std::strerror(error) + "!");
            return false;
        }
    }
    if (!PlatformOpen(kept.c_str())) {
        ReportBoth(std::string("Error opening ") + kind + " with the default application: no program took " + kept);
        return false;
    }
    LogDownload("Opened %s with the default application: %s", kind, kept.c_str());
    GetFrontEnd().ShowBalloon(Wide(std::string("Opened ") + kind + " with the default application: " + name));
    return true;
}

// Opens the file with the desktop's handler or moves it into the folder.
bool HandleFile(const char *path, bool open, const char *folder, const char *kind) {
    if (!path)
        return false;
    if (open)
        return OpenHanded(path, kind);
    // A name longer than the folder's file system takes (a long release
    // title) is shortened rather than refused.
    std::string name = CutFileName(FileNamePart(path), PlatformNameLimit(folder));
    std::string destination = std::string(folder) + name;
    int error = PlatformMoveFile(path, destination.c_str());
    if (error != 0) {
        LogDownload("Error renaming temp file: %s!", std::strerror(error));
        return false;
    }
    LogDownload("Downloaded %s to %s", kind, destination.c_str());
    GetFrontEnd().ShowBalloon(Wide(std::string("Downloaded ") + kind + " to " + name));
    return true;
}

// True for a byte that continues a UTF-8 character (10xxxxxx).
bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string CutFileName(const std::string &name, size_t limit) {
    if (name.size() <= limit)
        return name;
    size_t dot = name.rfind('.');
    // An extension is kept when it leaves room for at least one byte before it.
    std::string extension = dot != std::string::npos && dot > 0 && name.size() - dot < limit
                                ? name.substr(dot)
                                : std::string();
    size_t keep = limit - extension.size();
    while (keep > 0 && Continues(name[keep]))
        --keep;
    return name.substr(0, keep) + extension;
}

size_t DownloadNameLimit() {
    char temp[1024];
    size_t limit = PlatformNameLimit(PlatformPrivateTempFolder(temp, sizeof temp) ? temp : nullptr);
    for (const char *folder : {g_settings.NZB_Folder, g_settings.Torrent_Folder})
        if (folder[0] && PlatformFolderExists(folder))
            limit = std::min(limit, PlatformNameLimit(folder));
    return limit;
}

uint32_t Crc32(const void *data, size_t size) {
    std::call_once(crcTableBuilt, BuildCrcTable);
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = crcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string DownloadTempPath(const char *url, bool torrent) {
    std::string lower(url ? url : "");
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    char folder[1024];
    if (!PlatformPrivateTempFolder(folder, sizeof folder))
        return std::string();
    char name[128];
    std::snprintf(name, sizeof name, "quillon_dl.%u.%u.%s", static_cast<unsigned>(getpid()),
                  static_cast<unsigned>(Crc32(lower.data(), lower.size())),
                  torrent ? "torrent" : "nzb");
    return std::string(folder) + name;
}

bool DownloadFile(const char *url, bool torrent) {
    if (!url)
        url = "";
    CURL *handle = HostCurlEasyInit();
    if (!handle) {
        LogDownload("Error creating CURL handle for downloading!\n");
        return false;
    }
    std::string path = DownloadTempPath(url, torrent);
    // Only this process makes names in its private folder: a file of this
    // name is an earlier download of the same URL, which a new one replaces.
    if (!path.empty())
        PlatformRemoveFile(path.c_str());
    ReportTempFolderNotice();
    FILE *file = path.empty() ? nullptr : PlatformCreateFile(path.c_str());
    if (!file) {
        std::string reason = path.empty() ? std::string("no private temporary folder could be made")
                                          : path + ": " + std::strerror(errno);
        LogDownload("Error opening output file: %s\n", reason.c_str());
        HostCurlEasyCleanup(handle);
        return false;
    }
    HostCurlEasySetopt(handle, CURLOPT_URL, url);
    HostCurlEasySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    HostCurlEasySetopt(handle, CURLOPT_MAXREDIRS, 3L);
    HostCurlEasySetopt(handle, CURLOPT_FAILONERROR, 1L);
    HostCurlEasySetopt(handle, CURLOPT_WRITEFUNCTION, &WriteToFile);
    HostCurlEasySetopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(file));
    HostCurlEasySetopt(handle, CURLOPT_NOPROGRESS, 1L);
    CURLcode result = HostCurlEasyPerform(handle);
    HostCurlEasyCleanup(handle);
    // A file that cannot be completed on disk is as broken as a failed transfer.
    bool written = std::fclose(file) == 0;
    if (result == CURLE_OK && !written)
        result = CURLE_WRITE_ERROR;
    if (result != CURLE_OK) {
        // A stop the user asked for (or exit) is logged as the stop, not as
        // a failed download.
        if (result != CURLE_ABORTED_BY_CALLBACK)
            LogDownload("Error downloading file: %s!\n", curl_easy_strerror(result));
        PlatformRemoveFile(path.c_str());
        return false;
    }
    LogDownload("Downloaded %s", url);
    return torrent ? HandleTorrentFile(path.c_str()) : HandleNzbFile(path.c_str());
}

namespace {

// A magnet URI the host passes on: "magnet:" (any case) and no control
// characters, so that it stays one line in a file and one argument.
bool IsMagnetUri(const char *uri) {
    if (!uri || StrNICmp(uri, "magnet:", 7) != 0)
        return false;
    for (const char *p = uri; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < ' ' || c == 0x7F)
            return false;
    }
    return true;
}

// The URI with blanks written as %20, the form every client reads.
std::string EncodeBlanks(const char *uri) {
    std::string text;
    for (const char *p = uri; *p; ++p) {
        if (*p == ' ')
            text += "%20";
        else
            text += *p;
    }
    return text;
}

// Writes `text` to a new file `path` (0600, never an existing one); false
// with errno set on failure, and then no file is left behind.
bool WriteNewFile(const std::string &path, const std::string &text) {
    FILE *file = PlatformCreateFile(path.c_str());
    if (!file)
        return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = PlatformSyncFile(file) && written;
    int error = errno;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        PlatformRemoveFile(path.c_str());
        errno = error ? error : EIO;
    }
    return written;
}

}  // namespace

std::string MagnetFileName(const char *title) {
    std::string name = title && *title ? title : "magnet";
    if (name.size() > 200)
        name.resize(200);
    std::vector<char> buffer(name.begin(), name.end());
    buffer.resize(name.size() + 16, '\0');
    HostMakeFileName(buffer.data(), ".magnet");
    if (buffer[0] == '.')
        buffer[0] = '_';  // never a hidden file, never "." or ".."
    return buffer.data();
}

bool HandleMagnet(const char *uri, const char *title) {
    if (!IsMagnetUri(uri)) {
        LogDownload("Refused a link that is not a magnet link");
        return false;
    }
    std::string link = EncodeBlanks(uri);
    if (g_settings.Torrent_Exec) {
        if (!PlatformOpen(link.c_str())) {
            ReportBoth(std::string("Error opening the magnet link for ") + (title ? title : "") +
                       " with the default application: no program took it");
            return false;
        }
        LogDownload("Opened magnet link for %s", title ? title : "");
        GetFrontEnd().ShowBalloon(Wide(std::string("Opened magnet link for ") + (title ? title : "")));
        return true;
    }
    std::string name = MagnetFileName(title);
    std::string destination = std::string(g_settings.Torrent_Folder) + name;
    // The temporary name starts with a dot and does not end in ".magnet", so
    // no watching client takes it before it is complete.
    std::string temporary = std::string(g_settings.Torrent_Folder) + "." + name + ".part";
    PlatformRemoveFile(temporary.c_str());  // left by an earlier run that was cut off
    if (!WriteNewFile(temporary, link + "\n")) {
        LogDownload("Error writing magnet file: %s!", std::strerror(errno));
        return false;
    }
    int error = PlatformMoveFile(temporary.c_str(), destination.c_str());
    if (error != 0) {
        PlatformRemoveFile(temporary.c_str());
        LogDownload("Error renaming temp file: %s!", std::strerror(error));
        return false;
    }
    LogDownload("Downloaded Magnet to %s", destination.c_str());
    GetFrontEnd().ShowBalloon(Wide("Downloaded Magnet to " + name));
    return true;
}

void ReportTempFolderNotice() {
    std::string notice = PlatformTakeTempFolderNotice();
    if (!notice.empty())
        Log("%s", notice.c_str());
}

void RemoveOldHandedFiles(int64_t now) {
    char folder[1024];
    if (!PlatformHandedFolder(kHandedApp, folder, sizeof folder))
        return;
    for (const PlatformFileEntry &entry : PlatformListFiles(folder))
        if (now - entry.modified > kHandedKeepSeconds)
            PlatformRemoveFile((std::string(folder) + entry.name).c_str());
}

bool HandleNzbFile(const char *path) {
    return HandleFile(path, g_settings.NZB_Exec != 0, g_settings.NZB_Folder, "NZB");
}

bool HandleTorrentFile(const char *path) {
    return HandleFile(path, g_settings.Torrent_Exec != 0, g_settings.Torrent_Folder, "Torrent");
}
