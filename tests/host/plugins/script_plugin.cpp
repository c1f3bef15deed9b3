// A scripted test plugin for the check cycle. The test reaches its control
// functions (Script_*) with dlsym on the library the loader registered, says
// which episodes exist, and reads back every Search call. A found episode is
// marked seen through the host, as the real plugins do, and delivered
// through DownloadFile when the test gave a download URL.
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "quillon/plugin.h"

#ifndef PLUGIN_ID
#define PLUGIN_ID "{5C1E9A00-AAAA-4B1E-8F00-000000000001}"
#endif
#ifndef PLUGIN_NAME
#define PLUGIN_NAME "script"
#endif

namespace {

const QLN_HOST_API *host = nullptr;
std::set<std::tuple<std::string, int, int>> offers;
std::vector<std::string> calls;
void (*hook)(const char *name, int season, int episode) = nullptr;
std::string downloadUrl;  // when set, a find is delivered from here
bool downloadTorrent = false;

int Init(int, const QLN_HOST_API *api) {
    host = api;
    return 0;
}

bool Search(const Show *show, int season, int episode) {
    char call[300];
    std::snprintf(call, sizeof call, "%s %dx%02d", show->ShowName, season, episode);
    calls.push_back(call);
    if (hook)
        hook(show->ShowName, season, episode);
    if (!offers.count(std::make_tuple(std::string(show->ShowName), season, episode)))
        return false;
    std::string key = std::string(PLUGIN_NAME) + " " + call;
    if (host->IsSeen(key.c_str()))
        return false;
    host->MarkSeen(key.c_str());
    if (!downloadUrl.empty())
        return host->DownloadFile(downloadUrl.c_str(), downloadTorrent);
    return true;
}

QLN_PLUGIN plugin = {QLN_INTERFACE_VERSION, PLUGIN_ID, PLUGIN_NAME, "tests", "NZB",
                     Init, nullptr, nullptr, nullptr, Search, nullptr};

}  // namespace

extern "C" {
QLN_EXPORT int QLN_NumPlugins(void) { return 1; }
QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int) { return &plugin; }

QLN_EXPORT void Script_Reset(void) {
    offers.clear();
    calls.clear();
    hook = nullptr;
    downloadUrl.clear();
}
QLN_EXPORT void Script_SetDownload(const char *url, int torrent) {
    downloadUrl = url ? url : "";
    downloadTorrent = torrent != 0;
}
QLN_EXPORT void Script_Offer(const char *name, int season, int episode) {
    offers.insert(std::make_tuple(std::string(name), season, episode));
}
QLN_EXPORT void Script_SetHook(void (*function)(const char *, int, int)) { hook = function; }
QLN_EXPORT int Script_CallCount(void) { return static_cast<int>(calls.size()); }
QLN_EXPORT const char *Script_Call(int n) {
    return n >= 0 && n < static_cast<int>(calls.size()) ? calls[n].c_str() : nullptr;
}
QLN_EXPORT const QLN_HOST_API *Script_Host(void) { return host; }
}
