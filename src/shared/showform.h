// What the show editor decides, free of any toolkit: a show's fields as the
// editor shows them, Save Changes (which fields are taken and when the list
// is re-sorted), Add New and the confirmed Del. Sel. The Qt and the Win32
// editor both use it; both work directly on the process-wide show list.
#pragma once

#include <string>
#include <vector>

#include "showlist.h"

// The editor's fields as values; texts are narrow program text.
struct ShowFields {
    std::string name;
    std::string keywords;
    std::string season;   // digits
    std::string episode;  // digits
    bool hdOnly = false;
    bool skip = false;
    bool catchup = false;
    bool pause = false;
};

// What is read of the keywords edit, in characters.
constexpr int kMaxKeywordChars = 1024;

// Every show's name, in list order (an entry's position is the show's index).
std::vector<std::string> ShowNames();

ShowFields ShowFieldsOf(const Show &show);

// Save Changes for the show at `index`: the keywords (cut to what the record
// holds, even when empty), the season and episode only when greater than 0,
// the four options, NextSearch cleared when Skip is, the name when the edit
// is not empty; then the show list file is written, and the list re-sorted
// when the name changed other than in letter case. False when there is no
// show at `index`; `renamed` tells whether the list was re-sorted.
bool SaveShowFields(int index, const ShowFields &fields, bool *renamed);

// Add New: appends a zeroed show named "New Item"; its index, or -1.
int AddNewShow();

// Del. Sel.: asks "Are you sure you want to delete this item?" through the
// front end and on Yes removes (and frees) the show. True when removed.
bool ConfirmAndDeleteShow(int index);

// The number in a digits edit when it is greater than 0, else 0.
int PositiveNumber(const std::string &text);

// `text` cut to at most `maxBytes` bytes without splitting a UTF-8 character.
std::string CutToBytes(const std::string &text, size_t maxBytes);

// ---- Find: linking a show to TVmaze ----------------------------------------

#include <functional>

#include "tvmaze.h"

// What a Find gave: the matches, best first, or why there are none.
struct FindResult {
    std::vector<TvSearchHit> hits;
    std::string error;  // empty when TVmaze answered (even with no match)
};

// Asks TVmaze for `name` on a worker thread (never on the window's) and
// calls `pump` about every 50 ms on the caller's thread until the answer is
// there, so the window stays alive. Exit ends the wait.
FindResult FindShowOnTvmaze(const std::string &name, const std::function<void()> &pump);

// A match as the pick list shows it: "Silicon Valley (2014), HBO (US), running".
std::string FindHitText(const TvSearchHit &hit);
// The pick list's last entry: the show stays as typed and unlinked.
constexpr const char *kKeepAsTyped = "Keep as typed";

// Picking a match: the show at `index` takes its name and its ids, the show
// list file is written and the schedule fetched on a worker thread (`pump`
// as above); a show still at season 0 episode 0 is offered the first regular
// episode that has not aired. Returns the show's index after re-sorting, or
// -1 when there is no show at `index`.
int LinkShowToHit(int index, const TvSearchHit &hit, const std::function<void()> &pump);

// The editor's schedule line for the show at `index`: "S03E05 airs Tue
// 2026-10-06 21:00", "no date yet", "show ended", "schedule unknown
// (offline)"; empty for an unlinked show.
std::string ShowScheduleText(int index);

// Tests: replaces the search and the schedule fetch (nullptr: TVmaze's).
void SetFindFunctionsForTesting(std::vector<TvSearchHit> (*search)(const std::string &, std::string *),
                                bool (*fetch)(int32_t, std::string *));
