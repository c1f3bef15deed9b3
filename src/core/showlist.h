// The show list: the process-wide, name-sorted array of Show records, and
// shows.conf (also the format of exported .qlnshow files).
#pragma once

#include <vector>

#include "quillon/plugin.h"
#include "vorlo/lock.h"

extern Mutex ShowListLock;

// A zeroed, tracked Show for AddShow.
Show *NewShow();
// Under the lock; nullptr when the index is out of range.
Show *GetShow(int index);
int ShowCount();
// Appends; the list takes ownership. Returns the new index (count - 1).
int AddShow(Show *show);
// Frees the show and closes the gap; nothing when it is not in the list.
void RemoveShow(Show *show);
void ClearShows();
void SortShows();
// The array itself, for the check cycle, which walks it without the lock
// (CheckLock keeps every editor out while a pass runs).
std::vector<Show *> &ShowArray();

// Appends the shows of a file (default shows.conf): every "Show%d" section
// in index order, sorted afterwards. True when the file was read or does not
// exist; false when it exists but cannot be opened.
bool LoadShows(const char *path = nullptr);
// Writes the whole list (default shows.conf, after a backup); false when the
// file could not be written (the old file is kept).
bool SaveShows(const char *path = nullptr);
