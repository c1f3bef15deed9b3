#include "feed.h"

#include "answer.h"

#include <cctype>
#include <cstdio>
#include <cstring>

bool ParseRssDate(const char *text, int64_t &time) {
    if (!text)
        return false;
    int64_t utc = 0;
    if (!ParseHttpDate(text, utc))
        return false;
    // The zone follows the seconds: "+hhmm", "-hhmm", or a name (GMT, UT, Z,
    // or one of the old US names, read as UTC like any other).
    const char *colon = std::strrchr(text, ':');
    const char *zone = colon ? colon + 1 : text;
    while (std::isdigit(static_cast<unsigned char>(*zone)))
        ++zone;
    while (*zone == ' ')
        ++zone;
    if ((*zone == '+' || *zone == '-') && std::strlen(zone) >= 5) {
        int hhmm = 0;
        if (std::sscanf(zone + 1, "%4d", &hhmm) == 1 && hhmm / 100 <= 14 && hhmm % 100 < 60) {
            int64_t offset = (hhmm / 100) * 3600 + (hhmm % 100) * 60;
            utc += *zone == '+' ? -offset : offset;
        }
    }
    time = utc;
    return true;
}

void FeedCoverage::Take(const std::vector<int64_t> &dates) {
    int64_t oldest = 0, latest = 0;
    for (int64_t date : dates) {
        if (date <= 0)
            continue;
        if (oldest == 0 || date < oldest)
            oldest = date;
        if (date > latest)
            latest = date;
    }
    if (oldest == 0) {
        // An empty answer, or one without dates, proves nothing.
        Lose();
        return;
    }
    lastOldest = oldest;
    bool continuous = coveredSince != 0 && oldest <= newest;
    if (!continuous)
        coveredSince = oldest;
    if (latest > newest || !continuous)
        newest = latest;
}
