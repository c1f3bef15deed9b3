// The seen list: release names already fetched, with the time each was marked;
// stored in seen.conf as "name=time" lines, expired after 60 days.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "vorlo/lock.h"

extern Mutex SeenListLock;
// Guarded by SeenListLock.
extern std::map<std::string, int64_t> SeenList;

void LoadSeen();
// Backs up seen.conf, drops entries older than 60 days and writes the rest;
// false when the file could not be written (nothing dropped, old file kept).
bool SaveSeen();
void MarkSeen(const char *name);
bool IsSeen(const char *name);
