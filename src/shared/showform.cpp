#include "showform.h"

#include <climits>
#include <cstring>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "checkstate.h"
#include "clock.h"
#include "frontend.h"
#include "vorlo/text.h"
#include "vorlo/thread.h"

namespace {

const size_t kMaxFieldBytes = 255;  // a Show text field without its terminator

template <size_t N>
void CopyField(char (&field)[N], const std::string &text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string FieldText(const char *field, size_t size) {
    return std::string(field, strnlen(field, size));
}

}  // namespace

std::string CutToBytes(const std::string &text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t length = maxBytes;
    // Back over continuation bytes of a character the cut would split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return text.substr(0, length);
}

int PositiveNumber(const std::string &text) {
    long long value = 0;
    int digits = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        if (value == 0 && c == '0')
            continue;  // leading zeros
        if (++digits > 10)
            return 0;
        value = value * 10 + (c - '0');
    }
    return value > 0 && value <= INT_MAX ? static_cast<int>(value) : 0;
}

std::vector<std::string> ShowNames() {
    std::vector<std::string> names;
    const int count = ShowCount();
    for (int i = 0; i < count; ++i) {
        const Show *show = GetShow(i);
        names.push_back(show ? FieldText(show->ShowName, sizeof show->ShowName) : std::string());
    }
    return names;
}

ShowFields ShowFieldsOf(const Show &show) {
    ShowFields fields;
    fields.name = FieldText(show.ShowName, sizeof show.ShowName);
    fields.keywords = FieldText(show.Keywords, sizeof show.Keywords);
    fields.season = std::to_string(show.Season);
    fields.episode = std::to_string(show.Episode);
    fields.hdOnly = show.HD_Only != 0;
    fields.skip = show.Skip != 0;
    fields.catchup = show.Catchup != 0;
    fields.pause = show.Pause != 0;
    return fields;
}

bool SaveShowFields(int index, const ShowFields &fields, bool *renamed) {
    if (renamed)
        *renamed = false;
    Show *show = GetShow(index);
    if (!show)
        return false;

    CopyField(show->Keywords, CutToBytes(fields.keywords, kMaxFieldBytes));
    if (const int number = PositiveNumber(fields.season))
        show->Season = number;
    if (const int number = PositiveNumber(fields.episode))
        show->Episode = number;
    show->HD_Only = fields.hdOnly ? 1 : 0;
    show->Skip = fields.skip ? 1 : 0;
    show->Catchup = fields.catchup ? 1 : 0;
    show->Pause = fields.pause ? 1 : 0;
    // Without Skip the show is due at once, not after the rest of its 6 days.
    if (!show->Skip)
        show->NextSearch = 0;

    bool changed = false;
    if (!fields.name.empty()) {
        const std::string newName = CutToBytes(fields.name, kMaxFieldBytes);
        const std::string oldName = FieldText(show->ShowName, sizeof show->ShowName);
        changed = StrICmp(newName.c_str(), oldName.c_str()) != 0;
        CopyField(show->ShowName, newName);
    }

    SaveShows();
    if (changed)
        SortShows();
    if (renamed)
        *renamed = changed;
    return true;
}

int AddNewShow() {
    Show *show = NewShow();
    if (!show)
        return -1;
    CopyField(show->ShowName, "New Item");
    return AddShow(show);
}

bool ConfirmAndDeleteShow(int index) {
    Show *show = GetShow(index);
    if (!show)
        return false;
    if (GetFrontEnd().AskDefaultNo(L"Confirmation", L"Are you sure you want to delete this item?") !=
        MessageAnswer::Yes)
        return false;
    RemoveShow(show);
    return true;
}

// ---- Find ---------------------------------------------------------------------

namespace {

std::vector<TvSearchHit> (*g_search)(const std::string &, std::string *) = nullptr;
bool (*g_fetch)(int32_t, std::string *) = nullptr;

struct Job {
    std::function<void()> work;
    std::atomic<bool> done{false};
};

// Runs `work` on a worker thread and pumps until it ended (or the program
// exits: the work then ends on its own within a second).
void RunInBackground(std::function<void()> work, const std::function<void()> &pump) {
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    auto *handle = new std::shared_ptr<Job>(job);
    ThreadRecord *started = StartThread(
        "TVmaze Find",
        [](ThreadRecord *record) {
            auto *mine = static_cast<std::shared_ptr<Job> *>(record->arg);
            (*mine)->work();
            (*mine)->done = true;
            delete mine;
            record->end(record);
        },
        handle);
    if (!started) {
        delete handle;
        return;
    }
    while (!job->done.load() && !shuttingDown.load()) {
        if (pump)
            pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string Lowered(std::string text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

}  // namespace

void SetFindFunctionsForTesting(std::vector<TvSearchHit> (*search)(const std::string &, std::string *),
                                bool (*fetch)(int32_t, std::string *)) {
    g_search = search;
    g_fetch = fetch;
}

FindResult FindShowOnTvmaze(const std::string &name, const std::function<void()> &pump) {
    auto result = std::make_shared<FindResult>();
    auto search = g_search ? g_search : &TvmazeSearch;
    RunInBackground([result, name, search] { result->hits = search(name, &result->error); }, pump);
    if (shuttingDown.load())
        return FindResult();
    return *result;
}

std::string FindHitText(const TvSearchHit &hit) {
    std::string text = hit.show.name;
    if (hit.show.premieredYear > 0)
        text += " (" + std::to_string(hit.show.premieredYear) + ")";
    if (!hit.show.channel.empty()) {
        text += ", " + hit.show.channel;
        if (!hit.show.country.empty())
            text += " (" + hit.show.country + ")";
    }
    if (!hit.show.status.empty())
        text += ", " + Lowered(hit.show.status);
    return text;
}

int LinkShowToHit(int index, const TvSearchHit &hit, const std::function<void()> &pump) {
    Show *show = GetShow(index);
    if (!show || hit.show.id <= 0)
        return -1;
    CopyField(show->ShowName, CutToBytes(hit.show.name, kMaxFieldBytes));
    ShowLink link = GetShowLink(show);
    const bool sameShow = link.tvmazeId == hit.show.id;
    link.tvmazeId = hit.show.id;
    link.tvdbId = hit.show.tvdbId;
    link.tvrageId = hit.show.tvrageId;
    link.imdbId = hit.show.imdbId;
    if (!sameShow)
        link.airOffset = 0;
    SetShowLink(show, link);

    auto fetch = g_fetch ? g_fetch : &TvmazeFetchSchedule;
    const int32_t id = hit.show.id;
    RunInBackground([fetch, id] { fetch(id, nullptr); }, pump);
    if (show->Season == 0 && show->Episode == 0) {
        if (auto schedule = CachedSchedule(id)) {
            const int64_t now = HostNow();
            for (const TvEpisode &e : schedule->episodes)
                if (!e.hasAirstamp || e.airstamp > now) {
                    show->Season = e.season;
                    show->Episode = e.number;
                    break;
                }
        }
    }
    SaveShows();
    SortShows();
    const int count = ShowCount();
    for (int i = 0; i < count; ++i)
        if (GetShow(i) == show)
            return i;
    return -1;
}

std::string ShowScheduleText(int index) {
    const Show *show = GetShow(index);
    if (!show)
        return std::string();
    const ShowLink link = GetShowLink(show);
    if (!link.Linked())
        return std::string();
    auto schedule = CachedSchedule(link.tvmazeId);
    return ScheduleStatusText(schedule.get(), show->Season, show->Episode);
}
