// qln_generic: search plugins made from URL templates. Each plugin is a
// template with the marker "%search%" that RunTemplateSearch fills with the
// show's search term; the answer's items are tried in order until one file
// has been delivered. Items whose title names an episode are tried only when
// it is the wanted episode of the wanted show. The library offers one
// plugin, for NZBIndex.
#include "frame.h"
#include "rss.h"

#include <vorlo/text.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char *const kSection = "generic";
const char *const kDefaultAddress = "http://www.nzbindex.nl";
const char *const kMarker = "%search%";
constexpr size_t kUrlSize = 1024;

enum class FileKind { Nzb, Torrent };

// Service address read by Init (plugins.ini key "url" of section "generic").
std::string gAddress = kDefaultAddress;

bool RunTemplateSearch(const char *urlTemplate, FileKind kind, const Show *show, int season,
                       int episode) {
    const QLN_HOST_API *host = FrameHost();

    char url[kUrlSize] = {};
    std::snprintf(url, sizeof url, "%s", urlTemplate);

    std::string term;
    if (!AppendEscaped(term, BoundedText(show->ShowName, sizeof show->ShowName)))
        return false;
    char tag[48];
    std::snprintf(tag, sizeof tag, "S%02dE%02d", season, episode);
    term += "%20";
    term += tag;
    if (show->HD_Only)
        term += "%20x264";
    std::string keywords = BoundedText(show->Keywords, sizeof show->Keywords);
    // Keywords are escaped too (a space made libcurl refuse the URL), but
    // "&" and "=" reach the query as typed.
    if (!keywords.empty()) {
        term += "%20";
        if (!AppendQueryText(term, keywords))
            return false;
    }
    // A term too long for the buffer leaves the marker in place; the request
    // is sent as it stands.
    ReplaceAll(url, sizeof url, kMarker, term.c_str());

    const bool torrent = kind == FileKind::Torrent;
    bool delivered = false;
    RssSearch search;
    search.visitItem = [&](const TiXmlElement &item) {
        const char *release = ReleaseName(item);
        if (!release)
            return true;
        // A title in which an episode can be read must name the show and
        // the episode; one without (a bare file subject) is taken as listed.
        if (ReadReleaseTitle(release).hasEpisode && !IsWantedRelease(release, show, season, episode))
            return true;
        if (!IsNewRelease(release))
            return true;
        host->MarkSeen(release);
        const char *link = nullptr;
        if (const TiXmlElement *enclosure = item.FirstChildElement("enclosure")) {
            link = enclosure->Attribute("url");
            if (link && !*link)
                link = nullptr;
        } else {
            link = ChildText(item, "link");
        }
        if (!link) {
            host->LogDownload(kNoLinkMessage);
            return true;
        }
        if (host->DownloadFile(link, torrent)) {
            host->LogDownload(torrent ? "Torrent downloaded!\n" : "NZB downloaded!\n");
            delivered = true;
        }
        return !delivered;
    };
    RunRssSearch(url, search);
    return delivered;
}

int GenericInit(int, const QLN_HOST_API *host) {
    FrameSetHost(host);
    return GuardEntry("NZBIndex", "Init", 1, [] {
        gAddress = ReadServiceAddress(kSection, kDefaultAddress);
        return 0;
    });
}

bool NzbIndexSearch(const Show *show, int season, int episode) {
    return GuardEntry("NZBIndex", "Search", false, [&] {
        std::string urlTemplate =
            gAddress + "/rss/?q=%search%&sort=agedesc&max=25&minsize=100&complete=1&more=1&hidespam=1";
        return RunTemplateSearch(urlTemplate.c_str(), FileKind::Nzb, show, season, episode);
    });
}

QLN_PLUGIN gPlugins[] = {
    {
        QLN_INTERFACE_VERSION,
        "{B4F19E27-53C8-4A06-9D1E-7A8C02E6F5B9}",
        "NZBIndex",
        "Varnek Software",
        "NZB",
        GenericInit,
        nullptr,
        nullptr,
        nullptr,
        NzbIndexSearch,
        nullptr,
    },
};

} // namespace

extern "C" {
QLN_EXPORT int QLN_NumPlugins(void) { return static_cast<int>(sizeof gPlugins / sizeof gPlugins[0]); }
// The host asks only for indexes below QLN_NumPlugins.
QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int index) { return &gPlugins[index]; }
}
