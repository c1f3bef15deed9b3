// Fuzz target: one shipped plugin library (its path given at build time as
// PLUGIN_PATH) loaded with dlopen and driven through a fake host table whose
// libcurl entries never touch the network: every transfer "receives" the
// fuzz input, handed to the plugin's write callback in three blocks. So the
// input is the service's answer to the search (the RSS walk of the RSS
// plugins, the line reader of the API plugin) and, for the plugins that
// fetch files themselves, the downloaded file as well. The fake host keeps a
// seen list and asks nothing of the real host.
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <curl/curl.h>

#include "quillon/plugin.h"

#include <host_file_name.h>

namespace {

std::string g_folder;
std::set<std::string> g_seen;
const uint8_t *g_data = nullptr;
size_t g_size = 0;
int g_transfers = 0;

struct FakeTransfer {
    curl_write_callback write = nullptr;
    void *writeData = nullptr;
};

CURL *FakeInit() { return reinterpret_cast<CURL *>(new FakeTransfer); }

// Its signature is libcurl's own, an enum before the "...", as libcurl's
// implementation has it.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
CURLcode FakeSetopt(CURL *handle, CURLoption option, ...) {
    auto *transfer = reinterpret_cast<FakeTransfer *>(handle);
    va_list args;
    va_start(args, option);
    if (option == CURLOPT_WRITEFUNCTION)
        transfer->write = va_arg(args, curl_write_callback);
    else if (option == CURLOPT_WRITEDATA)
        transfer->writeData = va_arg(args, void *);
    va_end(args);
    return CURLE_OK;
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

// The answer arrives in three blocks, as a network transfer would split it.
CURLcode FakePerform(CURL *handle) {
    auto *transfer = reinterpret_cast<FakeTransfer *>(handle);
    ++g_transfers;
    if (!transfer->write)
        return CURLE_OK;
    size_t cuts[] = {0, g_size / 3, g_size / 3 * 2, g_size};
    for (int i = 0; i < 3; ++i) {
        size_t n = cuts[i + 1] - cuts[i];
        if (n == 0)
            continue;
        // libcurl's buffer is writable and not terminated; so is this copy.
        std::string block(reinterpret_cast<const char *>(g_data) + cuts[i], n);
        if (transfer->write(block.data(), 1, n, transfer->writeData) != n)
            return CURLE_WRITE_ERROR;
    }
    return CURLE_OK;
}

void FakeCleanup(CURL *handle) { delete reinterpret_cast<FakeTransfer *>(handle); }

int FakeLog(const char *format, ...) {
    char line[4096];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return n;
}

bool FakeHandleFile(const char *path) {
    unlink(path);
    return true;
}

const QLN_CURL_API kCurl = {&FakeInit,    &FakeSetopt, &FakePerform, &FakeCleanup, nullptr,
                            nullptr,      &curl_escape, &curl_free,  &curl_easy_strerror};

std::string g_dataFolder, g_iniPath;
QLN_HOST_API g_host;
QLN_PLUGIN *g_plugin = nullptr;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char folder[] = "/tmp/quillon-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        abort();
    g_folder = folder;
    atexit(RemoveFolder);
    // The plugins' temporary files go here too.
    setenv("TMPDIR", folder, 1);
    g_dataFolder = g_folder + "/";
    g_iniPath = g_dataFolder + "plugins.ini";
    if (FILE *ini = fopen(g_iniPath.c_str(), "wb")) {
        fputs("[newzbin]\nuser=u\npass=p\n[nzbmatrix]\nuser=u\nkey=k\n", ini);
        fclose(ini);
    }

    g_host.DataFolder = g_dataFolder.c_str();
    g_host.PluginsIniPath = g_iniPath.c_str();
    g_host.GetArgCount = [] { return 0; };
    g_host.GetArg = [](int) -> const char * { return nullptr; };
    g_host.SleepSeconds = [](unsigned) {};
    g_host.MakeFileName = &TestHostMakeFileName;
    // A plugin told to wait and ask again stops once the host "shuts down".
    g_host.IsShuttingDown = [] { return g_transfers >= 6; };
    g_host.DownloadFile = [](const char *url, bool) { return url && url[0] == 'h'; };
    g_host.HandleNzbFile = &FakeHandleFile;
    g_host.HandleTorrentFile = &FakeHandleFile;
    g_host.IsSeen = [](const char *key) { return g_seen.count(key) != 0; };
    g_host.MarkSeen = [](const char *key) {
        g_seen.insert(key);
        return 0;
    };
    g_host.Log = &FakeLog;
    g_host.LogDownload = &FakeLog;
    g_host.SetStatusText = [](const wchar_t *, int) {};
    g_host.GetPluginCount = [] { return 1; };
    // Slot 0 only: any other index, the probes for appended entries among
    // them, is no plugin, as a real host answers.
    g_host.GetLoadedPlugin = [](int n) { return n == 0 ? g_plugin : nullptr; };
    g_host.Curl = &kCurl;
    g_host.Mem = nullptr;

    void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "%s\n", dlerror());
        abort();
    }
    auto getPlugin = reinterpret_cast<QLN_GetPluginFn>(dlsym(library, QLN_GET_PLUGIN_EXPORT));
    if (!getPlugin || !(g_plugin = getPlugin(0)) || (g_plugin->Init && g_plugin->Init(0, &g_host) != 0))
        abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    g_data = data;
    g_size = size;
    g_transfers = 0;
    g_seen.clear();
    g_seen.insert("Seen Show 1x02");
    Show show{};
    snprintf(show.ShowName, sizeof show.ShowName, "The Show");
    snprintf(show.Keywords, sizeof show.Keywords, "720p");
    show.HD_Only = size > 0 && (data[0] & 1);
    show.Season = 1;
    show.Episode = 2;
    g_plugin->Search(&show, 1, 2);
    return 0;
}
