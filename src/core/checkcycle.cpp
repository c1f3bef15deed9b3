#include "checkcycle.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "checkstate.h"
#include "clock.h"
#include "frontend.h"
#include "loader.h"
#include "log.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"
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
    if (show->Season < INT_MAX && SearchEpisode(show, show->Season + 1, 1)) {
        show->Season += 1;
        int last = LastEpisodeDelivered(show->Season, 1);
        show->Episode = last < INT_MAX ? last + 1 : INT_MAX;
        return true;
    }
    return false;
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
        // No editor can change the list while `checking` is set.
        std::vector<Show *> &shows = ShowArray();
        for (size_t i = 0; i < shows.size(); ++i) {
            if (shuttingDown.load())
                break;
            Show *show = shows[i];
            if (!show->Pause) {
                do {
                    if (!show->Catchup && !(HostNow() > show->NextSearch))
                        break;
                    if (!SearchNext(show))
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
    Log("Aborting show check...");
    abortCheck = true;
}
