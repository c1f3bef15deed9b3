// The show check cycle: the "Checking Thread" that wakes once a second,
// starts a pass when the auto-scan interval has run out or the user chose
// Scan Now (and at least one plugin is enabled), and in each pass asks the
// enabled plugins, in slot order, for the awaited episode of every due show.
#pragma once

#include <cstdint>

#include "quillon/plugin.h"
#include "vorlo/thread.h"

// How far a success moves NextSearch of a show with Skip set (6 days).
constexpr int64_t kSkipSeconds = 518400;

// Starts the check thread. When the system cannot create it, says so in the
// Log and returns false; the program runs on without passes and the exit
// sequence does not wait for it.
bool StartCheckThread();

// One turn of the thread's loop without its sleep: the due test under
// CheckLock and, when a pass is due and a plugin enabled, the pass with the
// flags set and reset around it. True when a pass ran.
bool CheckTurn();

// One pass over the show list; saves the show and seen lists when a show
// advanced.
void RunCheck();

// Asks the enabled plugins in slot order for one episode until one delivers.
// The release names the delivering plugin marked seen during that call are
// kept: the show then moves past every episode a delivered release holds.
bool SearchEpisode(Show *show, int season, int episode);

// A plugin marked `name` seen (the host table's MarkSeen); noted while a
// Search call of the check cycle runs.
void NoteMarkedSeen(const char *name);

// Passes ended since the program started.
long CompletedPasses();

// The window's Scan Now and Stop Scan commands.
void RequestScanNow();
void RequestStopScan();

// Tests: replaces the thread starter (nullptr restores StartThread).
typedef ThreadRecord *(*ThreadStarter)(const char *name, ThreadRoutine routine, void *arg);
void SetThreadStarterForTesting(ThreadStarter starter);
