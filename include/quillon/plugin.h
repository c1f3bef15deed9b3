/*
 * Quillon plugin contract.
 *
 * A plugin library (qln_*.so) exports exactly two functions, QLN_NumPlugins and
 * QLN_GetPlugin, and describes each of its plugins with a QLN_PLUGIN record. The
 * host hands every plugin the same QLN_HOST_API table: paths, logging, the seen
 * list, downloads and the host's own libcurl and allocation-tracker entry
 * points. Nothing else crosses between host and plugin: every record below is
 * plain C with a fixed layout, memory is freed by the side that allocated it,
 * and no exception crosses the boundary.
 *
 * Layouts are fixed for both targets: on 32-bit x86 pointers and int are 4
 * bytes (the offsets in the comments); on 64-bit, pointers take 8 bytes and
 * the offsets in the static assertions at the end apply. bool is one byte;
 * the host reads only the low 8 bits of a bool result.
 */
#ifndef QUILLON_PLUGIN_H
#define QUILLON_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifndef CURL_DISABLE_DEPRECATION
#define CURL_DISABLE_DEPRECATION /* the table names curl_formadd and curl_escape */
#endif
/* libcurl's C type checker turns curl_easy_setopt(...) into a statement
 * expression, which breaks calls through the QLN_CURL_API member of that
 * name (host->Curl->curl_easy_setopt(h, option, value)) in C. */
#ifndef CURL_DISABLE_TYPECHECK
#define CURL_DISABLE_TYPECHECK
#endif
#include <curl/curl.h>
#if !defined(__cplusplus) && defined(CURLINC_TYPECHECK_GCC_H)
#undef curl_easy_setopt /* curl.h came first, with the checker */
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Interface version carried in QLN_PLUGIN.version; the host accepts only 1. */
#define QLN_INTERFACE_VERSION 1

/*
 * Show: one followed show, 536 bytes. The host owns it and passes it by
 * pointer to Search for the duration of that call; plugins only read it.
 */
typedef struct Show {
    char ShowName[256];    /*   0: title used in queries, NUL-terminated */
    char Keywords[256];    /* 256: extra search words, may be empty */
    unsigned char Skip;    /* 512: after a find, wait 6 days before searching again */
    unsigned char HD_Only; /* 513: accept only 720p/1080p releases */
    unsigned char Catchup; /* 514: keep fetching consecutive episodes in one pass; never saved */
    unsigned char Pause;   /* 515: never searched while set */
    int32_t Season;        /* 516: season followed */
    int32_t Episode;       /* 520: next episode awaited */
    int32_t Reserved;      /* 524: padding, always zero */
    int64_t NextSearch;    /* 528: due once the time (s since 1970 UTC) is later than this */
} Show;

struct QLN_HOST_API;

/*
 * QLN_SHOW_INFO: what the host knows about a show linked to its TVmaze entry,
 * 1080 bytes on every target. The caller sets Size to sizeof(QLN_SHOW_INFO)
 * as it was built; the host never writes past Size. Texts are UTF-8 and
 * NUL-terminated; a number that is not known is 0 and a text "".
 */
typedef struct QLN_SHOW_INFO {
    uint32_t Size;          /*   0: sizeof the caller's record */
    int32_t TvmazeId;       /*   4 */
    int32_t TvdbId;         /*   8: TheTVDB */
    int32_t TvrageId;       /*  12: TVRage (Newznab's rid) */
    char ImdbId[16];        /*  16: "tt" and digits */
    int32_t PremiereYear;   /*  32 */
    char Country[8];        /*  36: the network's or web channel's country code ("US", "GB") */
    int32_t Reserved;       /*  44: zero */
    int64_t AirTime;        /*  48: the asked episode's air time, s since 1970 UTC */
    char Aliases[1024];     /*  56: the show's other names, each followed by '\n'; whole names only */
} QLN_SHOW_INFO;

/*
 * QLN_SEARCH_PASS: the check pass a Search call belongs to, 32 bytes on every
 * target. The caller sets Size to sizeof(QLN_SEARCH_PASS) as it was built;
 * the host never writes past Size.
 */
typedef struct QLN_SEARCH_PASS {
    uint32_t Size;          /*  0: sizeof the caller's record */
    uint32_t Flags;         /*  4: QLN_PASS_FIRST_DAY */
    int64_t Pass;           /*  8: the pass's number, from 1; a new pass has a new number; 0 outside one */
    int64_t WindowStart;    /* 16: when the episode could first be released, s since 1970 UTC; 0 unknown */
    int64_t Now;            /* 24: the host's clock, s since 1970 UTC */
} QLN_SEARCH_PASS;
/* The episode's window opened less than a day ago: look for it in the
 * indexer's newest releases, asked once per pass, before searching it. */
#define QLN_PASS_FIRST_DAY 1u

/* One plugin's descriptor: static data inside the plugin library. */
typedef struct QLN_PLUGIN {
    uint8_t version;     /* 0: QLN_INTERFACE_VERSION; the host compares this byte only */
    /* 1: padding (3 bytes on 32-bit, 7 on 64-bit), zero */
    const char *id;      /* 4: GUID "{8-4-4-4-12}", the plugin's key in plugins.ini */
    const char *name;    /* 8: display name (the index service) */
    const char *author;  /* 12 */
    const char *type;    /* 16: "NZB" or "BitTorrent" */
    /* 20: optional; 0 registers the plugin, anything else skips it */
    int (*Init)(int index, const struct QLN_HOST_API *host);
    /* 24: optional; false and a reason in buffer (when not NULL) when not ready */
    bool (*GetStatus)(char *buffer, int size);
    /* 28: optional; called once at exit before any library is unloaded */
    void (*Shutdown)(void);
    /* 32: optional; modal settings dialog, parent is the caller's QWidget * */
    void (*Configure)(void *parent);
    /* 36: required; true when a file of this episode was delivered */
    bool (*Search)(const Show *show, int season, int episode);
    void *module;        /* 40: zero in the library; the host writes its library handle */
} QLN_PLUGIN;

/* The host's libcurl entry points, each behaving as the libcurl function. */
typedef struct QLN_CURL_API {
    CURL *(*curl_easy_init)(void);
    CURLcode (*curl_easy_setopt)(CURL *handle, CURLoption option, ...);
    CURLcode (*curl_easy_perform)(CURL *handle);
    void (*curl_easy_cleanup)(CURL *handle);
    CURLFORMcode (*curl_formadd)(struct curl_httppost **first, struct curl_httppost **last, ...);
    void (*curl_formfree)(struct curl_httppost *form);
    char *(*curl_escape)(const char *text, int length);
    void (*curl_free)(void *pointer);
    const char *(*curl_easy_strerror)(CURLcode code);
} QLN_CURL_API;

/* The host's allocation tracker; blocks from it go back to it. */
typedef struct QLN_MEM_API {
    void *(*zmalloc)(size_t size, const char *file, int line);
    void *(*zrealloc)(void *pointer, size_t size, const char *file, int line);
    char *(*zstrdup)(const char *text, const char *file, int line);
    wchar_t *(*zwcsdup)(const wchar_t *text, const char *file, int line);
    void (*zfree)(void *pointer, const char *file, int line);
} QLN_MEM_API;

/* The host's service table: one static instance, valid until the host exits. */
typedef struct QLN_HOST_API {
    const char *DataFolder;      /*  0: per-user data folder, ending in '/' */
    const char *PluginsIniPath;  /*  4: plugins.ini; each plugin keeps a section of its own */
    int (*GetArgCount)(void);    /*  8 */
    const char *(*GetArg)(int index);          /* 12 */
    void (*SleepSeconds)(unsigned seconds);    /* 16: returns early once shutting down */
    void (*MakeFileName)(char *name, const char *extension); /* 20: safe file name in place */
    bool (*IsShuttingDown)(void);              /* 24 */
    bool (*DownloadFile)(const char *url, bool torrent);     /* 28 */
    bool (*HandleNzbFile)(const char *path);   /* 32 */
    bool (*HandleTorrentFile)(const char *path);             /* 36 */
    bool (*IsSeen)(const char *key);           /* 40 */
    int (*MarkSeen)(const char *key);          /* 44 */
    int (*Log)(const char *format, ...);       /* 48: "Log" list */
    int (*LogDownload)(const char *format, ...); /* 52: "Downloads" list */
    void (*SetStatusText)(const wchar_t *text, int part); /* 56 */
    int (*GetPluginCount)(void);               /* 60 */
    QLN_PLUGIN *(*GetLoadedPlugin)(int n);     /* 64 */
    const QLN_CURL_API *Curl;                  /* 68 */
    const QLN_MEM_API *Mem;                    /* 72 */
    /*
     * Entries appended after the first 19. The table only ever grows at its
     * end, so every plugin built before an entry existed keeps working. A
     * host built before an entry existed passes a shorter table, so a plugin
     * calls an appended entry only after QLN_HostHasEntry said it is there.
     */
    /* 76: hands over the magnet link of release `title` (text used for the
     * file name): opened with the desktop's handler (Torrent_Exec) or written
     * as "<title>.magnet" into the torrent folder; true on success. */
    bool (*HandleMagnet)(const char *uri, const char *title);
    /* 80: takes back the seen mark of release `key` (the text given to
     * MarkSeen) after its delivery failed, so that the next pass tries it
     * again; true when the key was in the seen list. A release marked on
     * purpose without a try to fetch it keeps its mark. */
    bool (*UnmarkSeen)(const char *key);
    /* 84: fills `info` (its Size set by the caller) for `show` (the record
     * Search was given) and the episode `season`/`episode`; true when the
     * show is linked to TVmaze, false (the record zeroed up to Size, Size
     * kept) when the host knows nothing more than the Show record. */
    bool (*GetShowInfo)(const Show *show, int season, int episode, QLN_SHOW_INFO *info);
    /* 88: fills `pass` (its Size set by the caller) for the Search call of
     * `show` (the record Search was given) for `season`/`episode` that runs
     * now. Pass and Now are always filled; true, with Flags and WindowStart,
     * when the episode is in the first day of its window. */
    bool (*GetSearchPass)(const Show *show, int season, int episode, QLN_SEARCH_PASS *pass);
} QLN_HOST_API;

/*
 * Asking whether the host's table holds an appended entry: a host answers
 * GetLoadedPlugin(QLN_HOST_ENTRY_PROBE - i) with a non-null marker record
 * exactly when its table has entry number i. Every host answers null for a
 * negative index it does not know (GetLoadedPlugin's rule for any index
 * outside its registered plugins), so an older host says "no" safely; the
 * marker is never a plugin (its version byte is 0) and is only compared
 * with null.
 */
#define QLN_HOST_ENTRY_PROBE (-0x51000000)
/* Number of entries this header's QLN_HOST_API holds. */
#define QLN_HOST_ENTRY_COUNT 23
/* Number of entries every host has had from the start. */
#define QLN_HOST_FIRST_ENTRIES 19

/* True when `host` has the entry at byte offset `offset` of QLN_HOST_API,
 * for example offsetof(QLN_HOST_API, HandleMagnet). */
static inline bool QLN_HostHasEntry(const struct QLN_HOST_API *host, size_t offset) {
    int index = (int)(offset / sizeof(void *));
    if (!host || index >= QLN_HOST_ENTRY_COUNT)
        return false;
    if (index < QLN_HOST_FIRST_ENTRIES)
        return true;
    return host->GetLoadedPlugin && host->GetLoadedPlugin(QLN_HOST_ENTRY_PROBE - index) != NULL;
}

/* The two exports of every plugin library, and their types. */
#define QLN_NUM_PLUGINS_EXPORT "QLN_NumPlugins"
#define QLN_GET_PLUGIN_EXPORT "QLN_GetPlugin"
typedef int (*QLN_NumPluginsFn)(void);
typedef QLN_PLUGIN *(*QLN_GetPluginFn)(int index);

#if defined(_WIN32)
/* Only what is marked is exported from a DLL (otherwise every global is). */
#define QLN_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define QLN_EXPORT __attribute__((visibility("default")))
#else
#define QLN_EXPORT
#endif

#ifdef __cplusplus
} /* extern "C" */
#define QLN_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QLN_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Layout checks: the records cross between separately built binaries. */
QLN_STATIC_ASSERT(sizeof(Show) == 536, "Show is 536 bytes");
QLN_STATIC_ASSERT(offsetof(Show, Keywords) == 256, "Show.Keywords");
QLN_STATIC_ASSERT(offsetof(Show, Skip) == 512, "Show.Skip");
QLN_STATIC_ASSERT(offsetof(Show, HD_Only) == 513, "Show.HD_Only");
QLN_STATIC_ASSERT(offsetof(Show, Catchup) == 514, "Show.Catchup");
QLN_STATIC_ASSERT(offsetof(Show, Pause) == 515, "Show.Pause");
QLN_STATIC_ASSERT(offsetof(Show, Season) == 516, "Show.Season");
QLN_STATIC_ASSERT(offsetof(Show, Episode) == 520, "Show.Episode");
QLN_STATIC_ASSERT(offsetof(Show, NextSearch) == 528, "Show.NextSearch");
QLN_STATIC_ASSERT(sizeof(bool) == 1 && sizeof(int) == 4, "bool is one byte, int four");
QLN_STATIC_ASSERT(offsetof(QLN_SHOW_INFO, ImdbId) == 16, "QLN_SHOW_INFO.ImdbId");
QLN_STATIC_ASSERT(offsetof(QLN_SHOW_INFO, PremiereYear) == 32, "QLN_SHOW_INFO.PremiereYear");
QLN_STATIC_ASSERT(offsetof(QLN_SHOW_INFO, Country) == 36, "QLN_SHOW_INFO.Country");
QLN_STATIC_ASSERT(offsetof(QLN_SHOW_INFO, AirTime) == 48, "QLN_SHOW_INFO.AirTime");
QLN_STATIC_ASSERT(offsetof(QLN_SHOW_INFO, Aliases) == 56, "QLN_SHOW_INFO.Aliases");
QLN_STATIC_ASSERT(sizeof(QLN_SHOW_INFO) == 1080, "QLN_SHOW_INFO is 1080 bytes");
QLN_STATIC_ASSERT(offsetof(QLN_SEARCH_PASS, Pass) == 8, "QLN_SEARCH_PASS.Pass");
QLN_STATIC_ASSERT(offsetof(QLN_SEARCH_PASS, WindowStart) == 16, "QLN_SEARCH_PASS.WindowStart");
QLN_STATIC_ASSERT(offsetof(QLN_SEARCH_PASS, Now) == 24, "QLN_SEARCH_PASS.Now");
QLN_STATIC_ASSERT(sizeof(QLN_SEARCH_PASS) == 32, "QLN_SEARCH_PASS is 32 bytes");

#if UINTPTR_MAX == 0xFFFFFFFFu
/* 32-bit target */
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, id) == 4, "QLN_PLUGIN.id");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, name) == 8, "QLN_PLUGIN.name");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, author) == 12, "QLN_PLUGIN.author");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, type) == 16, "QLN_PLUGIN.type");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Init) == 20, "QLN_PLUGIN.Init");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, GetStatus) == 24, "QLN_PLUGIN.GetStatus");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Shutdown) == 28, "QLN_PLUGIN.Shutdown");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Configure) == 32, "QLN_PLUGIN.Configure");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Search) == 36, "QLN_PLUGIN.Search");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, module) == 40, "QLN_PLUGIN.module");
QLN_STATIC_ASSERT(sizeof(QLN_PLUGIN) == 44, "QLN_PLUGIN is 44 bytes");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, SleepSeconds) == 16, "QLN_HOST_API.SleepSeconds");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, IsSeen) == 40, "QLN_HOST_API.IsSeen");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, SetStatusText) == 56, "QLN_HOST_API.SetStatusText");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, Curl) == 68, "QLN_HOST_API.Curl");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, Mem) == 72, "QLN_HOST_API.Mem");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, HandleMagnet) == 76, "QLN_HOST_API.HandleMagnet");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, UnmarkSeen) == 80, "QLN_HOST_API.UnmarkSeen");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, GetShowInfo) == 84, "QLN_HOST_API.GetShowInfo");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, GetSearchPass) == 88, "QLN_HOST_API.GetSearchPass");
QLN_STATIC_ASSERT(sizeof(QLN_HOST_API) == 92, "QLN_HOST_API is 23 entries");
QLN_STATIC_ASSERT(sizeof(QLN_CURL_API) == 36, "QLN_CURL_API is 9 entries");
QLN_STATIC_ASSERT(sizeof(QLN_MEM_API) == 20, "QLN_MEM_API is 5 entries");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
/* 64-bit target */
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, id) == 8, "QLN_PLUGIN.id");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, name) == 16, "QLN_PLUGIN.name");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, author) == 24, "QLN_PLUGIN.author");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, type) == 32, "QLN_PLUGIN.type");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Init) == 40, "QLN_PLUGIN.Init");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, GetStatus) == 48, "QLN_PLUGIN.GetStatus");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Shutdown) == 56, "QLN_PLUGIN.Shutdown");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Configure) == 64, "QLN_PLUGIN.Configure");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, Search) == 72, "QLN_PLUGIN.Search");
QLN_STATIC_ASSERT(offsetof(QLN_PLUGIN, module) == 80, "QLN_PLUGIN.module");
QLN_STATIC_ASSERT(sizeof(QLN_PLUGIN) == 88, "QLN_PLUGIN is 88 bytes");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, SleepSeconds) == 32, "QLN_HOST_API.SleepSeconds");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, IsSeen) == 80, "QLN_HOST_API.IsSeen");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, SetStatusText) == 112, "QLN_HOST_API.SetStatusText");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, Curl) == 136, "QLN_HOST_API.Curl");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, Mem) == 144, "QLN_HOST_API.Mem");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, HandleMagnet) == 152, "QLN_HOST_API.HandleMagnet");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, UnmarkSeen) == 160, "QLN_HOST_API.UnmarkSeen");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, GetShowInfo) == 168, "QLN_HOST_API.GetShowInfo");
QLN_STATIC_ASSERT(offsetof(QLN_HOST_API, GetSearchPass) == 176, "QLN_HOST_API.GetSearchPass");
QLN_STATIC_ASSERT(sizeof(QLN_HOST_API) == 184, "QLN_HOST_API is 23 entries");
QLN_STATIC_ASSERT(sizeof(QLN_CURL_API) == 72, "QLN_CURL_API is 9 entries");
QLN_STATIC_ASSERT(sizeof(QLN_MEM_API) == 40, "QLN_MEM_API is 5 entries");
#endif

#endif /* QUILLON_PLUGIN_H */
