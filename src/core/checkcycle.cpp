#include "checkcycle.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "checkstate.h"
#include "clock.h"
#include "frontend.h"
#include "loader.h"
#include "searchwindow.h"
#include "log.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"
#include "tvmaze.h"
#include "vorlo/lock.h"
#include "vorlo/release.h"

namespace {

ThreadStarter threadStarter = nullptr;
std::atomic<long> completedPasses{0};

// The release names plugins marked seen during the Search call that runs
// now (`recording`), and those of the last call that delivered. Only the
// check thread searches, but a plugin may mark from a thread of its own.
Mutex marksLock;
bool recording = false;
std::vector<std::string> marks;
std::vector<std::string> deliveredMarks;

// The last episode of season `season` that the last delivery holds, when
// it holds `episode`: a release of several episodes (S03E07E08) moves the
// show past all of them. Names taken back from the seen list since (a
// delivery that failed) do not count. `episode` when none says more.
int LastEpisodeDelivered(int season, int episode) {
    std::vector<std::string> names;
    {
        MutexHold hold(marksLock);
        names.swap(deliveredMarks);
    }
    int last = episode;
    for (const std::string &name : names) {
        ReleaseTitle release = ReadReleaseTitle(name.c_str());
        if (release.Holds(season, episode) && release.episodes.back() > last && IsSeen(name.c_str()))
            last = release.episodes.back();
    }
    return last;
}

void CheckThreadMain(ThreadRecord *record) {
    while (!shuttingDown.load()) {
        CheckTurn();
        // One second between turns, in slices so that exit is not kept waiting.
        for (int slice = 0; slice < 20 && !shuttingDown.load(); ++slice)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    record->end(record);
}

// One attempt for a show: the awaited episode, else episode 1 of the next
// season. Advances the show and returns true on a find.
bool SearchNext(Show *show) {
    if (show->Episode < INT_MAX && SearchEpisode(show, show->Season, show->Episode)) {
        int last = LastEpisodeDelivered(show->Season, show->Episode);
        show->Episode = last < INT_MAX ? last + 1 : INT_MAX;
        return true;
    }
    // After a stop no further search is started.
    if (abortCheck.load() || shuttingDown.load())
        return false;
    if (show->Season < INT_MAX && SearchEpisode(show, show->Season + 1, 1)) {
        show->Season += 1;
        int last = LastEpisodeDelivered(show->Season, 1);
        show->Episode = last < INT_MAX ? last + 1 : INT_MAX;
        return true;
    }
    return false;
}

// "S04E01 on Tue 2026-10-06 21:00", or "(no date yet)" in place of the date.
std::string EpisodeWhen(const TvEpisode &episode) {
    char text[96];
    if (episode.hasAirstamp)
        std::snprintf(text, sizeof text, "S%02dE%02d on %s", episode.season, episode.number,
                      LocalAirText(episode.airstamp).c_str());
    else
        std::snprintf(text, sizeof text, "S%02dE%02d (no date yet)", episode.season, episode.number);
    return text;
}

// Moves a linked show to listed episode `index`, with a Log line when a
// new season starts. True when the show changed.
bool AwaitListed(Show *show, const TvSchedule &schedule, int index) {
    const TvEpisode &episode = schedule.episodes[static_cast<size_t>(index)];
    if (episode.season == show->Season && episode.number == show->Episode)
        return false;
    if (episode.season != show->Season)
        Log("%s: season %d starts with %s", show->ShowName, episode.season, EpisodeWhen(episode).c_str());
    show->Season = episode.season;
    show->Episode = episode.number;
    return true;
}

// The end of a linked show's list is reached. An ended show is paused with a
// Log line; true when that changed it.
bool PauseIfEnded(Show *show, const TvSchedule &schedule) {
    if (show->Pause || !schedule.Ended() || schedule.episodes.empty())
        return false;
    const TvEpisode &last = schedule.episodes.back();
    show->Pause = 1;
    Log("%s ended after S%02dE%02d; paused", show->ShowName, last.season, last.number);
    return true;
}

// One attempt for a linked show whose schedule is known: the awaited episode
// taken from the list (nothing is asked when the list holds nothing at or
// after it); on a find the next regular episode in airing order. No guessed
// next-season request. `changed` is set when the show changed at all; true
// on a find.
// The episode is asked for only when its window allows (searchwindow.h).
bool SearchLinked(Show *show, const ShowLink &link, const TvSchedule &schedule, bool scanNow, bool &changed) {
    int index = AwaitedEpisodeIndex(schedule, show->Season, show->Episode);
    if (index < 0) {
        if (PauseIfEnded(show, schedule))
            changed = true;
        return false;
    }
    if (AwaitListed(show, schedule, index))
        changed = true;
    const TvEpisode found = schedule.episodes[static_cast<size_t>(index)];
    const int64_t now = HostNow();
    SearchPlan plan = PlanSearch(show, link.tvmazeId, schedule, found, link.airOffset, scanNow, now,
                                 CurrentWindowRules());
    if (!plan.search)
        return false;
    PassSearch search;
    search.show = show;
    search.season = found.season;
    search.episode = found.number;
    search.firstDay = plan.phase == WindowPhase::FirstDay;
    search.windowStart = plan.windowStart;
    BeginPassSearch(search);
    bool delivered = SearchEpisode(show, found.season, found.number);
    EndPassSearch();
    NoteSearched(link.tvmazeId, found.season, found.number, now);
    if (!delivered)
        return false;
    changed = true;
    // A release of several episodes (S03E09E10) moves past all of them.
    const int last = LastEpisodeDelivered(found.season, found.number);
    int next = NextEpisodeIndex(schedule, found.season, last);
    if (next >= 0) {
        AwaitListed(show, schedule, next);
    } else {
        // Awaited past the list: the next listing (or the end) decides.
        show->Season = found.season;
        show->Episode = last < INT_MAX ? last + 1 : last;
        PauseIfEnded(show, schedule);
    }
    return true;
}

}  // namespace

long CompletedPasses() { return completedPasses.load(); }

void SetThreadStarterForTesting(ThreadStarter starter) { threadStarter = starter; }

bool StartCheckThread() {
    ThreadStarter start = threadStarter ? threadStarter : &StartThread;
    if (start("Checking Thread", &CheckThreadMain, nullptr))
        return true;
    Log("Error: could not start the Checking Thread! Shows will not be checked until Quillon "
        "is restarted.");
    return false;
}

bool CheckTurn() {
    CheckLock.Lock();
    bool due = (g_settings.AutoScan &&
                HostNow() > NextPassDue(lastCheckEnd.load(), g_settings.SecondsBetweenScans)) ||
               checkNow.load();
    if (!due || CountEnabledPlugins() == 0) {
        CheckLock.Unlock();
        return false;
    }
    GetFrontEnd().SetStopScanEnabled(true);
    checking = true;
    CheckLock.Unlock();

    RunCheck();

    CheckLock.Lock();
    GetFrontEnd().SetStopScanEnabled(false);
    checking = false;
    abortCheck = false;
    lastCheckEnd = HostNow();
    checkNow = false;
    CheckLock.Unlock();
    completedPasses += 1;
    return true;
}

void RunCheck() {
    SetStatus(L"Checking for shows...");
    if (!abortCheck.load()) {
        bool changed = false;
        // Scan Now searches every show whose episode can exist, back-off or not.
        const bool scanNow = checkNow.load();
        NextPassNumber();
        // No editor can change the list while `checking` is set.
        std::vector<Show *> &shows = ShowArray();
        for (size_t i = 0; i < shows.size(); ++i) {
            if (shuttingDown.load())
                break;
            Show *show = shows[i];
            // A linked show follows its cached schedule; without one (not
            // fetched yet, or TVmaze unreachable) it is searched as an
            // unlinked show while the worker fetches it.
            const ShowLink link = GetShowLink(show);
            std::shared_ptr<const TvSchedule> schedule;
            if (link.Linked()) {
                NoteLinkedShow(link.tvmazeId);
                schedule = CachedSchedule(link.tvmazeId);
                if (!schedule || ScheduleWantsRefresh(*schedule, show->Season, show->Episode, HostNow()))
                    RequestScheduleFetch(link.tvmazeId);
            }
            if (!show->Pause) {
                do {
                    if (!show->Catchup && !(HostNow() > show->NextSearch))
                        break;
                    if (schedule ? !SearchLinked(show, link, *schedule, scanNow, changed) : !SearchNext(show))
                        break;
                    changed = true;
                    if (show->Skip)
                        show->NextSearch = NextPassDue(HostNow(), kSkipSeconds);
                } while (show->Catchup);
            }
            if (abortCheck.load())
                break;
        }
        // A save that failed (disk full, no right) is tried again after the
        // next pass, whether or not that pass changes anything.
        if (changed || savePending) {
            bool showsSaved = SaveShows();
            bool seenSaved = SaveSeen();
            savePending = !(showsSaved && seenSaved);
        }
    }
    if (savePending)
        SetStatus(abortCheck.load() ? L"Check aborted. The show and seen lists could not be saved!"
                                    : L"Checking complete, but the show and seen lists could not be saved!");
    else
        SetStatus(abortCheck.load() ? L"Check aborted." : L"Checking complete!");
}

bool SearchEpisode(Show *show, int season, int episode) {
    Log("Searching for %s %dx%02d ...", show->ShowName, season, episode);
    for (const PluginSlot &slot : g_pluginSlots) {
        if (abortCheck.load() || shuttingDown.load())
            break;
        if (!slot.plugin || !slot.enabled)
            continue;
        {
            MutexHold hold(marksLock);
            marks.clear();
            recording = true;
        }
        bool found = slot.plugin->Search(show, season, episode);
        MutexHold hold(marksLock);
        recording = false;
        if (found) {
            deliveredMarks.swap(marks);
            marks.clear();
            return true;
        }
    }
    return false;
}

void NoteMarkedSeen(const char *name) {
    MutexHold hold(marksLock);
    if (recording && name)
        marks.push_back(SeenKey(name));
}

void RequestScanNow() {
    MutexHold hold(CheckLock);
    if (!checking.load())
        checkNow = true;
}

void RequestStopScan() {
    // A second request while the first is still ending says nothing new.
    if (!abortCheck.exchange(true))
        Log("Aborting show check...");
}
