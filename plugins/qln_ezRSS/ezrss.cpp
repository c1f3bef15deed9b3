// qln_ezRSS: searches the ezRSS torrent feed for a show's exact name and
// takes every unseen item whose title holds the wanted episode, handing each
// torrent link to the host. Always ready; no settings but the service address.
#include "frame.h"
#include "rss.h"

#include <vorlo/platform.h>
#include <vorlo/text.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace {

const char *const kSection = "ezrss";
const char *const kDefaultAddress = "http://www.ezrss.it";

// Service address read by Init (plugins.ini key "url" of section "ezrss").
std::string gAddress = kDefaultAddress;

// Replaces "out.txt" in the data folder with the exact bytes of the answer;
// left out silently when the file cannot be written.
void KeepLastAnswer(const ReceiveBuffer &answer) {
    const QLN_HOST_API *host = FrameHost();
    std::string path = host->DataFolder ? host->DataFolder : "";
    path += "out.txt";
    // A failure is not reported: the search goes on either way.
    (void)PlatformOverwriteFile(path.c_str(), answer.data, answer.size);
}

int EzInit(int, const QLN_HOST_API *host) {
    FrameSetHost(host);
    return GuardEntry("ezRSS", "Init", 1, [] {
        gAddress = ReadServiceAddress(kSection, kDefaultAddress);
        return 0;
    });
}

bool EzGetStatus(char *, int) { return true; }

void EzShutdown() {}

bool RunSearch(const Show *show, int season, int episode) {
    const QLN_HOST_API *host = FrameHost();
    if (!EzGetStatus(nullptr, 0))
        return false;

    std::string url = gAddress + "/search/index.php?show_name=";
    if (!AppendEscaped(url, BoundedText(show->ShowName, sizeof show->ShowName)))
        return false;
    url += "&show_name_exact=true&date=&release_group=&mode=rss";
    if (show->HD_Only)
        url += "&quality=720P";

    bool delivered = false;
    RssSearch search;
    search.onAnswer = KeepLastAnswer;
    search.visitItem = [&](const TiXmlElement &item) {
        const char *release = ReleaseName(item);
        if (!release)
            return true;
        // The service matched the show's exact name; the title need only
        // hold the episode.
        if (!HoldsEpisode(release, season, episode))
            return true;
        if (!IsNewRelease(release))
            return true;
        host->LogDownload("Marking %s seen\n", release);
        host->MarkSeen(release);
        const char *link = ChildText(item, "link");
        if (!link) {
            host->LogDownload(kNoLinkMessage);
            return true;
        }
        if (host->DownloadFile(link, true)) {
            host->LogDownload("Torrent downloaded!\n");
            delivered = true;
        }
        return true;
    };
    RunRssSearch(url.c_str(), search);
    return delivered;
}

bool EzSearch(const Show *show, int season, int episode) {
    return GuardEntry("ezRSS", "Search", false, [&] { return RunSearch(show, season, episode); });
}

QLN_PLUGIN gPlugin = {
    QLN_INTERFACE_VERSION,
    "{6E0B3C1A-9D42-4F7B-A8E5-2C71D94B0F63}",
    "ezRSS",
    "Varnek Software",
    "BitTorrent",
    EzInit,
    EzGetStatus,
    EzShutdown,
    nullptr,
    EzSearch,
    nullptr,
};

} // namespace

extern "C" {
QLN_EXPORT int QLN_NumPlugins(void) { return 1; }
QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int) { return &gPlugin; }
}
