// qln_newzbin: searches the Newzbin report index's RSS search with the
// user's account and takes every unseen report of the answer. Each report is
// fetched through DirectNZB (a form POST that returns the NZB file, handed to
// the host) or, in browser mode or when DirectNZB fails, its NZB link is
// opened in the user's browser.
#include "config.h"
#include "frame.h"
#include "nzbfile.h"
#include "rss.h"

#include <vorlo/platform.h>
#include <vorlo/text.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char *const kDefaultAddress = "http://www.newzbin.com";
const char *const kPluginName = "Newzbin";
const long kConnectTimeoutSeconds = 10;

NewzbinSettings gSettings;
// Service address read by Init (key "url" of section "newzbin").
std::string gAddress = kDefaultAddress;

// Fetches report `reportId` through DirectNZB into a temporary file and hands
// it to the host. True when the host took the file.
bool FetchDirectNzb(uint64_t reportId, const char *title) {
    const QLN_HOST_API *host = FrameHost();
    std::string path;
    FileGuard file(CreateTempFile(NzbFileName("qln_newzbin", reportId, title), path));
    if (!file) {
        host->LogDownload("[Newzbin] Error opening output file: %s\n", path.c_str());
        return false;
    }

    // The form's values are escaped: a password holding "+", "&", "=" or
    // "%" would otherwise arrive as another text or cut the form.
    std::string form = "username=";
    bool escaped = AppendEscaped(form, gSettings.user);
    form += "&password=";
    escaped = escaped && AppendEscaped(form, gSettings.pass);
    char id[32];
    std::snprintf(id, sizeof id, "%" PRIu64, reportId);
    form += "&reportid=";
    form += id;

    std::string url = gAddress + "/api/dnzb/";
    FetchOptions options;
    options.postFields = form.c_str();
    options.connectTimeoutSeconds = kConnectTimeoutSeconds;
    options.noHandleMessage = "[Newzbin] Error creating CURL handle for DirectNZB!\n";
    options.downloadFailedFormat = "[Newzbin] Error downloading NZB from DirectNZB: %s!\n";
    options.reportToDownloads = true;
    FetchResult result = escaped ? FetchToFile(url.c_str(), options, file.get()) : FetchResult::Failed;
    // A file that could not be completed on disk is no NZB to hand on.
    if (std::fclose(file.release()) != 0 && result == FetchResult::Ok) {
        host->LogDownload(options.downloadFailedFormat, host->Curl->curl_easy_strerror(CURLE_WRITE_ERROR));
        result = FetchResult::Failed;
    }
    if (result != FetchResult::Ok) {
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

// What became of one report.
enum class Take { Delivered, Failed, NotTried };

// Opens the item's "report:nzb" link in the browser. `tried` is what a link
// that cannot be opened gives: a fetch of the NZB may have failed before.
Take OpenReportLink(const TiXmlElement &item, Take tried) {
    const QLN_HOST_API *host = FrameHost();
    const char *link = ChildText(item, "report:nzb");
    if (!link) {
        host->LogDownload("Error: No report:nzb element found!\n");
        return tried;
    }
    if (!IsWebLink(link)) {
        host->LogDownload("[Newzbin] Not opening a link that is not a web address: %s\n", link);
        return tried;
    }
    host->LogDownload("[Newzbin] Link: %s\n", link);
    if (!PlatformOpen(link)) {
        host->LogDownload("[Newzbin] Error opening %s in the browser\n", link);
        return Take::Failed;
    }
    return Take::Delivered;
}

// One report of the answer, after it was marked seen: its NZB delivered or
// its link opened, a delivery that failed, or one never tried (no report).
Take TakeReport(const TiXmlElement &item, const char *title) {
    const QLN_HOST_API *host = FrameHost();
    const TiXmlElement *idElement = item.FirstChildElement("report:id");
    if (!idElement) {
        host->LogDownload("[Newzbin] Error: No report:id element found!\n");
        return Take::NotTried;
    }
    // An element without text counts as report 0.
    const char *idText = idElement->GetText();
    uint64_t reportId = idText ? std::strtoull(idText, nullptr, 10) : 0;
    if (reportId == 0)
        return Take::NotTried;
    if (gSettings.mode == kModeBrowser)
        return OpenReportLink(item, Take::NotTried);
    if (FetchDirectNzb(reportId, title)) {
        host->LogDownload("[Newzbin] Grabbed NZB with DirectNZB!\n");
        return Take::Delivered;
    }
    return OpenReportLink(item, Take::Failed);
}

int NewzbinInit(int, const QLN_HOST_API *host) {
    FrameSetHost(host);
    return GuardEntry(kPluginName, "Init", 1, [] {
        ReadTextSetting(kNewzbinSection, "user", gSettings.user);
        ReadTextSetting(kNewzbinSection, "pass", gSettings.pass);
        gSettings.mode = ReadIntSetting(kNewzbinSection, "mode", kModeDirectNzb);
        gAddress = ReadServiceAddress(kNewzbinSection, kDefaultAddress);
        return 0;
    });
}

bool NewzbinGetStatus(char *buffer, int size) {
    return CheckAccountSettings(gSettings.user, gSettings.pass, "No Password Set in Plugin", buffer, size);
}

void NewzbinShutdown() {}

void NewzbinConfigure(void *parent) {
    const QLN_HOST_API *host = FrameHost();
    if (!host || !host->PluginsIniPath)
        return;
    GuardEntry(kPluginName, "Configure", 0, [&] {
        RunNewzbinSettingsDialog(parent, gSettings, host->PluginsIniPath, kPluginName);
        return 0;
    });
}

bool RunSearch(const Show *show, int season, int episode) {
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
        Take take = TakeReport(item, title);
        if (take == Take::Delivered)
            delivered = true;
        else if (take == Take::Failed)
            UnmarkFailedRelease(title);
        return true;
    };
    RunRssSearch(url.c_str(), search);
    return delivered;
}

bool NewzbinSearch(const Show *show, int season, int episode) {
    return GuardEntry(kPluginName, "Search", false, [&] { return RunSearch(show, season, episode); });
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
