#include "hostapi.h"

#include <chrono>
#include <cstdarg>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "checkcycle.h"
#include "checkstate.h"
#include "tvmaze.h"
#include "frontend.h"
#include "loader.h"
#include "log.h"
#include "plugapi.h"
#include "searchwindow.h"
#include "seenlist.h"
#include "settings.h"
#include "vorlo/memleak.h"
#include "vorlo/text.h"

namespace {

// ---- transfer guard -------------------------------------------------------

// What a plugin asked for about progress reporting on one handle. The handle
// itself always keeps the host's progress callback; the plugin's own one is
// called from there while the plugin has progress turned on.
struct TransferGuard {
    bool userProgressOn = false;  // libcurl's default is CURLOPT_NOPROGRESS 1
    curl_xferinfo_callback userXferInfo = nullptr;
    curl_progress_callback userProgress = nullptr;
    void *userData = nullptr;
};

std::mutex guardsLock;
std::map<CURL *, TransferGuard *> &Guards() {
    static std::map<CURL *, TransferGuard *> guards;
    return guards;
}

TransferGuard *FindGuard(CURL *handle) {
    std::lock_guard<std::mutex> hold(guardsLock);
    auto it = Guards().find(handle);
    return it == Guards().end() ? nullptr : it->second;
}

std::atomic<long> stallSeconds{kTransferStallSeconds};

int GuardProgress(void *clientp, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                  curl_off_t ulnow) {
    // Shutting down or Stop Scan: the transfer in progress ends now, even
    // one stalled on a server that never answers (libcurl calls this about
    // once a second while it waits).
    if (shuttingDown.load() || abortCheck.load())
        return 1;  // CURLE_ABORTED_BY_CALLBACK
    auto *guard = static_cast<TransferGuard *>(clientp);
    if (guard && guard->userProgressOn) {
        if (guard->userXferInfo)
            return guard->userXferInfo(guard->userData, dltotal, dlnow, ultotal, ulnow);
        if (guard->userProgress)
            return guard->userProgress(guard->userData, static_cast<double>(dltotal),
                                       static_cast<double>(dlnow), static_cast<double>(ultotal),
                                       static_cast<double>(ulnow));
    }
    return 0;
}

const long kWebProtocols = CURLPROTO_HTTP | CURLPROTO_HTTPS;

// True for a comma-separated list naming only http and https (at least one).
bool OnlyWebProtocols(const char *list) {
    if (!list)
        return false;
    std::string text(list);
    size_t start = 0;
    int names = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string word = text.substr(start, comma - start);
        size_t first = word.find_first_not_of(" \t");
        size_t last = word.find_last_not_of(" \t");
        word = first == std::string::npos ? std::string() : word.substr(first, last - first + 1);
        if (!word.empty()) {
            if (StrICmp(word.c_str(), "http") != 0 && StrICmp(word.c_str(), "https") != 0)
                return false;
            ++names;
        }
        start = comma + 1;
    }
    return names > 0;
}

CURLcode ApplyGuard(CURL *handle, TransferGuard *guard) {
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLcode code) {
        if (rc == CURLE_OK)
            rc = code;
    };
    set(curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    set(curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &GuardProgress));
    set(curl_easy_setopt(handle, CURLOPT_XFERINFODATA, static_cast<void *>(guard)));
    set(curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L));
    set(curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L));
    set(curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, stallSeconds.load()));
    return rc;
}

// ---- the table's own entries ----------------------------------------------

int TableLog(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = LogTo(LogTarget::Log, format, args);
    va_end(args);
    return result;
}

int TableLogDownload(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = LogTo(LogTarget::Downloads, format, args);
    va_end(args);
    return result;
}

void TableSetStatusText(const wchar_t *text, int part) {
    part &= 0xFF;
    if (part > 2)
        return;  // the status bar has parts 0 to 2
    GetFrontEnd().SetStatusText(part, text ? std::wstring(text) : std::wstring());
}

bool TableIsSeen(const char *key) { return key && IsSeen(key); }

int TableMarkSeen(const char *key) {
    if (key) {
        MarkSeen(key);
        NoteMarkedSeen(key);
    }
    return 0;
}

bool TableUnmarkSeen(const char *key) { return key && UnmarkSeen(key); }

const char *TableGetArg(int index) {
    if (index < 0 || index >= HostArgCount())
        return nullptr;
    return HostArg(index);
}

// Answer to a probe for an appended entry: never a plugin (version 0).
QLN_PLUGIN hostEntryMarker = {0, "{00000000-0000-0000-0000-000000000000}", "Quillon host", "", "",
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// GetLoadedPlugin as plugins see it: also answers the probe for the entries
// appended to the table (QLN_HostHasEntry).
QLN_PLUGIN *TableGetLoadedPlugin(int n) {
    if (n <= QLN_HOST_ENTRY_PROBE && n > QLN_HOST_ENTRY_PROBE - QLN_HOST_ENTRY_COUNT)
        return HostHasEntryAt(QLN_HOST_ENTRY_PROBE - n) ? &hostEntryMarker : nullptr;
    return GetLoadedPlugin(n);
}

const QLN_CURL_API curlTable = {
    &HostCurlEasyInit, &HostCurlEasySetopt, &HostCurlEasyPerform, &HostCurlEasyCleanup,
    &curl_formadd,     &curl_formfree,      &curl_escape,         &curl_free,
    &curl_easy_strerror,
};

const QLN_MEM_API memTable = {&zmalloc, &zrealloc, &zstrdup, &zwcsdup, &zfree};

const QLN_HOST_API hostTable = {
    g_paths.DataFolder,
    g_paths.PluginsIni,
    &HostArgCount,
    &TableGetArg,
    &HostSleepSeconds,
    &HostMakeFileName,
    &HostIsShuttingDown,
    &DownloadFile,
    &HandleNzbFile,
    &HandleTorrentFile,
    &TableIsSeen,
    &TableMarkSeen,
    &TableLog,
    &TableLogDownload,
    &TableSetStatusText,
    &GetPluginCount,
    &TableGetLoadedPlugin,
    &curlTable,
    &memTable,
    &HandleMagnet,
    &TableUnmarkSeen,
    &HostGetShowInfo,
    &HostGetSearchPass,
};

}  // namespace

// An entry is there when the table holds something at its place (every
// entry is one pointer wide).
bool HostHasEntryAt(int index) {
    if (index < 0 || index >= QLN_HOST_ENTRY_COUNT)
        return false;
    void *entry = nullptr;
    std::memcpy(&entry, reinterpret_cast<const char *>(&hostTable) + index * sizeof(void *), sizeof entry);
    return entry != nullptr;
}

const QLN_HOST_API *GetHostApi() { return &hostTable; }
const QLN_CURL_API *GetHostCurlApi() { return &curlTable; }
const QLN_MEM_API *GetHostMemApi() { return &memTable; }

namespace {
void (*sleepForTesting)(unsigned) = nullptr;
}

void SetHostSleepForTesting(void (*sleep)(unsigned)) { sleepForTesting = sleep; }

void HostSleepSeconds(unsigned seconds) {
    if (sleepForTesting) {
        sleepForTesting(seconds);
        return;
    }
    // Whole seconds, each in short slices, so that a shutdown or Stop Scan is
    // seen at once.
    for (unsigned s = 0; s < seconds; ++s) {
        for (int slice = 0; slice < 20; ++slice) {
            if (shuttingDown.load() || abortCheck.load())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

void HostMakeFileName(char *name, const char *extension) {
    if (!name)
        return;
    if (extension) {
        const char *dot = std::strchr(name, '.');
        if (!dot || StrICmp(dot, extension) != 0)
            std::strcat(name, extension);
    }
    for (char *p = name; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.';
        if (!keep)
            *p = '_';
    }
    // A long release title must still give a name the file systems accept.
    std::string cut = CutFileName(name, DownloadNameLimit());
    std::memcpy(name, cut.c_str(), cut.size() + 1);
}

bool HostIsShuttingDown() { return shuttingDown.load(); }

void SetTransferStallSecondsForTesting(long seconds) {
    stallSeconds = seconds > 0 ? seconds : kTransferStallSeconds;
}

CURL *HostCurlEasyInit() {
    CURL *handle = curl_easy_init();
    if (!handle)
        return nullptr;
    auto *guard = new (std::nothrow) TransferGuard;
    // A handle without its guard is never handed out.
    if (!guard || ApplyGuard(handle, guard) != CURLE_OK) {
        curl_easy_cleanup(handle);
        delete guard;
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(guardsLock);
    Guards()[handle] = guard;
    return handle;
}

// The signature is libcurl's own, an enum before the "...", as libcurl's
// implementation has it; clang warns about va_start after an enum.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
CURLcode HostCurlEasySetopt(CURL *handle, CURLoption option, ...) {
    // Fetch the one argument by the type class that the option number encodes.
    typedef void (*AnyFunction)(void);
    enum { LongArg, PointerArg, FunctionArg, OffsetArg } kind;
    long number = 0;
    void *pointer = nullptr;
    AnyFunction function = nullptr;
    curl_off_t offset = 0;
    va_list args;
    va_start(args, option);
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        kind = LongArg;
        number = va_arg(args, long);
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        kind = PointerArg;
        pointer = va_arg(args, void *);
    } else if (option < CURLOPTTYPE_OFF_T) {
        kind = FunctionArg;
        function = va_arg(args, AnyFunction);
    } else if (option < CURLOPTTYPE_BLOB) {
        kind = OffsetArg;
        offset = va_arg(args, curl_off_t);
    } else {
        kind = PointerArg;
        pointer = va_arg(args, void *);
    }
    va_end(args);

    if (TransferGuard *guard = FindGuard(handle)) {
        switch (option) {
        case CURLOPT_NOPROGRESS:
            guard->userProgressOn = number == 0;
            return CURLE_OK;
        case CURLOPT_XFERINFOFUNCTION:
            guard->userXferInfo = reinterpret_cast<curl_xferinfo_callback>(function);
            return CURLE_OK;
        case CURLOPT_PROGRESSFUNCTION:
            guard->userProgress = reinterpret_cast<curl_progress_callback>(function);
            return CURLE_OK;
        case CURLOPT_XFERINFODATA:  // the same option as CURLOPT_PROGRESSDATA
            guard->userData = pointer;
            return CURLE_OK;
        case CURLOPT_PROTOCOLS:
        case CURLOPT_REDIR_PROTOCOLS:
            if (number == 0 || (number & ~kWebProtocols) != 0)
                return CURLE_BAD_FUNCTION_ARGUMENT;
            break;
        case CURLOPT_PROTOCOLS_STR:
        case CURLOPT_REDIR_PROTOCOLS_STR:
            if (!OnlyWebProtocols(static_cast<const char *>(pointer)))
                return CURLE_BAD_FUNCTION_ARGUMENT;
            break;
        case CURLOPT_LOW_SPEED_LIMIT:
            if (number < 1)
                number = 1;
            break;
        case CURLOPT_LOW_SPEED_TIME:
            if (number < 1 || number > stallSeconds.load())
                number = stallSeconds.load();
            break;
        default:
            break;
        }
    }

    switch (kind) {
    case LongArg:
        return curl_easy_setopt(handle, option, number);
    case PointerArg:
        return curl_easy_setopt(handle, option, pointer);
    case FunctionArg:
        return curl_easy_setopt(handle, option, function);
    case OffsetArg:
        return curl_easy_setopt(handle, option, offset);
    }
    return CURLE_BAD_FUNCTION_ARGUMENT;
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

CURLcode HostCurlEasyPerform(CURL *handle) {
    if (shuttingDown.load() || abortCheck.load())
        return CURLE_ABORTED_BY_CALLBACK;
    return curl_easy_perform(handle);
}

void HostCurlEasyCleanup(CURL *handle) {
    TransferGuard *guard = nullptr;
    {
        std::lock_guard<std::mutex> hold(guardsLock);
        auto it = Guards().find(handle);
        if (it != Guards().end()) {
            guard = it->second;
            Guards().erase(it);
        }
    }
    curl_easy_cleanup(handle);
    delete guard;
}
