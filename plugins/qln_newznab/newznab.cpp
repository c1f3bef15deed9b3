// qln_newznab: searches up to eight Newznab or Torznab indexers (Usenet
// indexers, and torrent sites behind Prowlarr or Jackett), one plugin row
// each. Per indexer it asks for the capabilities once per run, searches by
// season and episode where the indexer can, delivers the first fitting
// unseen release (NZB, torrent or magnet link) and marks it seen only once
// the host took it. It sends at most one request a second, stops asking an
// indexer that refused the account, pauses one that asks for a pause, and
// keeps each indexer inside its daily request and download budgets.
#include "answer.h"
#include "config.h"
#include "feed.h"
#include "fetch.h"
#include "frame.h"
#include "settings.h"
#include "state.h"

#include <vorlo/platform.h>
#include <vorlo/text.h>

#include <cerrno>
#include <cstddef>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const long kConnectTimeoutSeconds = 20;
const long kTransferTimeoutSeconds = 300;
const int kMaxRedirects = 3;
const int64_t kDefaultPauseSeconds = 60 * 60;
const int64_t kLongestPauseSeconds = 7 * 24 * 60 * 60;

// One indexer row: its settings and what this run has learnt about it.
struct Row {
    int index = 0;
    IndexerSettings settings;
    char displayName[256] = {};
    bool capsKnown = false;
    bool tvSearch = false;
    bool paramsListed = false;
    std::vector<std::string> idParams;
    bool stopped = false;         // the indexer refused the account
    std::string stopReason;
    bool requested = false;       // a request went out this run
    Clock::time_point lastRequest;
    std::string skipNote;         // the last "skipped" line written
    // The newest releases, read once per check pass (feed.h).
    int64_t feedPass = 0;         // the pass the answer below belongs to
    bool feedOk = false;
    std::vector<ResultItem> feedItems;
    FeedCoverage coverage;
    bool feedEmptyNoted = false;
    // Episodes searched on their own: up to which listing time that covers.
    std::map<std::string, int64_t> searchedUpTo;
};

Row gRows[kIndexerRows];
IndexerState gState[kIndexerRows];
std::string gStatePath;

// The host's clock where the host tells it (so that budgets and pauses
// follow the clock the host runs its passes on), else the system's.
int64_t Now() {
    const QLN_HOST_API *host = FrameHost();
    if (QLN_HostHasEntry(host, offsetof(QLN_HOST_API, GetSearchPass)) && host->GetSearchPass) {
        QLN_SEARCH_PASS pass;
        std::memset(&pass, 0, sizeof pass);
        pass.Size = sizeof pass;
        host->GetSearchPass(nullptr, 0, 0, &pass);
        if (pass.Now > 0)
            return pass.Now;
    }
    return static_cast<int64_t>(std::time(nullptr));
}

std::string TimeText(int64_t time) {
    std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
    char text[64] = "?";
    if (localtime_r(&t, &local))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The indexer's own texts may echo the request; the key never goes further.
std::string Scrub(const Row &row, std::string text) {
    const std::string &key = row.settings.apikey;
    if (key.size() < 4)
        return text;
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 3))
        text.replace(at, key.size(), "***");
    return text;
}

const char *Name(const Row &row) { return row.settings.name.c_str(); }

void SaveStateNow() {
    if (!gStatePath.empty())
        SaveState(gStatePath, gState);
}

bool HostTakesMagnets() {
    return QLN_HostHasEntry(FrameHost(), offsetof(QLN_HOST_API, HandleMagnet)) &&
           FrameHost()->HandleMagnet;
}

// ---- readiness, pauses and budgets ------------------------------------------

// Why the row cannot search now, or "" when it can.
std::string NotReadyReason(Row &row) {
    if (row.settings.url.empty())
        return "No URL Set in Plugin";
    if (row.settings.apikey.empty())
        return "No API Key Set in Plugin";
    if (row.stopped)
        return row.stopReason;
    IndexerState &state = gState[row.index];
    int64_t now = Now();
    if (state.pausedUntil > now)
        return "Paused by the indexer until " + TimeText(state.pausedUntil);
    PruneState(state, now);
    int64_t api = BudgetBlockedUntil(state, Budget::Api, row.settings.dailyapi, now);
    if (api)
        return "Daily request limit reached until " + TimeText(api);
    int64_t grabs = BudgetBlockedUntil(state, Budget::Grabs, row.settings.dailygrabs, now);
    if (grabs)
        return "Daily download limit reached until " + TimeText(grabs);
    return std::string();
}

// True when a request of `kind` may go to the indexer now; otherwise one Log
// line for each new reason to skip it.
bool MayRequest(Row &row, Budget kind) {
    if (row.stopped)
        return false;
    IndexerState &state = gState[row.index];
    int64_t now = Now();
    std::string note;
    if (state.pausedUntil > now) {
        note = "Paused by the indexer; skipped until " + TimeText(state.pausedUntil);
    } else {
        PruneState(state, now);
        int daily = kind == Budget::Api ? row.settings.dailyapi : row.settings.dailygrabs;
        if (int64_t until = BudgetBlockedUntil(state, kind, daily, now))
            note = std::string(kind == Budget::Api ? "Daily request limit" : "Daily download limit") +
                   " reached; skipped until " + TimeText(until);
    }
    if (note.empty()) {
        row.skipNote.clear();
        return true;
    }
    if (note != row.skipNote)
        FrameHost()->Log("[%s] %s", Name(row), note.c_str());
    row.skipNote = note;
    return false;
}

void RecordRequest(Row &row, Budget kind) {
    CountRequest(gState[row.index], kind, Now());
    SaveStateNow();
}

void StartPause(Row &row, const std::string &retryAfter, const std::string &reason) {
    int64_t now = Now();
    int64_t until = RetryAfterTime(retryAfter, now);
    if (until == 0)
        until = now + kDefaultPauseSeconds;
    if (until <= now)
        until = now + 1;
    if (until > now + kLongestPauseSeconds)
        until = now + kLongestPauseSeconds;
    gState[row.index].pausedUntil = until;
    SaveStateNow();
    row.skipNote = "Paused by the indexer; skipped until " + TimeText(until);
    FrameHost()->Log("[%s] The indexer asks for a pause (%s); no requests to it until %s", Name(row),
                     Scrub(row, reason).c_str(), TimeText(until).c_str());
}

void StopRow(Row &row, const ApiError &error) {
    row.stopped = true;
    row.stopReason = Scrub(row, error.description.empty() ? "Refused by the indexer" : error.description);
    if (row.stopReason.size() > 200)
        row.stopReason.resize(200);
    FrameHost()->Log("[%s] The indexer refused the account: %s (error %d); no more requests to it "
                     "until its settings change or Quillon restarts",
                     Name(row), row.stopReason.c_str(), error.code);
}

// ---- one exchange with the indexer ------------------------------------------

struct Exchange {
    CURLcode code = CURLE_OK;
    AnswerHeaders headers;
    ReceiveBuffer body;
    std::string magnet;  // a redirect to this magnet link
    Exchange() = default;
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;
    ~Exchange() { FreeReceived(body); }
};

bool IsWebAddress(const std::string &url) {
    return StrNICmp(url.c_str(), "http://", 7) == 0 || StrNICmp(url.c_str(), "https://", 8) == 0;
}

// At most one request a second to one indexer. False when the host began
// shutting down while waiting.
bool WaitForTurn(Row &row) {
    const QLN_HOST_API *host = FrameHost();
    if (row.requested && Clock::now() - row.lastRequest < std::chrono::seconds(1))
        host->SleepSeconds(1);
    if (host->IsShuttingDown())
        return false;
    row.requested = true;
    row.lastRequest = Clock::now();
    return true;
}

// One request, redirects not followed.
bool PerformOnce(const std::string &url, Exchange &exchange) {
    const QLN_HOST_API *host = FrameHost();
    const QLN_CURL_API *curl = host->Curl;
    FreeReceived(exchange.body);
    exchange.headers = AnswerHeaders();
    if (!IsWebAddress(url)) {
        exchange.code = CURLE_UNSUPPORTED_PROTOCOL;
        return true;
    }
    CURL *handle = curl->curl_easy_init();
    if (!handle)
        return false;
    // TLS peers stay verified (libcurl's default): the address carries the key.
    curl->curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl->curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl_write_callback write = AppendReceived;
    curl->curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, write);
    curl->curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(&exchange.body));
    curl_write_callback header = OnHeaderLine;
    curl->curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, header);
    curl->curl_easy_setopt(handle, CURLOPT_HEADERDATA, static_cast<void *>(&exchange.headers));
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    curl->curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl->curl_easy_setopt(handle, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    exchange.code = curl->curl_easy_perform(handle);
    curl->curl_easy_cleanup(handle);
    return true;
}

// Sends `url`, following up to three redirects between web addresses; a
// redirect to a magnet link ends it with `exchange.magnet` set. Counted once
// against the `kind` budget. False (with a Log line) when no request could
// be made at all; transfer errors are left in `exchange.code`.
bool Fetch(Row &row, std::string url, Budget kind, Exchange &exchange) {
    RecordRequest(row, kind);
    for (int hop = 0;; ++hop) {
        if (!WaitForTurn(row))
            return false;
        if (!PerformOnce(url, exchange)) {
            FrameHost()->Log("[%s] Error creating CURL handle!", Name(row));
            return false;
        }
        const AnswerHeaders &headers = exchange.headers;
        if (exchange.code != CURLE_OK || headers.status < 300 || headers.status > 399 ||
            headers.location.empty())
            return true;
        if (IsMagnet(headers.location)) {
            exchange.magnet = headers.location;
            return true;
        }
        if (hop == kMaxRedirects) {
            exchange.code = CURLE_TOO_MANY_REDIRECTS;
            return true;
        }
        url = ResolveLocation(url, headers.location);
    }
}

enum class Outcome { Ok, Failed, Paused, Stopped };

// Judges an answer: transfer errors, error documents (whatever the HTTP
// status), pauses asked for, refused accounts, other HTTP errors. `document`
// holds the parsed answer when it was XML. Other failures are written to Log
// (`downloads` false) or to Downloads.
Outcome JudgeAnswer(Row &row, Exchange &exchange, TiXmlDocument &document, bool downloads) {
    const QLN_HOST_API *host = FrameHost();
    int (*report)(const char *, ...) = downloads ? host->LogDownload : host->Log;
    if (exchange.code != CURLE_OK) {
        // The host's guard ends a transfer only on Stop Scan or exit, which
        // the host has logged itself.
        if (exchange.code != CURLE_ABORTED_BY_CALLBACK)
            report("[%s] Error downloading URL: %s", Name(row), host->Curl->curl_easy_strerror(exchange.code));
        return Outcome::Failed;
    }
    const char *text = exchange.body.data ? exchange.body.data : "";
    bool xml = false;
    if (!downloads) {
        document.Parse(text, nullptr, TIXML_ENCODING_UNKNOWN);
        xml = !document.Error();
    } else {
        // A download is only read as XML when it begins like an error answer.
        std::string head(text, std::min<size_t>(exchange.body.size, 512));
        if (FindNoCase(head.c_str(), "<error")) {
            document.Parse(text, nullptr, TIXML_ENCODING_UNKNOWN);
            xml = !document.Error();
        }
    }
    ApiError error = xml ? ReadApiError(document) : ApiError();
    int status = exchange.headers.status;
    if (status == 429 || (error.present && IsLimitError(error)) ||
        (status == 503 && !exchange.headers.retryAfter.empty())) {
        std::string reason = error.present ? error.description : "HTTP status " + std::to_string(status);
        if (error.present && reason.empty())
            reason = "error " + std::to_string(error.code);
        StartPause(row, exchange.headers.retryAfter, reason);
        return Outcome::Paused;
    }
    if (error.present && IsAccountError(error)) {
        StopRow(row, error);
        return Outcome::Stopped;
    }
    if (error.present) {
        report("[%s] The indexer answered error %d: %s", Name(row), error.code,
               Scrub(row, error.description).c_str());
        return Outcome::Failed;
    }
    if (status < 200 || status > 299) {
        report("[%s] The indexer answered HTTP status %d", Name(row), status);
        return Outcome::Failed;
    }
    if (!downloads && !xml) {
        report("[%s] Error parsing XML: %s", Name(row), document.ErrorDesc());
        return Outcome::Failed;
    }
    return Outcome::Ok;
}

void KeepRemoteLimits(Row &row, const TiXmlDocument &document) {
    RemoteLimits limits = ReadApiLimits(document, Now());
    if (limits.at == 0)
        return;
    gState[row.index].remote = limits;
    SaveStateNow();
}

std::string QueryStart(const Row &row, const char *function) {
    std::string url = ApiAddress(row.settings) + "?t=" + function + "&apikey=";
    AppendEscaped(url, row.settings.apikey);
    return url;
}

// Asks for the capabilities once per run. False when the search cannot go on.
bool LearnCapabilities(Row &row) {
    if (row.capsKnown)
        return true;
    Exchange exchange;
    if (!Fetch(row, QueryStart(row, "caps"), Budget::Api, exchange))
        return false;
    TiXmlDocument document;
    if (JudgeAnswer(row, exchange, document, false) != Outcome::Ok)
        return false;
    KeepRemoteLimits(row, document);
    Capabilities caps = ReadCapabilities(document);
    if (!caps.readable)
        FrameHost()->Log("[%s] The capabilities answer could not be read; searching with t=search",
                         Name(row));
    row.capsKnown = true;
    row.tvSearch = caps.tvSearch;
    row.paramsListed = caps.paramsListed;
    row.idParams = caps.idParams;
    return true;
}

// ---- delivery ---------------------------------------------------------------

enum class Delivery { Delivered, Failed, EndSearch };

std::string SafeFileName(const std::string &title) {
    std::string name = title.substr(0, 180);
    for (char &c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        bool keep = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                    c == '.' || c == '-';
        if (!keep)
            c = '_';
    }
    if (name.empty() || name[0] == '.' || name[0] == '-')
        name.insert(name.begin(), '_');
    return name;
}

Delivery DeliverMagnet(Row &row, const std::string &title, const std::string &uri) {
    const QLN_HOST_API *host = FrameHost();
    if (!HostTakesMagnets()) {
        host->LogDownload("[%s] Skipping %s: this version of Quillon cannot take magnet links",
                          Name(row), title.c_str());
        return Delivery::Failed;
    }
    return host->HandleMagnet(uri.c_str(), title.c_str()) ? Delivery::Delivered : Delivery::Failed;
}

// Writes the downloaded file into the private temporary folder and hands it
// to the host.
Delivery HandOverFile(Row &row, const std::string &title, const ReceiveBuffer &body) {
    const QLN_HOST_API *host = FrameHost();
    char folder[1024];
    if (!PlatformPrivateTempFolder(folder, sizeof folder)) {
        host->LogDownload("[%s] No private temporary folder for %s", Name(row), title.c_str());
        return Delivery::Failed;
    }
    const char *extension = row.settings.torrent ? ".torrent" : ".nzb";
    std::string base = std::string(folder) + SafeFileName(title);
    std::string path;
    FILE *file = nullptr;
    for (int n = 1; n <= 50 && !file; ++n) {
        path = base + (n > 1 ? "_" + std::to_string(n) : std::string()) + extension;
        file = PlatformCreateFile(path.c_str());
        if (!file && errno != EEXIST)
            break;
    }
    if (!file) {
        host->LogDownload("[%s] Error opening temp file for %s: %s", Name(row), title.c_str(),
                          std::strerror(errno));
        return Delivery::Failed;
    }
    bool written = std::fwrite(body.data, 1, body.size, file) == body.size;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        std::remove(path.c_str());
        host->LogDownload("[%s] Error writing temp file for %s", Name(row), title.c_str());
        return Delivery::Failed;
    }
    bool taken = row.settings.torrent ? host->HandleTorrentFile(path.c_str())
                                      : host->HandleNzbFile(path.c_str());
    if (!taken) {
        std::remove(path.c_str());
        return Delivery::Failed;
    }
    return Delivery::Delivered;
}

// True when a downloaded file looks like what the row delivers.
bool LooksLikeRelease(const Row &row, const ReceiveBuffer &body) {
    if (!body.data || body.size == 0)
        return false;
    if (row.settings.torrent)
        return body.data[0] == 'd';  // a bencoded dictionary
    return FindNoCase(body.data, "<nzb") != nullptr;
}

Delivery Deliver(Row &row, const ResultItem &item) {
    const QLN_HOST_API *host = FrameHost();
    if (item.link.empty() && item.magnet.empty()) {
        host->LogDownload("[%s] %s has no link", Name(row), item.title.c_str());
        return Delivery::Failed;
    }
    if (IsMagnet(item.link))
        return DeliverMagnet(row, item.title, item.link);
    if (item.link.empty())
        return DeliverMagnet(row, item.title, item.magnet);
    if (!MayRequest(row, Budget::Grabs))
        return Delivery::EndSearch;
    Exchange exchange;
    if (!Fetch(row, item.link, Budget::Grabs, exchange))
        return Delivery::EndSearch;
    if (!exchange.magnet.empty())
        return DeliverMagnet(row, item.title, exchange.magnet);
    TiXmlDocument document;
    Outcome outcome = JudgeAnswer(row, exchange, document, true);
    if (outcome == Outcome::Paused || outcome == Outcome::Stopped)
        return Delivery::EndSearch;
    if (outcome == Outcome::Ok && !LooksLikeRelease(row, exchange.body)) {
        host->LogDownload("[%s] The download of %s is not %s", Name(row), item.title.c_str(),
                          row.settings.torrent ? "a torrent file" : "an NZB file");
        outcome = Outcome::Failed;
    }
    if (outcome != Outcome::Ok) {
        // The same release may still come as a magnet link.
        if (IsMagnet(item.magnet) && HostTakesMagnets())
            return DeliverMagnet(row, item.title, item.magnet);
        return Delivery::Failed;
    }
    return HandOverFile(row, item.title, exchange.body);
}

// ---- the newest releases, once per pass -----------------------------------------

enum class Pick { Delivered, None, EndSearch };

// Delivers the first fitting unseen release of `items` for the episode.
Pick PickRelease(Row &row, const Show *show, int season, int episode, const std::vector<ResultItem> &items) {
    const QLN_HOST_API *host = FrameHost();
    for (const ResultItem &item : items) {
        // The feed lists every show: only a title naming this one and the
        // episode is taken, and for an HD-only show only an HD release.
        if (!IsWantedRelease(item.title.c_str(), show, season, episode))
            continue;
        if (show->HD_Only && !FindNoCase(item.title.c_str(), "720p") && !FindNoCase(item.title.c_str(), "1080p") &&
            !FindNoCase(item.title.c_str(), "2160p"))
            continue;
        if (host->IsSeen(item.title.c_str()))
            continue;
        if (row.settings.torrent && item.seeders >= 0 && item.seeders < row.settings.minseeders)
            continue;
        host->LogDownload("[%s] Found %s", Name(row), item.title.c_str());
        Delivery delivery = Deliver(row, item);
        if (delivery == Delivery::Delivered) {
            host->MarkSeen(item.title.c_str());
            return Pick::Delivered;
        }
        if (delivery == Delivery::EndSearch || host->IsShuttingDown())
            return Pick::EndSearch;
    }
    return Pick::None;
}

struct FirstDay {
    int64_t pass = 0, windowStart = 0, now = 0;
};

// True when the host says this Search call is for an episode in the first
// day of its window (a host without the entry never says so).
bool InFirstDay(const Show *show, int season, int episode, FirstDay &day) {
    const QLN_HOST_API *host = FrameHost();
    if (!QLN_HostHasEntry(host, offsetof(QLN_HOST_API, GetSearchPass)) || !host->GetSearchPass)
        return false;
    QLN_SEARCH_PASS pass;
    std::memset(&pass, 0, sizeof pass);
    pass.Size = sizeof pass;
    if (!host->GetSearchPass(show, season, episode, &pass) || !(pass.Flags & QLN_PASS_FIRST_DAY) || pass.Pass <= 0)
        return false;
    day.pass = pass.Pass;
    day.windowStart = pass.WindowStart;
    day.now = pass.Now;
    return true;
}

void ReadFeedAnswer(Row &row);

// Asks the indexer for its newest TV releases, once in pass `pass`. A
// failed answer leaves a gap in what the feeds covered.
void ReadFeed(Row &row, int64_t pass) {
    if (row.feedPass == pass)
        return;
    row.feedPass = pass;
    row.feedOk = false;
    row.feedItems.clear();
    ReadFeedAnswer(row);
    if (!row.feedOk)
        row.coverage.Lose();
}

void ReadFeedAnswer(Row &row) {
    if (!MayRequest(row, Budget::Api))
        return;
    std::string url = QueryStart(row, row.tvSearch ? "tvsearch" : "search");
    url += "&cat=" + row.settings.categories + "&extended=1";
    Exchange exchange;
    if (!Fetch(row, url, Budget::Api, exchange))
        return;
    TiXmlDocument document;
    if (JudgeAnswer(row, exchange, document, false) != Outcome::Ok)
        return;
    KeepRemoteLimits(row, document);
    std::vector<ResultItem> items;
    if (!ReadItems(document, items)) {
        FrameHost()->Log("[%s] The newest releases answer is not a list of results", Name(row));
        return;
    }
    std::vector<int64_t> dates;
    dates.reserve(items.size());
    for (const ResultItem &item : items)
        dates.push_back(item.published);
    row.coverage.Take(dates);
    if (items.empty() != row.feedEmptyNoted) {
        row.feedEmptyNoted = items.empty();
        if (items.empty())
            FrameHost()->Log("[%s] The indexer lists no newest releases; new episodes are searched one by one",
                             Name(row));
    }
    row.feedItems.swap(items);
    row.feedOk = true;
}

std::string EpisodeKey(const Show *show, int season, int episode) {
    return BoundedText(show->ShowName, sizeof show->ShowName) + '\n' + std::to_string(season) + 'x' +
           std::to_string(episode);
}

// An episode in its first day: looked for in the pass's feed; true in
// `searchToo` only when no answer read for it could have shown it: the first
// time, when this answer does not reach back to its window's start; later,
// when the answers read since its last own search (or since this answer
// reached back to its window) have a gap.
Pick LookInFeed(Row &row, const Show *show, int season, int episode, const FirstDay &day, bool &searchToo) {
    ReadFeed(row, day.pass);
    searchToo = false;
    if (row.feedOk) {
        Pick pick = PickRelease(row, show, season, episode, row.feedItems);
        if (pick != Pick::None)
            return pick;
    }
    const std::string key = EpisodeKey(show, season, episode);
    auto searched = row.searchedUpTo.find(key);
    if (searched == row.searchedUpTo.end()) {
        // Earlier answers were not read for this episode (the show awaited
        // another one then): only this answer counts.
        searchToo = !(row.feedOk && row.coverage.lastOldest != 0 && row.coverage.lastOldest <= day.windowStart);
        if (!searchToo)
            row.searchedUpTo[key] = day.windowStart;
        return Pick::None;
    }
    int64_t since = day.windowStart;
    if (searched != row.searchedUpTo.end() && searched->second > since)
        since = searched->second;
    searchToo = !row.coverage.Covers(since);
    return Pick::None;
}

// A search of its own covers the episode up to the newest listing known.
void NoteOwnSearch(Row &row, const Show *show, int season, int episode, const FirstDay &day) {
    if (row.searchedUpTo.size() > 1000) {
        for (auto it = row.searchedUpTo.begin(); it != row.searchedUpTo.end();)
            it = day.now - it->second > 3 * 24 * 60 * 60 ? row.searchedUpTo.erase(it) : std::next(it);
    }
    row.searchedUpTo[EpisodeKey(show, season, episode)] = row.coverage.newest ? row.coverage.newest : day.now;
}

// ---- searching ----------------------------------------------------------------

// The show's ids as tv-search parameters the indexer takes ("&tvdbid=81189"):
// every one it lists in supportedParams, else the first of them it takes by
// default. Empty when the host gives no ids or the indexer takes none of them.
std::string IdParameters(const Row &row, const Show *show, int season, int episode) {
    const QLN_HOST_API *host = FrameHost();
    if (!row.tvSearch || row.idParams.empty() || !QLN_HostHasEntry(host, offsetof(QLN_HOST_API, GetShowInfo)) ||
        !host->GetShowInfo)
        return std::string();
    QLN_SHOW_INFO info;
    std::memset(&info, 0, sizeof info);
    info.Size = sizeof info;
    if (!host->GetShowInfo(show, season, episode, &info))
        return std::string();
    info.ImdbId[sizeof info.ImdbId - 1] = '\0';
    std::string text;
    for (const std::string &param : row.idParams) {
        std::string value;
        if (param == "tvdbid" && info.TvdbId > 0)
            value = std::to_string(info.TvdbId);
        else if (param == "tvmazeid" && info.TvmazeId > 0)
            value = std::to_string(info.TvmazeId);
        else if (param == "rid" && info.TvrageId > 0)
            value = std::to_string(info.TvrageId);
        else if (param == "imdbid" && (info.ImdbId[0] == 't' || info.ImdbId[0] == 'T') && info.ImdbId[2])
            value = info.ImdbId + 2;  // the digits, as the Newznab API writes IMDb ids
        if (value.empty())
            continue;
        text += "&" + param + "=" + value;
        if (!row.paramsListed)
            break;  // without the list: one id
    }
    return text;
}

enum class Asked { Delivered, NothingFound, Stop };

// One search request and the delivery of its first fitting unseen release.
// `byIds`: the indexer already chose the show by its ids, so a title needs
// only to hold the episode (it may use a name the host does not know);
// otherwise it must name the show as well. `day` set: the episode is in its
// first day, and an answer covers it.
Asked AskAndDeliver(Row &row, const std::string &url, const Show *show, int season, int episode, bool byIds,
                    const FirstDay *day) {
    const QLN_HOST_API *host = FrameHost();
    Exchange exchange;
    if (!Fetch(row, url, Budget::Api, exchange))
        return Asked::Stop;
    TiXmlDocument document;
    if (JudgeAnswer(row, exchange, document, false) != Outcome::Ok)
        return Asked::Stop;
    KeepRemoteLimits(row, document);
    std::vector<ResultItem> items;
    if (!ReadItems(document, items)) {
        host->Log("[%s] The answer is not a list of results", Name(row));
        return Asked::Stop;
    }
    FreeReceived(exchange.body);
    if (day)
        NoteOwnSearch(row, show, season, episode, *day);
    bool fitting = false;
    for (const ResultItem &item : items) {
        // The indexer's word search also lists other shows and other
        // episodes: only a title naming the show and the episode is taken.
        if (byIds ? !HoldsEpisode(item.title.c_str(), season, episode)
                  : !IsWantedRelease(item.title.c_str(), show, season, episode))
            continue;
        if (host->IsSeen(item.title.c_str()))
            continue;
        if (row.settings.torrent && item.seeders >= 0 && item.seeders < row.settings.minseeders)
            continue;
        fitting = true;
        host->LogDownload("[%s] Found %s", Name(row), item.title.c_str());
        Delivery delivery = Deliver(row, item);
        if (delivery == Delivery::Delivered) {
            host->MarkSeen(item.title.c_str());
            return Asked::Delivered;
        }
        if (delivery == Delivery::EndSearch || host->IsShuttingDown())
            return Asked::Stop;
    }
    return fitting ? Asked::Stop : Asked::NothingFound;
}

bool SearchRow(Row &row, const Show *show, int season, int episode) {
    const QLN_HOST_API *host = FrameHost();
    if (!host || row.settings.url.empty() || row.settings.apikey.empty() || row.stopped)
        return false;
    if (!MayRequest(row, Budget::Api) || !MayRequest(row, Budget::Grabs))
        return false;
    if (!LearnCapabilities(row) || !MayRequest(row, Budget::Api))
        return false;
    FirstDay day;
    const bool firstDay = InFirstDay(show, season, episode, day);
    if (firstDay) {
        bool searchToo = false;
        Pick pick = LookInFeed(row, show, season, episode, day, searchToo);
        if (pick != Pick::None || !searchToo || !MayRequest(row, Budget::Api))
            return pick == Pick::Delivered;
    }

    char longTag[32];
    std::snprintf(longTag, sizeof longTag, "S%02dE%02d", season, episode);
    const std::string category = show->HD_Only ? row.settings.hdcategories : row.settings.categories;
    const std::string episodeParams = "&season=" + std::to_string(season) + "&ep=" + std::to_string(episode);

    // A linked show is asked for by its ids first, without words; the words
    // follow only when that found nothing and the budget has room.
    std::string ids = IdParameters(row, show, season, episode);
    if (!ids.empty()) {
        std::string url = QueryStart(row, "tvsearch") + "&cat=" + category + "&extended=1" + ids + episodeParams;
        Asked asked = AskAndDeliver(row, url, show, season, episode, true, firstDay ? &day : nullptr);
        if (asked != Asked::NothingFound)
            return asked == Asked::Delivered;
        if (host->IsShuttingDown() || !MayRequest(row, Budget::Api))
            return false;
    }

    std::string words = BoundedText(show->ShowName, sizeof show->ShowName);
    std::string keywords = BoundedText(show->Keywords, sizeof show->Keywords);
    if (!keywords.empty())
        words += " " + keywords;
    if (!row.tvSearch)
        words += std::string(" ") + longTag;

    std::string url = QueryStart(row, row.tvSearch ? "tvsearch" : "search");
    url += "&cat=" + category;
    url += "&extended=1&q=";
    if (!AppendEscaped(url, words))
        return false;
    if (row.tvSearch)
        url += episodeParams;
    return AskAndDeliver(row, url, show, season, episode, false, firstDay ? &day : nullptr) == Asked::Delivered;
}

// The Configure dialog's Test: the capabilities of the indexer as the
// dialog's fields describe it, in plain words. Counted in the row's budget.
std::string TestRow(int index, const IndexerSettings &settings) {
    Row probe;
    probe.index = index;
    probe.settings = settings;
    probe.requested = gRows[index].requested;
    probe.lastRequest = gRows[index].lastRequest;
    const QLN_HOST_API *host = FrameHost();
    if (settings.url.empty())
        return "Enter the indexer's address first.";
    if (!IsWebAddress(settings.url))
        return "The address must begin with http:// or https://.";
    Exchange exchange;
    bool sent = Fetch(probe, QueryStart(probe, "caps"), Budget::Api, exchange);
    gRows[index].requested = probe.requested;
    gRows[index].lastRequest = probe.lastRequest;
    if (!sent)
        return "The request could not be made.";
    if (exchange.code != CURLE_OK)
        return std::string("The indexer could not be reached: ") +
               host->Curl->curl_easy_strerror(exchange.code);
    TiXmlDocument document;
    document.Parse(exchange.body.data ? exchange.body.data : "", nullptr, TIXML_ENCODING_UNKNOWN);
    ApiError error = document.Error() ? ApiError() : ReadApiError(document);
    if (error.present)
        return "The indexer refused: " + Scrub(probe, error.description) + " (error " +
               std::to_string(error.code) + ").";
    if (exchange.headers.status < 200 || exchange.headers.status > 299)
        return "The indexer answered with HTTP status " + std::to_string(exchange.headers.status) + ".";
    Capabilities caps = ReadCapabilities(document);
    if (!caps.readable)
        return "The answer is not a Newznab capabilities list. Check the address and the API path.";
    std::string text = "The indexer answered.\n";
    text += caps.tvSearch ? "It searches TV by season and episode.\n"
                          : "It has no TV search by season and episode; Quillon will search by words.\n";
    if (!caps.categories.empty()) {
        text += "TV categories:";
        for (size_t i = 0; i < caps.categories.size() && i < 12; ++i)
            text += (i ? ", " : " ") + caps.categories[i];
        text += "\n";
    }
    RemoteLimits limits = ReadApiLimits(document, Now());
    if (limits.apiMax > 0)
        text += "Requests used today: " + std::to_string(limits.apiCurrent) + " of " +
                std::to_string(limits.apiMax) + ".\n";
    if (limits.grabMax > 0)
        text += "Downloads used today: " + std::to_string(limits.grabCurrent) + " of " +
                std::to_string(limits.grabMax) + ".\n";
    return text;
}

// ---- the plugin rows ------------------------------------------------------------

extern QLN_PLUGIN gPlugins[kIndexerRows];

void ApplySettings(Row &row, const IndexerSettings &settings) {
    row.settings = settings;
    std::snprintf(row.displayName, sizeof row.displayName, "%s", settings.name.c_str());
    gPlugins[row.index].type = settings.torrent ? "BitTorrent" : "NZB";
    row.capsKnown = false;
    row.tvSearch = false;
    row.stopped = false;
    row.stopReason.clear();
    row.skipNote.clear();
    row.feedPass = 0;
    row.feedOk = false;
    row.feedItems.clear();
    row.coverage.Lose();
    row.searchedUpTo.clear();
}

int RowInit(int row, const QLN_HOST_API *host) {
    FrameSetHost(host);
    gStatePath = host && host->DataFolder ? std::string(host->DataFolder) + "newznab.state" : "";
    if (!gStatePath.empty())
        LoadState(gStatePath, gState);
    const char *ini = host ? host->PluginsIniPath : nullptr;
    gRows[row] = Row();
    gRows[row].index = row;
    ApplySettings(gRows[row], ReadIndexerSettings(ini, row));
    // Rows without an address are offered only once: the first of them is
    // the row in which the user sets up the next indexer.
    if (gRows[row].settings.url.empty())
        for (int lower = 0; lower < row; ++lower)
            if (ReadIndexerSettings(ini, lower).url.empty())
                return 1;
    return 0;
}

bool RowStatus(int row, char *buffer, int size) {
    std::string reason = NotReadyReason(gRows[row]);
    if (reason.empty())
        return true;
    if (buffer && size > 0)
        std::snprintf(buffer, size_t(size), "%s", reason.c_str());
    return false;
}

void RowConfigure(int index, void *parent) {
    const QLN_HOST_API *host = FrameHost();
    if (!host || !host->PluginsIniPath)
        return;
    Row &row = gRows[index];
    std::string oldUrl = row.settings.url, oldKey = row.settings.apikey;
    bool saved = RunNewznabSettingsDialog(parent, host->PluginsIniPath, IndexerSection(index), row.settings,
                                          [index](const IndexerSettings &s) { return TestRow(index, s); });
    if (!saved)
        return;
    IndexerSettings settings = ReadIndexerSettings(host->PluginsIniPath, index);
    ApplySettings(row, settings);
    // Another indexer (or account) starts with a clean slate.
    if (settings.url != oldUrl || settings.apikey != oldKey) {
        gState[index] = IndexerState();
        SaveStateNow();
    }
}

template <int R> int Init(int, const QLN_HOST_API *host) { return RowInit(R, host); }
template <int R> bool GetStatus(char *buffer, int size) { return RowStatus(R, buffer, size); }
template <int R> void Configure(void *parent) { RowConfigure(R, parent); }
template <int R> bool Search(const Show *show, int season, int episode) {
    return SearchRow(gRows[R], show, season, episode);
}
void Shutdown() {}

#define NEWZNAB_ROW(R, ID)                                                                        \
    {QLN_INTERFACE_VERSION, ID, gRows[R].displayName, "Varnek Software", "NZB", Init<R>,          \
     GetStatus<R>, Shutdown, Configure<R>, Search<R>, nullptr}

QLN_PLUGIN gPlugins[kIndexerRows] = {
    NEWZNAB_ROW(0, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F01}"),
    NEWZNAB_ROW(1, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F02}"),
    NEWZNAB_ROW(2, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F03}"),
    NEWZNAB_ROW(3, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F04}"),
    NEWZNAB_ROW(4, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F05}"),
    NEWZNAB_ROW(5, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F06}"),
    NEWZNAB_ROW(6, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F07}"),
    NEWZNAB_ROW(7, "{6E0B8C41-2F7A-4D15-9B3E-1A5C7D9E0F08}"),
};

} // namespace

extern "C" {
QLN_EXPORT int QLN_NumPlugins(void) { return kIndexerRows; }
QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int index) {
    return index >= 0 && index < kIndexerRows ? &gPlugins[index] : nullptr;
}
}
