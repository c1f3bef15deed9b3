// What the seen list editor decides, free of any toolkit: the rows it lists
// (every entry's key with its marking time as text), and the erasing of one
// entry by its key. The Qt and the Win32 editor both use it; each walk and
// each erasure takes the seen list's mutex once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SeenRow {
    std::string key;   // the entry's key, byte for byte
    std::string time;  // SeenTimeText of its time
};

// Every entry in key order.
std::vector<SeenRow> SeenRows();

// The "Time" column's text: the local time in the form of the C library's
// ctime without the line end; empty when the time cannot be shown.
std::string SeenTimeText(int64_t when);

// Erases the entry whose key is `key`; false when there was none.
bool EraseSeenEntry(const std::string &key);
