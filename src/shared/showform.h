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
