#include "fake_host.h"

#include <gtest/gtest.h>

#include <vorlo/library.h>

#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {
FakeHost *gHost = nullptr;

std::string Format(const char *format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

int GetArgCount() { return 0; }
const char *GetArg(int) { return ""; }
void SleepSeconds(unsigned) {}
void MakeFileName(char *, const char *) {}
bool IsShuttingDown() { return false; }

bool DownloadFile(const char *url, bool torrent) {
    gHost->calls.push_back(std::string("DownloadFile ") + url + (torrent ? " torrent" : " nzb"));
    gHost->downloadedUrls.push_back(url);
    return gHost->downloadResult ? gHost->downloadResult(url, torrent) : true;
}
bool HandleFile(const char *path) {
    gHost->calls.push_back(std::string("HandleFile ") + path);
    return true;
}
bool IsSeen(const char *key) {
    gHost->calls.push_back(std::string("IsSeen ") + key);
    return gHost->seen.count(key) != 0;
}
int MarkSeen(const char *key) {
    gHost->calls.push_back(std::string("MarkSeen ") + key);
    gHost->downloads.push_back(std::string("Marking ") + key + " seen\n");
    gHost->seen.insert(key);
    return 0;
}
int Log(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    gHost->calls.push_back("Log " + text);
    gHost->log.push_back(text);
    return 0;
}
int LogDownload(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format, args);
    va_end(args);
    gHost->calls.push_back("LogDownload " + text);
    gHost->downloads.push_back(text);
    return 0;
}
void SetStatusText(const wchar_t *, int) {}
int GetPluginCount() { return 0; }
bool UnmarkSeen(const char *key) {
    gHost->calls.push_back(std::string("UnmarkSeen ") + key);
    return gHost->seen.erase(key) != 0;
}
QLN_PLUGIN probeMarker{};
QLN_PLUGIN *GetLoadedPlugin(int n) {
    bool unmarkProbe = n == QLN_HOST_ENTRY_PROBE - int(offsetof(QLN_HOST_API, UnmarkSeen) / sizeof(void *));
    return unmarkProbe && gHost->takesBackMarks ? &probeMarker : nullptr;
}

// Forwards to libcurl by the option's argument kind and records the option.
// Its signature is libcurl's own, an enum before the "...", as libcurl's
// implementation has it.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
CURLcode RecordingSetopt(CURL *handle, CURLoption option, ...) {
    va_list args;
    va_start(args, option);
    CurlOptionSet set{option, 0, {}};
    CURLcode code;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        set.number = va_arg(args, long);
        code = curl_easy_setopt(handle, option, set.number);
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        void *pointer = va_arg(args, void *);
        if (option == CURLOPT_URL || option == CURLOPT_USERPWD)
            set.text = static_cast<const char *>(pointer);
        code = curl_easy_setopt(handle, option, pointer);
    } else if (option < CURLOPTTYPE_OFF_T) {
        curl_write_callback function = va_arg(args, curl_write_callback);
        code = curl_easy_setopt(handle, option, function);
    } else {
        curl_off_t value = va_arg(args, curl_off_t);
        set.number = static_cast<long>(value);
        code = curl_easy_setopt(handle, option, value);
    }
    va_end(args);
    gHost->curlOptions.push_back(set);
    return code;
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

} // namespace

FakeHost::FakeHost(const std::string &dataFolder, const std::string &pluginsIniPath)
    : dataFolder(dataFolder), pluginsIniPath(pluginsIniPath) {
    if (gHost)
        throw std::logic_error("one FakeHost at a time");
    gHost = this;
    curl_global_init(CURL_GLOBAL_ALL);
    curl.curl_easy_init = curl_easy_init;
    curl.curl_easy_setopt = RecordingSetopt;
    curl.curl_easy_perform = curl_easy_perform;
    curl.curl_easy_cleanup = curl_easy_cleanup;
    curl.curl_formadd = curl_formadd;
    curl.curl_formfree = curl_formfree;
    curl.curl_escape = curl_escape;
    curl.curl_free = curl_free;
    curl.curl_easy_strerror = curl_easy_strerror;

    api.DataFolder = this->dataFolder.c_str();
    api.PluginsIniPath = this->pluginsIniPath.c_str();
    api.GetArgCount = GetArgCount;
    api.GetArg = GetArg;
    api.SleepSeconds = SleepSeconds;
    api.MakeFileName = MakeFileName;
    api.IsShuttingDown = IsShuttingDown;
    api.DownloadFile = DownloadFile;
    api.HandleNzbFile = HandleFile;
    api.HandleTorrentFile = HandleFile;
    api.IsSeen = IsSeen;
    api.MarkSeen = MarkSeen;
    api.Log = Log;
    api.LogDownload = LogDownload;
    api.SetStatusText = SetStatusText;
    api.GetPluginCount = GetPluginCount;
    api.GetLoadedPlugin = GetLoadedPlugin;
    api.Curl = &curl;
    api.Mem = nullptr;
    api.UnmarkSeen = UnmarkSeen;
}

FakeHost::~FakeHost() {
    curl_global_cleanup();
    gHost = nullptr;
}

std::vector<std::string> FakeHost::CallsStartingWith(const std::string &prefix) const {
    std::vector<std::string> found;
    for (const std::string &call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}

LoadedLibrary LoadPluginLibrary(const std::string &path) {
    LoadedLibrary library;
    library.handle = LibLoad(path.c_str());
    if (!library.handle)
        throw std::runtime_error(std::string("loading failed: ") + LibError());
    library.numPlugins = reinterpret_cast<QLN_NumPluginsFn>(LibEntry(library.handle, QLN_NUM_PLUGINS_EXPORT));
    library.getPlugin = reinterpret_cast<QLN_GetPluginFn>(LibEntry(library.handle, QLN_GET_PLUGIN_EXPORT));
    if (!library.numPlugins || !library.getPlugin)
        throw std::runtime_error("plugin exports missing in " + path);
    return library;
}

Show MakeShow(const std::string &name, const std::string &keywords, bool hdOnly) {
    Show show;
    std::memset(&show, 0, sizeof show);
    std::snprintf(show.ShowName, sizeof show.ShowName, "%s", name.c_str());
    std::snprintf(show.Keywords, sizeof show.Keywords, "%s", keywords.c_str());
    show.HD_Only = hdOnly ? 1 : 0;
    show.Season = 1;
    show.Episode = 1;
    return show;
}

TempFolderOverride::TempFolderOverride(const std::string &folder) {
#ifdef _WIN32
    // GetTempPathW reads TMP first, then TEMP; _putenv_s changes both the C
    // library's copy and the process environment.
    for (const char *name : {"TMP", "TEMP"}) {
        const char *value = std::getenv(name);
        saved.push_back({name, value ? value : "", value != nullptr});
        _putenv_s(name, folder.c_str());
    }
#else
    const char *value = std::getenv("TMPDIR");
    saved.push_back({"TMPDIR", value ? value : "", value != nullptr});
    setenv("TMPDIR", folder.c_str(), 1);
#endif
}

TempFolderOverride::~TempFolderOverride() {
    for (const Saved &variable : saved) {
#ifdef _WIN32
        _putenv_s(variable.name.c_str(), variable.had ? variable.value.c_str() : "");
#else
        if (variable.had)
            setenv(variable.name.c_str(), variable.value.c_str(), 1);
        else
            unsetenv(variable.name.c_str());
#endif
    }
}

std::string PrivateTempFolderUnder(const std::string &folder) {
#ifdef _WIN32
    return folder + "\\quillon\\" + std::to_string(GetCurrentProcessId()) + "\\";
#else
    return folder + "/quillon-" + std::to_string(geteuid()) + "/" + std::to_string(getpid()) + "/";
#endif
}
