// The seen list: release names already fetched, with the time each was marked;
// stored in seen.conf as "name=time" lines, expired after 60 days.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>

#include "vorlo/lock.h"

extern Mutex SeenListLock;

// Release name -> time marked, walked in ascending byte order of the names
// (the order of seen.conf and of the seen list editor). Beside the ordered
// map it keeps a hash index of the names, so that the test a plugin makes for
// every item of an answer does not walk the tree. Every change goes through
// these members, which keep the two in step.
class SeenMap {
public:
    using Map = std::map<std::string, int64_t, std::less<>>;
    using iterator = Map::iterator;
    using const_iterator = Map::const_iterator;

    // The entry for `name`, inserted with time 0 when it is new.
    int64_t &operator[](const std::string &name);
    iterator erase(iterator at);
    size_t erase(std::string_view name);
    void clear();

    bool Contains(std::string_view name) const { return index.count(name) != 0; }
    size_t count(std::string_view name) const { return Contains(name) ? 1 : 0; }
    iterator find(std::string_view name) { return map.find(name); }
    const_iterator find(std::string_view name) const { return map.find(name); }
    size_t size() const { return map.size(); }
    bool empty() const { return map.empty(); }
    iterator begin() { return map.begin(); }
    iterator end() { return map.end(); }
    const_iterator begin() const { return map.begin(); }
    const_iterator end() const { return map.end(); }

private:
    Map map;
    // Views of the map's keys; a map node never moves while it exists.
    std::unordered_set<std::string_view> index;
};

// Guarded by SeenListLock.
extern SeenMap SeenList;

void LoadSeen();
// Backs up seen.conf, drops entries older than 60 days and writes the rest;
// false when the file could not be written (nothing dropped, old file kept).
bool SaveSeen();
// Mark and test by a name's stored form (SeenKey), so that a name is known
// again after a save and a restart exactly as before.
void MarkSeen(const char *name);
bool IsSeen(const char *name);
// Takes back a mark whose release could not be delivered; false when the
// name was not in the list.
bool UnmarkSeen(const char *name);
// The form in which a release name is kept and written: CRs and LFs at its
// ends dropped, every other CR and LF turned into a space.
std::string SeenKey(const char *name);
