// FakeHost: a QLN_HOST_API for driving plugin libraries in tests. It records
// the seen-list, download and log calls in order, keeps a seen list of its
// own, answers DownloadFile through a replaceable function, and hands out the
// real libcurl entry points, with curl_easy_setopt wrapped so that tests can
// see every option a plugin sets. One FakeHost may exist at a time.
#pragma once

#include <quillon/plugin.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

struct CurlOptionSet {
    CURLoption option;
    long number;       // for long options
    std::string text;  // for text options (CURLOPT_URL, CURLOPT_USERPWD)
};

class FakeHost {
public:
    FakeHost(const std::string &dataFolder, const std::string &pluginsIniPath);
    ~FakeHost();
    FakeHost(const FakeHost &) = delete;
    FakeHost &operator=(const FakeHost &) = delete;

    const QLN_HOST_API *Api() const { return &api; }

    // Every call in order, as "IsSeen <key>", "MarkSeen <key>",
    // "DownloadFile <url> torrent|nzb", "Log <text>", "LogDownload <text>".
    std::vector<std::string> calls;
    // Formatted lines of the two lists; MarkSeen adds its own "Marking %s
    // seen\n" line to downloads as the real host does.
    std::vector<std::string> log, downloads;
    std::set<std::string> seen;
    std::vector<std::string> downloadedUrls;
    // Result of DownloadFile; true for every URL unless replaced.
    std::function<bool(const std::string &url, bool torrent)> downloadResult;
    // True: the table has UnmarkSeen (recorded as "UnmarkSeen <key>") and
    // answers its probe; false: a host from before that entry.
    bool takesBackMarks = false;
    // Options passed to curl_easy_setopt, in order, across all handles.
    std::vector<CurlOptionSet> curlOptions;

    // The calls whose text begins with `prefix`.
    std::vector<std::string> CallsStartingWith(const std::string &prefix) const;

private:
    std::string dataFolder, pluginsIniPath;
    QLN_CURL_API curl{};
    QLN_HOST_API api{};
};

// Loads a plugin library with dlopen (RTLD_NOW | RTLD_LOCAL; LoadLibraryW on
// Windows) and resolves its two exports; the library stays loaded for the
// rest of the process.
struct LoadedLibrary {
    void *handle = nullptr;
    QLN_NumPluginsFn numPlugins = nullptr;
    QLN_GetPluginFn getPlugin = nullptr;
};
LoadedLibrary LoadPluginLibrary(const std::string &path);

// A Show record with the given name and options, everything else zero.
Show MakeShow(const std::string &name, const std::string &keywords = "", bool hdOnly = false);

// Points this process's system temporary folder at `folder` (TMPDIR; TMP and
// TEMP on Windows) for the object's life; the old values come back after.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const std::string &folder);
    ~TempFolderOverride();
    TempFolderOverride(const TempFolderOverride &) = delete;
    TempFolderOverride &operator=(const TempFolderOverride &) = delete;

private:
    struct Saved {
        std::string name, value;
        bool had;
    };
    std::vector<Saved> saved;
};

// The platform layer's private temporary folder of this process when the
// system temporary folder is `folder` (given without a trailing separator).
std::string PrivateTempFolderUnder(const std::string &folder);
