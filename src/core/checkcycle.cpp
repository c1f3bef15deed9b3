#include "checkcycle.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <thread>

#include "checkstate.h"
#include "clock.h"
#include "frontend.h"
#include "loader.h"
#include "log.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"

namespace {

ThreadStarter threadStarter = nullptr;
std::atomic<long> completedPasses{0};

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
        show->Episode += 1;
        return true;
    }
    // After a stop no further search is started.
    if (abortCheck.load() || shuttingDown.load())
        return false;
    if (show->Season < INT_MAX && SearchEpisode(show, show->Season + 1, 1)) {
        show->Season += 1;
        show->Episode = 2;
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
        if (slot.plugin && slot.enabled && slot.plugin->Search(show, season, episode))
            return true;
    }
    return false;
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
