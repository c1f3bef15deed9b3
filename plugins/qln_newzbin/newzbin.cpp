// qln_newzbin: searches the Newzbin report index's RSS search with the
// user's account and takes every unseen report of the answer. Each report is
// fetched through DirectNZB (a form POST that returns the NZB file, handed to
// the host) or, in browser mode or when DirectNZB fails, its NZB link is
// opened in the user's browser.
#include "config.h"
#include "frame.h"
#include "rss.h"

#include <vorlo/platform.h>
#include <vorlo/text.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

const char *const kDefaultAddress = "http://www.newzbin.com";
const char *const kPluginName = "Newzbin";
const long kConnectTimeoutSeconds = 10;

NewzbinSettings gSettings;
// Service address read by Init (key "url" of section "newzbin").
std::string gAddress = kDefaultAddress;

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

// libcurl write callback for a transfer straight into a file.
size_t WriteToFile(char *block, size_t size, size_t count, void *file) {
    return std::fwrite(block, 1, size * count, static_cast<FILE *>(file));
}

// Name of the temporary NZB file of a report: "<id>_<title>.nzb" made safe
// by the host, or "qln_newzbin_<id>.nzb" without a title.
std::string NzbFileName(uint64_t reportId, const char *title) {
    const QLN_HOST_API *host = FrameHost();
    if (!title || !*title) {
        char name[64];
        std::snprintf(name, sizeof name, "qln_newzbin_%" PRIu64 ".nzb", reportId);
        return name;
    }
    // Room for the id, "_", the title, the extension and the terminator.
    std::vector<char> name(std::strlen(title) + 32);
    std::snprintf(name.data(), name.size(), "%" PRIu64 "_%s", reportId, title);
    host->MakeFileName(name.data(), ".nzb");
    return name.data();
}

// Fetches report `reportId` through DirectNZB into a temporary file and hands
// it to the host. True when the host took the file.
bool FetchDirectNzb(uint64_t reportId, const char *title) {
    const QLN_HOST_API *host = FrameHost();
    const QLN_CURL_API *curl = host->Curl;
    CURL *handle = curl->curl_easy_init();
    if (!handle) {
        host->LogDownload("[Newzbin] Error creating CURL handle for DirectNZB!\n");
        return false;
    }
    std::string path = TempFolder() + NzbFileName(reportId, title);
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        host->LogDownload("[Newzbin] Error opening output file: %s\n", path.c_str());
        curl->curl_easy_cleanup(handle);
        return false;
    }

    std::string url = gAddress + "/api/dnzb/";
    char id[32];
    std::snprintf(id, sizeof id, "%" PRIu64, reportId);
    std::string form = std::string("username=") + gSettings.user + "&password=" + gSettings.pass +
                       "&reportid=" + id;
    // TLS peers stay verified (libcurl's default): the form carries the
    // account's password.
    curl->curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl->curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl->curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 3L);
    curl->curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_write_callback write = WriteToFile;
    curl->curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, write);
    curl->curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(file));
    curl->curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, form.c_str());
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    curl->curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    CURLcode code = curl->curl_easy_perform(handle);
    curl->curl_easy_cleanup(handle);
    // A file that could not be completed on disk is no NZB to hand on.
    if (std::fclose(file) != 0 && code == CURLE_OK)
        code = CURLE_WRITE_ERROR;

    if (code != CURLE_OK) {
        host->LogDownload("[Newzbin] Error downloading NZB from DirectNZB: %s!\n",
                          curl->curl_easy_strerror(code));
        std::remove(path.c_str());
        return false;
    }
    return host->HandleNzbFile(path.c_str());
}

// Only web addresses go to the browser: anything else handed to xdg-open
// could open a local file or start another program.
bool IsWebLink(const char *link) {
    return StrNICmp(link, "http://", 7) == 0 || StrNICmp(link, "https://", 8) == 0;
}

// Opens the item's "report:nzb" link in the browser. True when it was handed on.
bool OpenReportLink(const TiXmlElement &item) {
    const QLN_HOST_API *host = FrameHost();
    const char *link = ChildText(item, "report:nzb");
    if (!link) {
        host->LogDownload("Error: No report:nzb element found!\n");
        return false;
    }
    if (!IsWebLink(link)) {
        host->LogDownload("[Newzbin] Not opening a link that is not a web address: %s\n", link);
        return false;
    }
    host->LogDownload("[Newzbin] Link: %s\n", link);
    PlatformOpen(link);
    return true;
}

// One report of the answer, after it was marked seen. True when its NZB was
// delivered or its link opened.
bool TakeReport(const TiXmlElement &item, const char *title) {
    const QLN_HOST_API *host = FrameHost();
    const TiXmlElement *idElement = item.FirstChildElement("report:id");
    if (!idElement) {
        host->LogDownload("[Newzbin] Error: No report:id element found!\n");
        return false;
    }
    // An element without text counts as report 0.
    const char *idText = idElement->GetText();
    uint64_t reportId = idText ? std::strtoull(idText, nullptr, 10) : 0;
    if (reportId == 0)
        return false;
    if (gSettings.mode != kModeBrowser && FetchDirectNzb(reportId, title)) {
        host->LogDownload("[Newzbin] Grabbed NZB with DirectNZB!\n");
        return true;
    }
    return OpenReportLink(item);
}

int NewzbinInit(int, const QLN_HOST_API *host) {
    FrameSetHost(host);
    ReadTextSetting(kNewzbinSection, "user", gSettings.user);
    ReadTextSetting(kNewzbinSection, "pass", gSettings.pass);
    gSettings.mode = ReadIntSetting(kNewzbinSection, "mode", kModeDirectNzb);
    gAddress = ReadServiceAddress(kNewzbinSection, kDefaultAddress);
    return 0;
}

bool NewzbinGetStatus(char *buffer, int size) {
    return CheckAccountSettings(gSettings.user, gSettings.pass, "No Password Set in Plugin", buffer, size);
}

void NewzbinShutdown() {}

void NewzbinConfigure(void *parent) {
    const QLN_HOST_API *host = FrameHost();
    if (!host || !host->PluginsIniPath)
        return;
    RunNewzbinSettingsDialog(parent, gSettings, host->PluginsIniPath, kPluginName);
}

bool NewzbinSearch(const Show *show, int season, int episode) {
    const QLN_HOST_API *host = FrameHost();
    if (!NewzbinGetStatus(nullptr, 0))
        return false;

    std::string name = BoundedText(show->ShowName, sizeof show->ShowName);
    std::string keywords = BoundedText(show->Keywords, sizeof show->Keywords);
    char tag[32];
    std::snprintf(tag, sizeof tag, "%dx%02d", season, episode);
    std::string url = gAddress + "/search/query?q=";
    if (!AppendEscaped(url, name))
        return false;
    url += "%20";
    url += tag;
    if (!keywords.empty()) {
        url += "%20";
        if (!AppendEscaped(url, keywords))
            return false;
    }
    url += "&searchaction=Go&fpn=p&feed=rss&area=c.8&category=8&areadone=c.8";
    if (show->HD_Only)
        url += "&ps_rb_video_format=2621440";

    std::string userPwd = std::string(gSettings.user) + ":" + gSettings.pass;
    RssSearch search;
    search.fetch.userPwd = userPwd.c_str();
    search.fetch.connectTimeoutSeconds = kConnectTimeoutSeconds;
    search.fetch.downloadFailedFormat = "[Newzbin] Error downloading URL: %s\n";
    search.messages.parseFailed = "[Newzbin] Error parsing XML: %s\n";
    search.messages.noRss = "[Newzbin] Could not find root 'rss' element!\n";
    search.messages.noChannel = "[Newzbin] Could not find first 'channel' element!\n";

    bool delivered = false;
    search.visitItem = [&](const TiXmlElement &item) {
        const char *title = ReleaseName(item);
        if (!title || !IsNewRelease(title))
            return true;
        host->MarkSeen(title);
        if (TakeReport(item, title))
            delivered = true;
        return true;
    };
    RunRssSearch(url.c_str(), search);
    return delivered;
}

QLN_PLUGIN gPlugin = {
    QLN_INTERFACE_VERSION,
    "{3C9E5A71-0B2D-4E8F-9A16-D47B28C05E93}",
    kPluginName,
    "Varnek Software",
    "NZB",
    NewzbinInit,
    NewzbinGetStatus,
    NewzbinShutdown,
    NewzbinConfigure,
    NewzbinSearch,
    nullptr,
};

} // namespace

extern "C" {
QLN_EXPORT int QLN_NumPlugins(void) { return 1; }
QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int) { return &gPlugin; }
}
