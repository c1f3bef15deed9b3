#include "seenlist.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backup.h"
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
    FILE *in = std::fopen(g_paths.SeenConf, "rb");
    if (!in)
        return;  // the list keeps what it holds
    SeenList.clear();

    // fgets semantics: a line longer than the buffer arrives in pieces.
    char line[8192];
    while (std::fgets(line, sizeof line, in)) {
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
        size_t at = text.size();
        text += entry.first;
        for (size_t i = at; i < text.size(); ++i)
            if (text[i] == '\n')
                text[i] = ' ';
        text += number;
    }
    // The file is replaced whole; only when that worked are the expired
    // entries dropped from memory, so a failed save loses nothing.
    if (!PlatformWriteFileAtomic(g_paths.SeenConf, text.data(), text.size()))
        return false;
    for (auto it = SeenList.begin(); it != SeenList.end();) {
        if (it->second < limit)
            it = SeenList.erase(it);
        else
            ++it;
    }
    return true;
}

void MarkSeen(const char *name) {
    if (!name)
        return;
    LogDownload("Marking %s seen\n", name);
    MutexHold hold(SeenListLock);
    SeenList[name] = HostNow();
}

bool IsSeen(const char *name) {
    if (!name)
        return false;
    std::string_view key(name);
    MutexHold hold(SeenListLock);
    return SeenList.Contains(key);
}
