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

// Opens the file with the desktop's handler or moves it into the folder.
bool HandleFile(const char *path, bool open, const char *folder, const char *kind) {
    if (!path)
        return false;
    if (open) {
        // The file stays where it is; a handler that fails to start is not
        // the download's failure.
        PlatformOpen(path);
        return true;
    }
    // A name longer than the folder's file system takes (a long release
    // title) is shortened rather than refused: the release is seen already.
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
    FILE *file = path.empty() ? nullptr : PlatformCreateFile(path.c_str());
    if (!file) {
        LogDownload("Error opening output file: %s\n", path.c_str());
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
        PlatformOpen(link.c_str());
        LogDownload("Opened magnet link for %s", title ? title : "");
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

bool HandleNzbFile(const char *path) {
    return HandleFile(path, g_settings.NZB_Exec != 0, g_settings.NZB_Folder, "NZB");
}

bool HandleTorrentFile(const char *path) {
    return HandleFile(path, g_settings.Torrent_Exec != 0, g_settings.Torrent_Folder, "Torrent");
}
