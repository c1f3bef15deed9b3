#include "tvmaze.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "airstamp.h"
#include "checkstate.h"
#include "clock.h"
#include "hostapi.h"
#include "log.h"
#include "quillon/plugin.h"
#include "settings.h"
#include "showlist.h"
#include "vorlo/platform.h"
#include "vorlo/thread.h"

using nlohmann::json;

namespace {

constexpr size_t kMaxAnswerBytes = 8u << 20;
constexpr long kRequestSeconds = 10;
constexpr int64_t kWeek = 7 * 86400;
constexpr int64_t kDay = 86400;
constexpr int kMaxTries = 4;  // one request and up to three after a 429

// --- JSON helpers: every field optional ------------------------------------

std::string Text(const json &object, const char *key) {
    if (!object.is_object())
        return std::string();
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

int64_t Number(const json &object, const char *key, bool *present = nullptr) {
    if (present)
        *present = false;
    if (!object.is_object())
        return 0;
    auto it = object.find(key);
    if (it == object.end() || !it->is_number_integer())
        return 0;
    if (present)
        *present = true;
    return it->get<int64_t>();
}

int32_t Id(const json &object, const char *key) {
    int64_t value = Number(object, key);
    return value > 0 && value <= INT32_MAX ? static_cast<int32_t>(value) : 0;
}

void ReadShow(const json &show, TvShowInfo &info) {
    info.id = Id(show, "id");
    info.name = Text(show, "name");
    info.status = Text(show, "status");
    std::string premiered = Text(show, "premiered");
    int64_t day = 0;
    if (ParseAirDate(premiered, day))
        info.premieredYear = static_cast<int>(CivilFromSeconds(day).year);
    int64_t runtime = Number(show, "runtime");
    info.runtime = runtime > 0 && runtime < 24 * 60 ? static_cast<int>(runtime) : 0;
    for (const char *key : {"network", "webChannel"}) {
        auto it = show.is_object() ? show.find(key) : show.end();
        if (it == show.end() || !it->is_object())
            continue;
        info.channel = Text(*it, "name");
        auto country = it->find("country");
        if (country != it->end())
            info.country = Text(*country, "code");
        break;
    }
    auto externals = show.is_object() ? show.find("externals") : show.end();
    if (externals != show.end()) {
        info.tvdbId = Id(*externals, "thetvdb");
        info.tvrageId = Id(*externals, "tvrage");
        std::string imdb = Text(*externals, "imdb");
        if (IsImdbId(imdb.c_str()))
            info.imdbId = imdb;
    }
}

json Parse(const std::string &text) { return json::parse(text, nullptr, false); }

// --- Cache and worker state -------------------------------------------------

std::mutex g_cacheMutex;
std::map<int32_t, std::shared_ptr<const TvSchedule>> g_cache;
// Shows whose file was looked for and not found (no read on every pass).
std::set<int32_t> g_noFile;
// Last refresh asked for because the awaited episode had aired.
std::map<int32_t, int64_t> g_airedRefresh;

std::mutex g_workMutex;
std::set<int32_t> g_pending;
std::set<int32_t> g_linked;
int64_t g_lastUpdatesCall = 0;
// When a requested fetch last failed: not asked again for an hour, so an
// offline TVmaze costs no request per pass.
std::map<int32_t, int64_t> g_failedAt;
constexpr int64_t kRetryFailedAfter = 3600;

std::mutex g_requestMutex;
std::chrono::steady_clock::time_point g_lastRequest{};
std::atomic<bool> g_noSpacing{false};
// The worker starts with the first piece of work once the host allowed it,
// so a program without linked shows runs no extra thread.
std::atomic<bool> g_workerAllowed{false};
std::atomic<bool> g_workerRunning{false};
// 1 answering, 0 not answering, -1 not yet asked.
std::atomic<int> g_answering{-1};

bool Stopping() { return shuttingDown.load() || abortCheck.load(); }

// Waits `ms`, in slices, unless the program stops; false when it did.
bool WaitMilliseconds(long ms) {
    for (long waited = 0; waited < ms; waited += 50) {
        if (Stopping())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50L, ms - waited)));
    }
    return !Stopping();
}

struct Receiver {
    std::string body;
    bool tooLarge = false;
    long retryAfter = -1;
};

size_t WriteBody(char *data, size_t size, size_t count, void *user) {
    Receiver *r = static_cast<Receiver *>(user);
    size_t n = size * count;
    if (r->body.size() + n > kMaxAnswerBytes) {
        r->tooLarge = true;
        return 0;
    }
    r->body.append(data, n);
    return n;
}

size_t ReadHeader(char *data, size_t size, size_t count, void *user) {
    Receiver *r = static_cast<Receiver *>(user);
    size_t n = size * count;
    static const char kName[] = "retry-after:";
    const size_t len = sizeof kName - 1;
    if (n > len) {
        bool match = true;
        for (size_t i = 0; i < len && match; i++) {
            char c = data[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + ('a' - 'A'));
            match = c == kName[i];
        }
        if (match) {
            long seconds = 0;
            size_t i = len;
            while (i < n && data[i] == ' ')
                i++;
            size_t start = i;
            while (i < n && data[i] >= '0' && data[i] <= '9' && seconds < 100000)
                seconds = seconds * 10 + (data[i++] - '0');
            if (i > start)
                r->retryAfter = seconds;  // an HTTP date form is treated as absent
        }
    }
    return n;
}

std::string UserAgent() {
    const char *version = QUILLON_VERSION_TEXT;
    if (version[0] == 'v')
        version++;
    return std::string("Quillon/") + version;
}

std::string BaseUrl() {
    std::string base = g_settings.TvmazeUrl[0] ? g_settings.TvmazeUrl : kDefaultTvmazeUrl;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return base;
}

// Notes whether TVmaze answered, with one Log line on each change.
void NoteAnswering(bool answering, const std::string &reason) {
    int now = answering ? 1 : 0;
    int before = g_answering.exchange(now);
    if (before == now)
        return;
    if (!answering)
        Log("TVmaze is not answering (%s); cached schedules are used until it does.", reason.c_str());
    else if (before == 0)
        Log("TVmaze answers again.");
}

std::string Escape(const std::string &text) {
    std::string out;
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::shared_ptr<const TvSchedule> ReadCacheFile(int32_t id) {
    std::string path = ScheduleCachePath(id);
    bool notRegular = false;
    FILE *in = PlatformOpenRegularFile(path.c_str(), &notRegular);
    if (!in)
        return nullptr;
    std::string text;
    char buffer[65536];
    size_t n;
    bool tooLarge = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        text.append(buffer, n);
        if (text.size() > 2 * kMaxAnswerBytes + 4096) {
            tooLarge = true;
            break;
        }
    }
    std::fclose(in);
    json doc = tooLarge ? json(json::value_t::discarded) : Parse(text);
    auto schedule = std::make_shared<TvSchedule>();
    bool good = doc.is_object() && doc.contains("show") && doc["show"].is_object();
    if (good) {
        json akas = doc.contains("akas") ? doc["akas"] : json::array();
        good = ParseTvSchedule(doc["show"].dump(), akas.dump(), *schedule) && schedule->show.id == id;
        schedule->fetched = Number(doc, "fetched");
    }
    if (!good) {
        Log("The schedule cache %s is damaged; it is deleted and fetched again from TVmaze.", path.c_str());
        PlatformRemoveFile(path.c_str());
        RequestScheduleFetch(id);
        return nullptr;
    }
    return schedule;
}

void WorkerMain(ThreadRecord *record) {
    while (!shuttingDown.load()) {
        TvmazeWorkOnce();
        for (int slice = 0; slice < 20 && !shuttingDown.load(); ++slice)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    g_workerRunning = false;
    record->end(record);
}

void WakeWorker() {
    if (!g_workerAllowed.load() || shuttingDown.load())
        return;
    bool expected = false;
    if (!g_workerRunning.compare_exchange_strong(expected, true))
        return;
    if (!StartThread("TVmaze Thread", &WorkerMain, nullptr)) {
        g_workerRunning = false;
        g_workerAllowed = false;  // said once; cached schedules still serve
        Log("Error: could not start the TVmaze Thread! Schedules will not be updated until Quillon "
            "is restarted.");
    }
}

}  // namespace

// --- Answers ------------------------------------------------------------------

bool ParseTvSearch(const std::string &body, std::vector<TvSearchHit> &hits) {
    hits.clear();
    json doc = Parse(body);
    if (!doc.is_array())
        return false;
    for (const json &item : doc) {
        if (!item.is_object() || !item.contains("show") || !item["show"].is_object())
            continue;
        TvSearchHit hit;
        ReadShow(item["show"], hit.show);
        if (hit.show.id <= 0 || hit.show.name.empty())
            continue;
        auto score = item.find("score");
        hit.score = score != item.end() && score->is_number() ? score->get<double>() : 0;
        hits.push_back(std::move(hit));
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const TvSearchHit &a, const TvSearchHit &b) { return a.score > b.score; });
    return true;
}

namespace {

// An episode with an air date and no air time gets the start of that day
// (as local time, `zone` applied later); one with all three teaches `zone`
// (local minus UTC seconds).
void AirDateOnly(const json &item, TvEpisode &episode, int64_t &zone, std::vector<size_t> &dateOnly,
                 size_t index) {
    int64_t day = 0;
    if (!ParseAirDate(Text(item, "airdate"), day))
        return;
    std::string airtime = Text(item, "airtime");
    if (airtime.empty()) {
        episode.airstamp = day;
        episode.hasAirstamp = true;
        dateOnly.push_back(index);
        return;
    }
    unsigned hour = 0, minute = 0;
    char tail = 0;
    if (episode.hasAirstamp && std::sscanf(airtime.c_str(), "%2u:%2u%c", &hour, &minute, &tail) == 2 &&
        hour < 24 && minute < 60) {
        int64_t local = day + hour * 3600 + minute * 60;
        int64_t offset = local - episode.airstamp;
        if (offset >= -14 * 3600 && offset <= 14 * 3600)
            zone = offset;
    }
}

}  // namespace

bool ParseTvSchedule(const std::string &showBody, const std::string &akasBody, TvSchedule &out) {
    json show = Parse(showBody);
    if (!show.is_object())
        return false;
    TvSchedule schedule;
    ReadShow(show, schedule.show);
    if (schedule.show.id <= 0)
        return false;
    const json *episodes = nullptr;
    auto embedded = show.find("_embedded");
    if (embedded != show.end() && embedded->is_object()) {
        auto list = embedded->find("episodes");
        if (list != embedded->end() && list->is_array())
            episodes = &*list;
    }
    int64_t zone = 0;
    std::vector<size_t> dateOnly;
    if (episodes) {
        for (const json &item : *episodes) {
            bool hasSeason = false, hasNumber = false;
            int64_t season = Number(item, "season", &hasSeason);
            int64_t number = Number(item, "number", &hasNumber);
            std::string type = Text(item, "type");
            // A special: no number, or a type other than regular.
            if (!hasSeason || !hasNumber || (!type.empty() && type != "regular"))
                continue;
            if (season < 0 || season > 100000 || number < 1 || number > 100000)
                continue;
            TvEpisode episode;
            episode.season = static_cast<int>(season);
            episode.number = static_cast<int>(number);
            episode.hasAirstamp = ParseAirStamp(Text(item, "airstamp"), episode.airstamp);
            AirDateOnly(item, episode, zone, dateOnly, schedule.episodes.size());
            schedule.episodes.push_back(episode);
        }
    }
    // A date without a time counts from the start of that day where the show
    // airs: the zone offset its timed episodes show, else UTC.
    for (size_t index : dateOnly)
        schedule.episodes[index].airstamp -= zone;
    json akas = akasBody.empty() ? json::array() : Parse(akasBody);
    if (akas.is_array()) {
        for (const json &aka : akas) {
            std::string name = Text(aka, "name");
            if (!name.empty() && name != schedule.show.name &&
                std::find(schedule.show.akas.begin(), schedule.show.akas.end(), name) ==
                    schedule.show.akas.end())
                schedule.show.akas.push_back(name);
        }
    }
    out = std::move(schedule);
    return true;
}

bool ParseTvUpdates(const std::string &body, std::vector<std::pair<int32_t, int64_t>> &out) {
    out.clear();
    json doc = Parse(body);
    if (!doc.is_object())
        return false;
    for (auto it = doc.begin(); it != doc.end(); ++it) {
        char *end = nullptr;
        long long id = std::strtoll(it.key().c_str(), &end, 10);
        if (!end || *end || id <= 0 || id > INT32_MAX || !it->is_number_integer())
            continue;
        out.emplace_back(static_cast<int32_t>(id), it->get<int64_t>());
    }
    return true;
}

// --- Requests -----------------------------------------------------------------

TvAnswer TvmazeGet(const std::string &pathAndQuery) {
    TvAnswer answer;
    const std::string url = BaseUrl() + pathAndQuery;
    const std::string agent = UserAgent();
    long backoff = 2000;
    for (int attempt = 0; attempt < kMaxTries; attempt++) {
        {
            // At most two requests a second, whoever asks.
            std::lock_guard<std::mutex> hold(g_requestMutex);
            if (!g_noSpacing.load()) {
                auto due = g_lastRequest + std::chrono::milliseconds(500);
                auto now = std::chrono::steady_clock::now();
                if (due > now &&
                    !WaitMilliseconds(static_cast<long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count() + 1))) {
                    answer.stopped = true;
                    return answer;
                }
            }
            g_lastRequest = std::chrono::steady_clock::now();
        }
        Receiver receiver;
        CURL *handle = HostCurlEasyInit();
        if (!handle) {
            answer.error = "no transfer handle";
            return answer;
        }
        HostCurlEasySetopt(handle, CURLOPT_URL, url.c_str());
        HostCurlEasySetopt(handle, CURLOPT_USERAGENT, agent.c_str());
        HostCurlEasySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        HostCurlEasySetopt(handle, CURLOPT_MAXREDIRS, 5L);
        HostCurlEasySetopt(handle, CURLOPT_TIMEOUT, kRequestSeconds);
        HostCurlEasySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
        HostCurlEasySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
        HostCurlEasySetopt(handle, CURLOPT_NOSIGNAL, 1L);
        HostCurlEasySetopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxAnswerBytes));
        HostCurlEasySetopt(handle, CURLOPT_WRITEFUNCTION, &WriteBody);
        HostCurlEasySetopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(&receiver));
        HostCurlEasySetopt(handle, CURLOPT_HEADERFUNCTION, &ReadHeader);
        HostCurlEasySetopt(handle, CURLOPT_HEADERDATA, static_cast<void *>(&receiver));
        CURLcode code = HostCurlEasyPerform(handle);
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        HostCurlEasyCleanup(handle);

        if (Stopping()) {
            answer.stopped = true;
            return answer;
        }
        if (receiver.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            answer.status = status;
            answer.error = "answer over 8 MiB refused";
            return answer;
        }
        if (code != CURLE_OK) {
            answer.error = curl_easy_strerror(code);
            NoteAnswering(false, answer.error);
            return answer;
        }
        answer.status = status;
        if (status == 429 && attempt + 1 < kMaxTries) {
            long wait = receiver.retryAfter >= 0 ? std::min(receiver.retryAfter, 60L) * 1000 : backoff;
            backoff = std::min(backoff * 2, 60000L);
            if (!WaitMilliseconds(wait)) {
                answer.stopped = true;
                return answer;
            }
            continue;
        }
        if (status >= 500 || status == 429) {
            char reason[64];
            std::snprintf(reason, sizeof reason, "HTTP %ld", status);
            answer.error = reason;
            NoteAnswering(false, answer.error);
            return answer;
        }
        NoteAnswering(true, std::string());
        answer.body = std::move(receiver.body);
        if (status != 200) {
            char reason[64];
            std::snprintf(reason, sizeof reason, "HTTP %ld", status);
            answer.error = reason;
        }
        return answer;
    }
    return answer;
}

std::vector<TvSearchHit> TvmazeSearch(const std::string &name, std::string *error) {
    std::vector<TvSearchHit> hits;
    if (error)
        error->clear();
    TvAnswer answer = TvmazeGet("/search/shows?q=" + Escape(name));
    if (answer.stopped) {
        if (error)
            *error = "stopped";
        return hits;
    }
    if (answer.status == 404)
        return hits;  // nothing matches
    if (!answer.error.empty()) {
        if (error)
            *error = answer.error;
        return hits;
    }
    if (!ParseTvSearch(answer.body, hits) && error)
        *error = "TVmaze's answer could not be read";
    return hits;
}

bool TvmazeFetchSchedule(int32_t id, std::string *error) {
    char path[96];
    std::snprintf(path, sizeof path, "/shows/%ld?embed=episodes", static_cast<long>(id));
    TvAnswer show = TvmazeGet(path);
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    if (show.stopped)
        return fail("stopped");
    if (show.status == 404) {
        Log("TVmaze knows no show %ld any more; its cached schedule is kept. Use Find in the show "
            "editor to link the show again.",
            static_cast<long>(id));
        return fail("HTTP 404");
    }
    if (!show.error.empty())
        return fail(show.error);
    std::snprintf(path, sizeof path, "/shows/%ld/akas", static_cast<long>(id));
    TvAnswer akas = TvmazeGet(path);
    if (akas.stopped)
        return fail("stopped");
    std::string akasBody = akas.error.empty() ? akas.body : std::string();

    TvSchedule schedule;
    if (!ParseTvSchedule(show.body, akasBody, schedule) || schedule.show.id != id) {
        Log("TVmaze's answer for show %ld could not be read; its cached schedule is kept.",
            static_cast<long>(id));
        return fail("unreadable answer");
    }
    schedule.fetched = HostNow();

    // Stored as the answers came, with the fetch time.
    json doc = json::object();
    doc["fetched"] = schedule.fetched;
    doc["show"] = Parse(show.body);
    json akasDoc = Parse(akasBody);
    doc["akas"] = akasDoc.is_array() ? akasDoc : json::array();
    std::string text = doc.dump(-1, ' ', false, json::error_handler_t::replace);
    std::string folder = std::string(g_paths.DataFolder) + "schedule";
    PlatformMakeFolder(folder.c_str(), 0700);
    std::string file = ScheduleCachePath(id);
    if (!PlatformWriteFileAtomic(file.c_str(), text.data(), text.size()))
        Log("Error saving %s: %s", file.c_str(), std::strerror(errno));
    {
        std::lock_guard<std::mutex> hold(g_cacheMutex);
        g_cache[id] = std::make_shared<const TvSchedule>(std::move(schedule));
        g_noFile.erase(id);
    }
    return true;
}

// --- Cache --------------------------------------------------------------------

std::string ScheduleCachePath(int32_t id) {
    char name[48];
    std::snprintf(name, sizeof name, "schedule%c%ld.json", kPathSeparator, static_cast<long>(id));
    return std::string(g_paths.DataFolder) + name;
}

std::shared_ptr<const TvSchedule> CachedSchedule(int32_t id) {
    if (id <= 0)
        return nullptr;
    {
        std::lock_guard<std::mutex> hold(g_cacheMutex);
        auto found = g_cache.find(id);
        if (found != g_cache.end())
            return found->second;
        if (g_noFile.count(id))
            return nullptr;
    }
    std::shared_ptr<const TvSchedule> read = ReadCacheFile(id);
    std::lock_guard<std::mutex> hold(g_cacheMutex);
    auto found = g_cache.find(id);
    if (found != g_cache.end())
        return found->second;  // a fetch got there first
    if (read)
        g_cache[id] = read;
    else
        g_noFile.insert(id);
    return read;
}

void ForgetCachedSchedules() {
    std::lock_guard<std::mutex> hold(g_cacheMutex);
    g_cache.clear();
    g_noFile.clear();
    g_airedRefresh.clear();
}

bool ScheduleWantsRefresh(const TvSchedule &schedule, int season, int episode, int64_t now) {
    if (now - schedule.fetched >= kWeek || now < schedule.fetched)
        return true;
    int index = AwaitedEpisodeIndex(schedule, season, episode);
    bool aired;
    if (index < 0) {
        // Past the list's end: worth asking only while the show runs and
        // the last listed episode has aired.
        aired = !schedule.Ended() && (schedule.episodes.empty() || (schedule.episodes.back().hasAirstamp &&
                                                                   schedule.episodes.back().airstamp <= now));
    } else {
        const TvEpisode &awaited = schedule.episodes[static_cast<size_t>(index)];
        aired = awaited.hasAirstamp && awaited.airstamp <= now &&
                static_cast<size_t>(index) + 1 == schedule.episodes.size() && !schedule.Ended();
    }
    if (!aired || now - schedule.fetched < kDay)
        return false;
    std::lock_guard<std::mutex> hold(g_cacheMutex);
    int64_t &last = g_airedRefresh[schedule.show.id];
    if (last != 0 && now - last < kDay && now >= last)
        return false;
    last = now;
    return true;
}

// --- Roll-over ------------------------------------------------------------------

int AwaitedEpisodeIndex(const TvSchedule &schedule, int season, int episode) {
    int best = -1;
    for (size_t i = 0; i < schedule.episodes.size(); i++) {
        const TvEpisode &e = schedule.episodes[i];
        if (e.season == season && e.number == episode)
            return static_cast<int>(i);
        bool after = e.season > season || (e.season == season && e.number > episode);
        if (!after)
            continue;
        if (best < 0) {
            best = static_cast<int>(i);
            continue;
        }
        const TvEpisode &b = schedule.episodes[static_cast<size_t>(best)];
        if (e.season < b.season || (e.season == b.season && e.number < b.number))
            best = static_cast<int>(i);
    }
    return best;
}

int NextEpisodeIndex(const TvSchedule &schedule, int season, int lastEpisode) {
    for (size_t i = 0; i < schedule.episodes.size(); i++) {
        const TvEpisode &e = schedule.episodes[i];
        if (e.season != season || e.number != lastEpisode)
            continue;
        // The next in airing order that the find did not already cover.
        for (size_t j = i + 1; j < schedule.episodes.size(); j++) {
            const TvEpisode &n = schedule.episodes[j];
            if (n.season > season || (n.season == season && n.number > lastEpisode))
                return static_cast<int>(j);
        }
        return -1;
    }
    return lastEpisode < INT32_MAX ? AwaitedEpisodeIndex(schedule, season, lastEpisode + 1) : -1;
}

std::string LocalAirText(int64_t utc) {
    static const char kDays[][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const time_t seconds = static_cast<time_t>(utc);
    struct tm local;
#ifdef _WIN32
    if (localtime_s(&local, &seconds) != 0)
        return std::string();
#else
    if (!localtime_r(&seconds, &local))
        return std::string();
#endif
    if (local.tm_wday < 0 || local.tm_wday > 6)
        return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%s %04d-%02d-%02d %02d:%02d", kDays[local.tm_wday],
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}

std::string ScheduleStatusText(const TvSchedule *schedule, int season, int episode) {
    if (!schedule)
        return "schedule unknown (offline)";
    int index = AwaitedEpisodeIndex(*schedule, season, episode);
    if (index < 0)
        return schedule->Ended() ? "show ended" : "no date yet";
    const TvEpisode &e = schedule->episodes[static_cast<size_t>(index)];
    if (!e.hasAirstamp)
        return "no date yet";
    char text[96];
    std::snprintf(text, sizeof text, "S%02dE%02d airs %s", e.season, e.number, LocalAirText(e.airstamp).c_str());
    return text;
}

bool HostGetShowInfo(const Show *show, int season, int episode, QLN_SHOW_INFO *info) {
    if (!info || info->Size < sizeof(uint32_t))
        return false;
    const uint32_t size = std::min<uint32_t>(info->Size, sizeof(QLN_SHOW_INFO));
    QLN_SHOW_INFO full;
    std::memset(&full, 0, sizeof full);
    full.Size = info->Size;
    ShowLink link;
    if (show) {
        link = GetShowLink(show);
        if (!link.Linked()) {
            // A plugin may hand over a copy of the record: found by its name.
            MutexHold hold(ShowListLock);
            for (Show *listed : ShowArray())
                if (std::strncmp(listed->ShowName, show->ShowName, sizeof show->ShowName) == 0) {
                    link = GetShowLink(listed);
                    break;
                }
        }
    }
    if (link.Linked()) {
        full.TvmazeId = link.tvmazeId;
        full.TvdbId = link.tvdbId;
        full.TvrageId = link.tvrageId;
        std::snprintf(full.ImdbId, sizeof full.ImdbId, "%s", link.imdbId.c_str());
        if (auto schedule = CachedSchedule(link.tvmazeId)) {
            full.PremiereYear = schedule->show.premieredYear;
            if (schedule->show.country.size() < sizeof full.Country)
                std::snprintf(full.Country, sizeof full.Country, "%s", schedule->show.country.c_str());
            if (!full.TvdbId)
                full.TvdbId = schedule->show.tvdbId;
            if (!full.TvrageId)
                full.TvrageId = schedule->show.tvrageId;
            if (!full.ImdbId[0])
                std::snprintf(full.ImdbId, sizeof full.ImdbId, "%s", schedule->show.imdbId.c_str());
            for (const TvEpisode &e : schedule->episodes)
                if (e.season == season && e.number == episode && e.hasAirstamp) {
                    full.AirTime = e.airstamp + static_cast<int64_t>(link.airOffset) * 60;
                    break;
                }
            size_t used = 0;
            for (const std::string &aka : schedule->show.akas) {
                if (aka.find('\n') != std::string::npos || used + aka.size() + 1 >= sizeof full.Aliases)
                    continue;
                std::memcpy(full.Aliases + used, aka.data(), aka.size());
                used += aka.size();
                full.Aliases[used++] = '\n';
            }
        }
    }
    std::memcpy(info, &full, size);
    return link.Linked();
}

// --- Worker -----------------------------------------------------------------------

void RequestScheduleFetch(int32_t id) {
    if (id <= 0)
        return;
    {
        std::lock_guard<std::mutex> hold(g_workMutex);
        g_pending.insert(id);
    }
    WakeWorker();
}

void NoteLinkedShow(int32_t id) {
    if (id <= 0)
        return;
    {
        std::lock_guard<std::mutex> hold(g_workMutex);
        g_linked.insert(id);
    }
    WakeWorker();
}

void TvmazeWorkOnce() {
    std::set<int32_t> linked;
    bool updatesDue = false;
    const int64_t now = HostNow();
    {
        std::lock_guard<std::mutex> hold(g_workMutex);
        linked = g_linked;
        updatesDue = !linked.empty() && (g_lastUpdatesCall == 0 || now - g_lastUpdatesCall >= kDay ||
                                         now < g_lastUpdatesCall);
        if (updatesDue)
            g_lastUpdatesCall = now;
    }
    if (updatesDue) {
        // At most one look a day at what TVmaze changed; a linked show it
        // names after its cache was written is fetched again.
        TvAnswer answer = TvmazeGet("/updates/shows?since=day");
        std::vector<std::pair<int32_t, int64_t>> updates;
        if (answer.error.empty() && !answer.stopped && ParseTvUpdates(answer.body, updates)) {
            for (const auto &update : updates) {
                if (!linked.count(update.first))
                    continue;
                auto cached = CachedSchedule(update.first);
                if (!cached || update.second > cached->fetched)
                    RequestScheduleFetch(update.first);
            }
        } else if (answer.stopped) {
            std::lock_guard<std::mutex> hold(g_workMutex);
            g_lastUpdatesCall = 0;
        }
    }
    for (;;) {
        int32_t id;
        {
            std::lock_guard<std::mutex> hold(g_workMutex);
            if (g_pending.empty() || Stopping())
                return;
            id = *g_pending.begin();
            g_pending.erase(g_pending.begin());
            auto failed = g_failedAt.find(id);
            if (failed != g_failedAt.end() && now >= failed->second && now - failed->second < kRetryFailedAfter)
                continue;
        }
        std::string error;
        bool fetched = TvmazeFetchSchedule(id, &error);
        if (!fetched && error == "stopped") {
            // Asked again at the next round.
            RequestScheduleFetch(id);
            return;
        }
        std::lock_guard<std::mutex> hold(g_workMutex);
        if (fetched)
            g_failedAt.erase(id);
        else
            g_failedAt[id] = now;
    }
}

void StartTvmazeThread() {
    g_workerAllowed = true;
    bool work;
    {
        std::lock_guard<std::mutex> hold(g_workMutex);
        work = !g_pending.empty() || !g_linked.empty();
    }
    if (work)
        WakeWorker();
}

void ResetTvmazeForTesting(bool noSpacing) {
    g_workerAllowed = false;
    g_noSpacing = noSpacing;
    g_answering = -1;
    ForgetCachedSchedules();
    std::lock_guard<std::mutex> hold(g_workMutex);
    g_pending.clear();
    g_linked.clear();
    g_failedAt.clear();
    g_lastUpdatesCall = 0;
}
