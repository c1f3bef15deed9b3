#include "seenlist.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backup.h"
#include "datafile.h"
#include "clock.h"
#include "log.h"
#include "settings.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

Mutex SeenListLock("SeenListLock");
SeenMap SeenList;

int64_t &SeenMap::operator[](const std::string &name) {
    auto placed = map.try_emplace(name, 0);
    if (placed.second)
        index.insert(std::string_view(placed.first->first));
    return placed.first->second;
}

SeenMap::iterator SeenMap::erase(iterator at) {
    index.erase(std::string_view(at->first));
    return map.erase(at);
}

size_t SeenMap::erase(std::string_view name) {
    auto at = map.find(name);
    if (at == map.end())
        return 0;
    erase(at);
    return 1;
}

void SeenMap::clear() {
    index.clear();
    map.clear();
}

namespace {

// Entries are kept for 60 days after they were last marked.
const int64_t kKeepSeconds = 5184000;

}  // namespace

void LoadSeen() {
    MutexHold hold(SeenListLock);
    FILE *in = OpenDataFile(g_paths.SeenConf);
    if (!in)
        return;  // the list keeps what it holds
    SeenList.clear();

    // The file is read whole and split at line feeds, so that a line of any
    // length comes back whole (read in pieces, a long release name would
    // come back as its last piece, a name never marked).
    std::string all;
    char block[8192];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, in)) > 0)
        all.append(block, got);
    for (size_t start = 0; start < all.size();) {
        size_t feed = all.find('\n', start);
        size_t stop = feed == std::string::npos ? all.size() : feed + 1;
        // A NUL byte ends the line's text, as it ends a C string.
        std::string text(all.c_str() + start, strnlen(all.c_str() + start, stop - start));
        start = stop;
        char *line = text.data();
        Trim(line, kBlanks);
        if (!line[0])
            continue;
        // The time never holds "=", so the last one ends the name: a release
        // name with "=" in it is read back whole.
        char *equals = std::strrchr(line, '=');
        if (!equals)
            continue;
        *equals = '\0';
        char *number = equals + 1;
        Trim(line, kBlanks);
        Trim(number, kBlanks);
        // Leading digits with an optional sign; no digits gives 0.
        int64_t when = static_cast<int64_t>(std::strtoll(number, nullptr, 10));
        SeenList[line] = when;
    }
    std::fclose(in);
}

bool SaveSeen() {
    MutexHold hold(SeenListLock);
    AutoBackup(g_paths.SeenConf);

    // An entry exactly 60 days old stays.
    int64_t limit = HostNow() - kKeepSeconds;
    std::string text;
    for (const auto &entry : SeenList) {
        if (entry.second < limit)
            continue;
        char number[32];
        std::snprintf(number, sizeof number, "=%" PRId64 "\r\n", entry.second);
        // One entry per line: a line feed inside a name (a release title
        // may hold one) would split it into a junk line and a false entry.
        // Keys are already in their stored form (SeenKey), so what is read
        // back is the very key that was written.
        text += entry.first;
        text += number;
    }
    // The file is replaced whole; only when that worked are the expired
    // entries dropped from memory, so a failed save loses nothing.
    if (!PlatformWriteFileAtomic(g_paths.SeenConf, text.data(), text.size())) {
        ReportSaveFailure(g_paths.SeenConf, errno);
        return false;
    }
    for (auto it = SeenList.begin(); it != SeenList.end();) {
        if (it->second < limit)
            it = SeenList.erase(it);
        else
            ++it;
    }
    return true;
}

std::string SeenKey(const char *name) {
    std::string key(name ? name : "");
    // Line breaks at the ends are dropped (the file's reader would strip
    // them); one inside the name becomes a space, since a line feed would
    // split the entry into a junk line and a false entry.
    size_t begin = key.find_first_not_of("\r\n");
    if (begin == std::string::npos)
        return std::string();
    key = key.substr(begin, key.find_last_not_of("\r\n") - begin + 1);
    for (char &c : key)
        if (c == '\r' || c == '\n')
            c = ' ';
    return key;
}

void MarkSeen(const char *name) {
    if (!name)
        return;
    LogDownload("Marking %s seen\n", name);
    std::string key = SeenKey(name);
    MutexHold hold(SeenListLock);
    SeenList[key] = HostNow();
}

bool UnmarkSeen(const char *name) {
    if (!name)
        return false;
    std::string key = SeenKey(name);
    {
        MutexHold hold(SeenListLock);
        if (SeenList.erase(key) == 0)
            return false;
    }
    LogDownload("Unmarking %s seen: not delivered, tried again at the next pass\n", name);
    return true;
}

bool IsSeen(const char *name) {
    if (!name)
        return false;
    std::string key = SeenKey(name);
    MutexHold hold(SeenListLock);
    return SeenList.Contains(key);
}
