// Download services for plugins: fetch a release file into the temporary
// folder, then open it with the desktop's handler or move it into the NZB or
// torrent folder, as the main settings say. Outcomes go to the Downloads list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Fetches the URL into a temporary file and hands it to HandleTorrentFile
// (torrent) or HandleNzbFile; false when the fetch or the hand-over failed.
bool DownloadFile(const char *url, bool torrent);
// Opens the file (NZB_Exec) or moves it into NZB_Folder; true on success.
// A file to be opened is first moved into the handed-files folder
// (PlatformHandedFolder), which outlives this process; when the system has no
// program to take it, the Log and the Downloads list say so and it stays there.
bool HandleNzbFile(const char *path);
// The same with Torrent_Exec and Torrent_Folder.
bool HandleTorrentFile(const char *path);

// Hands over a magnet link found for release `title`: with Torrent_Exec the
// desktop's handler opens the URI; otherwise "<title>.magnet" (the title made
// a safe file name) holding the URI on one line is written into
// Torrent_Folder under a temporary name and renamed into place, so a watching
// client never reads half a file. Only "magnet:" URIs without control
// characters are taken; blanks are passed on as %20. False (with a Downloads
// line) on failure.
bool HandleMagnet(const char *uri, const char *title);
// The name HandleMagnet gives the file for `title`: "<safe title>.magnet".
std::string MagnetFileName(const char *title);

// The application folder name of the handed-files folder, and how long a
// file stays there: the program it was handed to has long read it by then.
constexpr const char *kHandedApp = "Quillon";
constexpr int64_t kHandedKeepSeconds = int64_t(7) * 24 * 60 * 60;
// Removes the handed files older than kHandedKeepSeconds at `now`.
void RemoveOldHandedFiles(int64_t now);
// Writes the platform layer's note about a refused temporary folder to the
// Log (once per run).
void ReportTempFolderNotice();

// The reflected CRC-32 (polynomial 0xEDB88320, the checksum of zlib).
uint32_t Crc32(const void *data, size_t size);
// The temporary file DownloadFile uses for a URL, in this process's private
// temporary folder (no other user can create names there):
// <private folder>quillon_dl.<pid>.<crc of the lower-cased URL>.<nzb|torrent>
// Empty when no private folder can be made.
std::string DownloadTempPath(const char *url, bool torrent);

// `name` (a file name without folder) cut to at most `limit` bytes: the part
// before the extension is shortened at a UTF-8 character boundary and the
// extension (from the last '.', when it is short) is kept.
std::string CutFileName(const std::string &name, size_t limit);
// The longest file name that fits the temporary folder and both download
// folders.
size_t DownloadNameLimit();
