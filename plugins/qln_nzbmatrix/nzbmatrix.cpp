// qln_nzbmatrix: searches the NZBMatrix index through its programming
// interface. The search answer is a line-oriented text of records; the first
// unseen release whose name holds the show's name and the episode tag is
// marked seen, downloaded through the download call and handed to the host.
// When the service asks for a pause ("please_wait_N") the plugin waits
// through the host and asks again, until the host shuts down.
#include "config.h"
#include "fetch.h"
#include "frame.h"

#include <vorlo/text.h>

#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

// Built-in addresses of the API host: searches over https, downloads over
// http. The "url" key of section "nzbmatrix" replaces both.
const char *const kDefaultSearchAddress = "https://api.nzbmatrix.com";
const char *const kDefaultDownloadAddress = "http://api.nzbmatrix.com";
const char *const kPluginName = "NZBMatrix";
const long kConnectTimeoutSeconds = 10;
const char *const kWaitMessage = "[NZBMatrix] API wants us to wait %u seconds and try again...";
const char kPleaseWait[] = "please_wait_";
const size_t kPleaseWaitLength = sizeof kPleaseWait - 1;
constexpr size_t kTextSize = 1024;

NzbMatrixSettings gSettings;
std::string gSearchAddress = kDefaultSearchAddress;
std::string gDownloadAddress = kDefaultDownloadAddress;

// What one search call found: the last "nzbid" read and the accepted release
// name or the text of an "error" line (empty = neither).
struct SearchResult {
    uint64_t releaseId = 0;
    char text[kTextSize] = {};
};

// The system temporary folder, ending in '/'.
std::string TempFolder() {
    std::error_code error;
    std::string folder = std::filesystem::temp_directory_path(error).string();
    if (error || folder.empty())
        folder = "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

size_t WriteToFile(char *block, size_t size, size_t count, void *file) {
    return std::fwrite(block, 1, size * count, static_cast<FILE *>(file));
}

void CopyText(char *to, const char *from) { std::snprintf(to, kTextSize, "%s", from); }

// Trims blanks at both ends, then removes one trailing ';'.
char *CleanValue(char *value) {
    Trim(value, kBlanks);
    size_t length = std::strlen(value);
    if (length && value[length - 1] == ';')
        value[length - 1] = '\0';
    return value;
}

// True when text begins with "please_wait_" (any case); `seconds` is then the
// number after it.
bool IsPleaseWait(const char *text, unsigned &seconds) {
    if (StrNICmp(text, kPleaseWait, kPleaseWaitLength) != 0)
        return false;
    unsigned long long value = std::strtoull(text + kPleaseWaitLength, nullptr, 10);
    seconds = value > UINT_MAX ? UINT_MAX : static_cast<unsigned>(value);
    return true;
}

// A release name fits when it is unseen, holds the show's name as typed and
// one of the two episode tags.
bool FitsEpisode(const char *release, const std::string &showName, const char *longTag,
                 const char *shortTag) {
    if (FrameHost()->IsSeen(release))
        return false;
    if (!FindNoCase(release, showName.c_str()))
        return false;
    return HasEpisodeTag(release, longTag) || HasEpisodeTag(release, shortTag);
}

// Reads the search answer's lines into `result` until a release name was
// accepted and an id is present.
void ReadSearchAnswer(char *answer, size_t capacity, const std::string &showName,
                      const char *longTag, const char *shortTag, SearchResult &result) {
    ReplaceAll(answer, capacity, "\r", "\n");
    ReplaceAll(answer, capacity, "\n\n", "\n");
    char *line = answer;
    while (line) {
        char *end = std::strchr(line, '\n');
        if (end)
            *end = '\0';
        if (result.text[0] && result.releaseId != 0)
            break;
        if (char *colon = std::strchr(line, ':')) {
            *colon = '\0';
            char *key = Trim(line, kBlanks);
            char *value = CleanValue(colon + 1);
            if (StrICmp(key, "error") == 0)
                CopyText(result.text, value);
            else if (StrICmp(key, "NZBNAME") == 0) {
                if (FitsEpisode(value, showName, longTag, shortTag))
                    CopyText(result.text, value);
            } else if (StrICmp(key, "nzbid") == 0)
                result.releaseId = std::strtoull(value, nullptr, 10);
        }
        line = end ? end + 1 : nullptr;
    }
}

// One search call. True when an answer was received and read into `result`.
bool SearchOnce(const std::string &url, const std::string &showName, const char *longTag,
                const char *shortTag, SearchResult &result) {
    const QLN_HOST_API *host = FrameHost();
    const QLN_CURL_API *curl = host->Curl;
    result = SearchResult();
    CURL *handle = curl->curl_easy_init();
    if (!handle) {
        host->Log("[NZBMatrix] Error allocating CURL handle!");
        return false;
    }
    ReceiveBuffer answer;
    // TLS peers stay verified (libcurl's default): the URL carries the API key.
    curl->curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    curl->curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_write_callback write = AppendReceived;
    curl->curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, write);
    curl->curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(&answer));
    curl->curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    CURLcode code = curl->curl_easy_perform(handle);
    curl->curl_easy_cleanup(handle);
    if (code != CURLE_OK) {
        host->Log("[NZBMatrix] Error searching: %s", curl->curl_easy_strerror(code));
        FreeReceived(answer);
        return false;
    }
    if (answer.data)
        ReadSearchAnswer(answer.data, answer.size + 1, showName, longTag, shortTag, result);
    FreeReceived(answer);
    return true;
}

// Name of the temporary NZB file: "<id>_<name>.nzb" made safe by the host,
// or "qln_nzbmatrix_<id>.nzb" without a name.
std::string NzbFileName(uint64_t releaseId, const char *name) {
    if (!name || !*name) {
        char plain[64];
        std::snprintf(plain, sizeof plain, "qln_nzbmatrix_%" PRIu64 ".nzb", releaseId);
        return plain;
    }
    std::vector<char> safe(std::strlen(name) + 32);
    std::snprintf(safe.data(), safe.size(), "%" PRIu64 "_%s", releaseId, name);
    FrameHost()->MakeFileName(safe.data(), ".nzb");
    return safe.data();
}

// One download call into `file`; true when it ran without a transfer error.
bool DownloadOnce(uint64_t releaseId, FILE *file) {
    const QLN_HOST_API *host = FrameHost();
    const QLN_CURL_API *curl = host->Curl;
    CURL *handle = curl->curl_easy_init();
    if (!handle) {
        host->LogDownload("[NZBMatrix] Error allocating CURL handle!");
        return false;
    }
    char id[32];
    std::snprintf(id, sizeof id, "%" PRIu64, releaseId);
    std::string url = gDownloadAddress + "/v1.1/download.php?username=" + gSettings.user +
                      "&apikey=" + gSettings.key + "&id=" + id;
    curl->curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    curl_write_callback write = WriteToFile;
    curl->curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, write);
    curl->curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(file));
    curl->curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl->curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    CURLcode code = curl->curl_easy_perform(handle);
    curl->curl_easy_cleanup(handle);
    if (code == CURLE_OK && std::fflush(file) != 0)
        code = CURLE_WRITE_ERROR;
    if (code != CURLE_OK) {
        host->LogDownload("[NZBMatrix] Error downloading: %s", curl->curl_easy_strerror(code));
        return false;
    }
    return true;
}

// Downloads release `releaseId` into a temporary file and hands it to the
// host, asking again for as long as the service requests a pause and the
// host is not shutting down. True when the host took the file.
bool Download(uint64_t releaseId, const char *name) {
    const QLN_HOST_API *host = FrameHost();
    std::string path = TempFolder() + NzbFileName(releaseId, name);
    unsigned wait = 0;
    bool retry = true;
    bool downloaded = false;
    while (retry && !host->IsShuttingDown()) {
        retry = false;
        FILE *file = std::fopen(path.c_str(), "w+b");
        if (!file) {
            host->LogDownload("[NZBMatrix] Error opening temp file: %s!", path.c_str());
            break;
        }
        if (DownloadOnce(releaseId, file)) {
            char head[kTextSize];
            std::rewind(file);
            size_t n = std::fread(head, 1, kTextSize - 1, file);
            head[n] = '\0';
            if (StrNICmp(head, "error:", 6) != 0) {
                host->LogDownload("[NZBMatrix] Downloaded NZB with Download API\n");
                downloaded = true;
            } else {
                char *error = CleanValue(head + 6);
                if (IsPleaseWait(error, wait)) {
                    host->LogDownload(kWaitMessage, wait);
                    host->SleepSeconds(wait);
                    retry = true;
                } else {
                    host->LogDownload("[NZBMatrix] API returned error: %s\n", error);
                }
            }
        }
        std::fclose(file);
    }
    bool delivered = downloaded && host->HandleNzbFile(path.c_str());
    host->SleepSeconds(wait);
    return delivered;
}

int NzbMatrixInit(int, const QLN_HOST_API *host) {
    FrameSetHost(host);
    ReadTextSetting(kNzbMatrixSection, "user", gSettings.user);
    ReadTextSetting(kNzbMatrixSection, "key", gSettings.key);
    gSearchAddress = ReadServiceAddress(kNzbMatrixSection, kDefaultSearchAddress);
    gDownloadAddress = ReadServiceAddress(kNzbMatrixSection, kDefaultDownloadAddress);
    return 0;
}

bool NzbMatrixGetStatus(char *buffer, int size) {
    return CheckAccountSettings(gSettings.user, gSettings.key, "No API Key Set in Plugin", buffer, size);
}

void NzbMatrixShutdown() {}

void NzbMatrixConfigure(void *parent) {
    const QLN_HOST_API *host = FrameHost();
    if (!host || !host->PluginsIniPath)
        return;
    RunNzbMatrixSettingsDialog(parent, gSettings, host->PluginsIniPath, kPluginName);
}

bool NzbMatrixSearch(const Show *show, int season, int episode) {
    const QLN_HOST_API *host = FrameHost();
    if (!NzbMatrixGetStatus(nullptr, 0))
        return false;

    char longTag[32], shortTag[32];
    std::snprintf(longTag, sizeof longTag, "S%02dE%02d", season, episode);
    std::snprintf(shortTag, sizeof shortTag, "%dx%02d", season, episode);
    std::string name = BoundedText(show->ShowName, sizeof show->ShowName);
    std::string keywords = BoundedText(show->Keywords, sizeof show->Keywords);

    // Decoded, the search text is: +"<name>" <long tag> " <short tag>"
    // [ <keywords>] [ +x264].
    std::string url = gSearchAddress + "/v1.1/search.php?username=" + gSettings.user +
                      "&apikey=" + gSettings.key + "&larger=50" + "&search=%2B\"";
    if (!AppendEscaped(url, name))
        return false;
    url += "\"%20";
    url += longTag;
    url += "%20\"%20";
    url += shortTag;
    url += "\"";
    if (!keywords.empty()) {
        url += "%20";
        if (!AppendEscaped(url, keywords))
            return false;
    }
    if (show->HD_Only)
        url += "%20%2Bx264";

    unsigned wait = 0;
    bool retry = true;
    bool delivered = false;
    while (retry && !host->IsShuttingDown()) {
        SearchResult result;
        if (!SearchOnce(url, name, longTag, shortTag, result))
            break;
        retry = false;
        if (result.releaseId != 0 && result.text[0]) {
            host->LogDownload("[NZBMatrix] While searching for %s ...", name.c_str());
            host->LogDownload("[NZBMatrix] Found NZB: %" PRIu64 " - %s", result.releaseId,
                              result.text);
            host->MarkSeen(result.text);
            host->SleepSeconds(wait);
            delivered = Download(result.releaseId, result.text);
            break;
        }
        if (IsPleaseWait(result.text, wait)) {
            host->Log(kWaitMessage, wait);
            host->SleepSeconds(wait);
            retry = true;
        } else if (result.text[0] && StrICmp(result.text, "nothing_found") != 0) {
            host->Log("[NZBMatrix] Error searching: %s", result.text);
        }
    }
    host->SleepSeconds(wait);
    return delivered;
}

QLN_PLUGIN gPlugin = {
    QLN_INTERFACE_VERSION,
    "{A81F4D26-7C3B-4B95-8E02-5D6F19B3C7A4}",
    kPluginName,
    "Varnek Software",
    "NZB",
    NzbMatrixInit,
    NzbMatrixGetStatus,
    NzbMatrixShutdown,
    NzbMatrixConfigure,
    NzbMatrixSearch,
    nullptr,
};

} // namespace

extern "C" {
QLN_EXPORT int QLN_NumPlugins(void) { return 1; }
QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int) { return &gPlugin; }
}
