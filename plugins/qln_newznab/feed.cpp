#include "feed.h"

#include "answer.h"


bool ParseRssDate(const char *text, int64_t &time) {
    // pubDate is a mail date: the reader of HTTP dates honours its zone
    // ("+hhmm", "-hhmm"; a name such as GMT reads as UTC).
    return text && ParseHttpDate(text, time);
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
