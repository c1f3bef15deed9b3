#include "seenform.h"

#include <cstdio>
#include <ctime>

#include "seenlist.h"
#include "vorlo/text.h"

std::vector<SeenRow> SeenRows() {
    std::vector<SeenRow> rows;
    std::vector<std::pair<std::string, int64_t>> entries;
    {
        MutexHold hold(SeenListLock);
        for (const auto &entry : SeenList)
            entries.emplace_back(entry.first, entry.second);
    }
    rows.reserve(entries.size());
    for (const auto &entry : entries)
        rows.push_back({entry.first, SeenTimeText(entry.second)});
    return rows;
}

std::string SeenTimeText(int64_t when) {
    const time_t seconds = static_cast<time_t>(when);
    char text[64];
    // A time the calendar cannot hold gets no text.
    struct tm local;
#ifdef _WIN32
    // The Windows C library's ctime form: the day of the month in two digits.
    if (localtime_s(&local, &seconds) != 0)
        return std::string();
    static const char kDays[][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char kMonths[][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (local.tm_wday < 0 || local.tm_wday > 6 || local.tm_mon < 0 || local.tm_mon > 11)
        return std::string();
    std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %d", kDays[local.tm_wday],
                  kMonths[local.tm_mon], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  local.tm_year + 1900);
#else
    if (!localtime_r(&seconds, &local) || !ctime_r(&seconds, text))
        return std::string();
#endif
    Trim(text, kBlanks);
    return text;
}

bool EraseSeenEntry(const std::string &key) {
    MutexHold hold(SeenListLock);
    auto found = SeenList.find(key);
    if (found == SeenList.end())
        return false;
    SeenList.erase(found);
    return true;
}
