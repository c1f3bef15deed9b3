// One indexer row of the Newznab/Torznab plugin: its settings in section
// "newznabN" of plugins.ini (N = 1..8), read with their defaults.
#pragma once

#include <string>

constexpr int kIndexerRows = 8;

struct IndexerSettings {
    std::string name;          // "Indexer N"
    std::string url;           // base address, no trailing slash
    std::string apipath;       // "/api"
    std::string apikey;
    bool torrent = false;      // kind: "nzb" (default) or "torrent"
    std::string categories;    // "5030,5040"
    std::string hdcategories;  // "5040,5045"
    int minseeders = 1;
    int dailyapi = 0;          // 0 = no limit
    int dailygrabs = 0;        // 0 = no limit
};

// "newznab1" .. "newznab8" for row 0 .. 7.
std::string IndexerSection(int row);
// Reads the row's settings from plugins.ini, defaults where a key is
// missing or empty.
IndexerSettings ReadIndexerSettings(const char *iniPath, int row);
// The full address of the API: url followed by apipath (with one '/').
std::string ApiAddress(const IndexerSettings &settings);
