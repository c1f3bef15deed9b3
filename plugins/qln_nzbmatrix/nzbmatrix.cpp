// qln_nzbmatrix: searches the NZBMatrix index through its programming
// interface. The search answer is a line-oriented text of records; the first
// unseen release whose name holds the show's name and the episode tag is
// marked seen, downloaded through the download call and handed to the host.
// When the service asks for a pause ("please_wait_N") the plugin waits
// through the host and asks again, a few times in one pass at most and not
// once the host is shutting down.
#include "config.h"
#include "fetch.h"
#include "frame.h"
#include "nzbfile.h"

#include <vorlo/text.h>

#include <cctype>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
const char *const kNoHandle = "[NZBMatrix] Error allocating CURL handle!";
// Requested pauses obeyed in one search (or one download) before it gives
// up until the next pass.
constexpr int kMaxWaitsPerPass = 5;
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
// number after it, but at least one: a wait of 0, or one that is no number,
// would otherwise make the plugin ask again at once, without end.
bool IsPleaseWait(const char *text, unsigned &seconds) {
    if (StrNICmp(text, kPleaseWait, kPleaseWaitLength) != 0)
        return false;
    const char *number = text + kPleaseWaitLength;
    unsigned long long value =
        std::isdigit(static_cast<unsigned char>(*number)) ? std::strtoull(number, nullptr, 10) : 0;
    seconds = value < 1 ? 1 : value > UINT_MAX ? UINT_MAX : static_cast<unsigned>(value);
    return true;
}

// Writes the Downloads line for a release that was marked seen but will not
// be downloaded, so that the user learns which one it was.
void ReportNotDownloaded(const char *name, const char *reason) {
    FrameHost()->LogDownload("[NZBMatrix] %s was marked seen but not downloaded: %s\n", name, reason);
}

// A release name fits when it is unseen, holds the show's name as typed and
// the wanted episode as the shared reading of release titles finds it.
bool FitsEpisode(const char *release, const std::string &showName, int season, int episode) {
    if (FrameHost()->IsSeen(release))
        return false;
    if (!FindNoCase(release, showName.c_str()))
        return false;
    return HoldsEpisode(release, season, episode);
}

// Reads the search answer's lines into `result` until a release name was
// accepted and an id is present. Lines end at "\r" or "\n"; the empty lines
// between them are passed over like every line without ":". One pass over
// the answer: it may be megabytes long.
void ReadSearchAnswer(char *answer, const std::string &showName, int season, int episode,
                      SearchResult &result) {
    char *line = answer;
    for (;;) {
        // Found by hand, not with a string function that would measure the
        // whole rest of the answer for every line.
        char *end = line;
        while (*end && *end != '\r' && *end != '\n')
            ++end;
        const bool last = *end == '\0';
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
                if (FitsEpisode(value, showName, season, episode))
                    CopyText(result.text, value);
            } else if (StrICmp(key, "nzbid") == 0)
                result.releaseId = std::strtoull(value, nullptr, 10);
        }
        if (last)
            break;
        line = end + 1;
    }
}

// One search call. True when an answer was received and read into `result`.
bool SearchOnce(const std::string &url, const std::string &showName, int season, int episode,
                SearchResult &result) {
    result = SearchResult();
    FetchOptions options;
    options.followRedirects = false;
    options.connectTimeoutSeconds = kConnectTimeoutSeconds;
    options.noHandleMessage = kNoHandle;
    options.downloadFailedFormat = "[NZBMatrix] Error searching: %s";
    AnswerGuard guard;
    if (FetchToMemory(url.c_str(), options, guard.answer) != FetchResult::Ok)
        return false;
    if (guard.answer.data)
        ReadSearchAnswer(guard.answer.data, showName, season, episode, result);
    return true;
}

// The account's part of a request: "username=<user>&apikey=<key>", both
// escaped (a user name with a space broke every request). False when
// escaping failed.
bool AppendAccount(std::string &url) {
    url += "username=";
    if (!AppendEscaped(url, gSettings.user))
        return false;
    url += "&apikey=";
    return AppendEscaped(url, gSettings.key);
}

// The first bytes of the file at `path` (at most kTextSize - 1), terminated.
bool ReadHead(const std::string &path, char (&head)[kTextSize]) {
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    size_t n = std::fread(head, 1, kTextSize - 1, file);
    head[n] = '\0';
    std::fclose(file);
    return true;
}

// Downloads release `releaseId` into a temporary file and hands it to the
// host, asking again while the service requests a pause, up to
// kMaxWaitsPerPass times and not once the host is shutting down. True when
// the host took the file.
bool Download(uint64_t releaseId, const char *name) {
    const QLN_HOST_API *host = FrameHost();
    char id[32];
    std::snprintf(id, sizeof id, "%" PRIu64, releaseId);
    std::string url = gDownloadAddress + "/v1.1/download.php?";
    if (!AppendAccount(url))
        return false;
    url += "&id=";
    url += id;
    FetchOptions options;
    options.followRedirects = false;
    options.connectTimeoutSeconds = kConnectTimeoutSeconds;
    options.noHandleMessage = kNoHandle;
    options.downloadFailedFormat = "[NZBMatrix] Error downloading: %s";
    options.reportToDownloads = true;

    const std::string fileName = NzbFileName("qln_nzbmatrix", releaseId, name);
    std::string path;
    unsigned wait = 0;
    int waits = 0;
    bool retry = true;
    bool downloaded = false;
    while (retry) {
        retry = false;
        if (host->IsShuttingDown()) {
            ReportNotDownloaded(name, "the program is shutting down");
            break;
        }
        FileGuard file(CreateTempFile(fileName, path));
        if (!file) {
            host->LogDownload("[NZBMatrix] Error opening temp file: %s!", path.c_str());
            break;
        }
        FetchResult fetched = FetchToFile(url.c_str(), options, file.get());
        file.reset();
        if (fetched != FetchResult::Ok)
            break;
        char head[kTextSize];
        if (!ReadHead(path, head)) {
            host->LogDownload("[NZBMatrix] Error opening temp file: %s!", path.c_str());
            break;
        }
        if (StrNICmp(head, "error:", 6) != 0) {
            host->LogDownload("[NZBMatrix] Downloaded NZB with Download API\n");
            downloaded = true;
            break;
        }
        char *error = CleanValue(head + 6);
        if (!IsPleaseWait(error, wait)) {
            host->LogDownload("[NZBMatrix] API returned error: %s\n", error);
            break;
        }
        if (++waits > kMaxWaitsPerPass) {
            ReportNotDownloaded(name, "the service kept asking to wait");
            break;
        }
        host->LogDownload(kWaitMessage, wait);
        host->SleepSeconds(wait);
        retry = true;
    }
    bool delivered = downloaded && host->HandleNzbFile(path.c_str());
    host->SleepSeconds(wait);
    return delivered;
}

int NzbMatrixInit(int, const QLN_HOST_API *host) {
    FrameSetHost(host);
    return GuardEntry(kPluginName, "Init", 1, [] {
        ReadTextSetting(kNzbMatrixSection, "user", gSettings.user);
        ReadTextSetting(kNzbMatrixSection, "key", gSettings.key);
        gSearchAddress = ReadServiceAddress(kNzbMatrixSection, kDefaultSearchAddress);
        gDownloadAddress = ReadServiceAddress(kNzbMatrixSection, kDefaultDownloadAddress);
        return 0;
    });
}

bool NzbMatrixGetStatus(char *buffer, int size) {
    return CheckAccountSettings(gSettings.user, gSettings.key, "No API Key Set in Plugin", buffer, size);
}

void NzbMatrixShutdown() {}

void NzbMatrixConfigure(void *parent) {
    const QLN_HOST_API *host = FrameHost();
    if (!host || !host->PluginsIniPath)
        return;
    GuardEntry(kPluginName, "Configure", 0, [&] {
        RunNzbMatrixSettingsDialog(parent, gSettings, host->PluginsIniPath, kPluginName);
        return 0;
    });
}

bool RunSearch(const Show *show, int season, int episode) {
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
    std::string url = gSearchAddress + "/v1.1/search.php?";
    if (!AppendAccount(url))
        return false;
    url += "&larger=50&search=%2B\"";
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
    int waits = 0;
    bool retry = true;
    bool delivered = false;
    while (retry && !host->IsShuttingDown()) {
        SearchResult result;
        if (!SearchOnce(url, name, season, episode, result))
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
            // A service that keeps asking holds the whole check; this show
            // is searched again at the next pass.
            if (++waits > kMaxWaitsPerPass) {
                host->Log("[NZBMatrix] Still asked to wait after %d waits; searching for %s again at the "
                          "next pass\n",
                          kMaxWaitsPerPass, name.c_str());
                break;
            }
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

bool NzbMatrixSearch(const Show *show, int season, int episode) {
    return GuardEntry(kPluginName, "Search", false, [&] { return RunSearch(show, season, episode); });
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
