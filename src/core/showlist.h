// The show list: the process-wide, name-sorted array of Show records, and
// shows.conf (also the format of exported .qlnshow files).
#pragma once

#include <cstdint>
#include <string>
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

// What links a show to its entry in the TVmaze schedule, kept beside the
// fixed Show record (which plugins share and which cannot grow). A show
// without a TVmaze id is unlinked and behaves as it always has.
struct ShowLink {
    int32_t tvmazeId = 0;
    int32_t tvdbId = 0;
    int32_t tvrageId = 0;
    std::string imdbId;   // with its "tt", or empty
    int32_t airOffset = 0;  // minutes; negative for web releases that come early
    bool Linked() const { return tvmazeId > 0; }
};

// The show's link (an empty one when it has none). Under the lock.
ShowLink GetShowLink(const Show *show);
// Sets (or, with an unlinked value, clears) the link of a listed show.
void SetShowLink(const Show *show, const ShowLink &link);

// An air offset beyond a week either way is refused when read.
constexpr int32_t kMaxAirOffset = 7 * 24 * 60;
// "tt" and 1 to 12 digits: the IMDb ids TVmaze gives.
bool IsImdbId(const char *text);
