// A stand-in for TVmaze behind the show editors' Find: two matches for any
// name, and a fetch that writes a schedule file (as TVmaze's answer would be
// stored) whose S01E02 airs a day after the real clock's now.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "airstamp.h"
#include "settings.h"
#include "showform.h"
#include "tvmaze.h"
#include "vorlo/platform.h"

inline std::string &FindFakeAskedName() {
    static std::string name;
    return name;
}

inline std::vector<TvSearchHit> FakeFindSearch(const std::string &name, std::string *error) {
    FindFakeAskedName() = name;
    if (error)
        error->clear();
    TvSearchHit best;
    best.score = 17;
    best.show.id = 143;
    best.show.name = "Silicon Valley";
    best.show.status = "Running";
    best.show.premieredYear = 2014;
    best.show.channel = "HBO";
    best.show.country = "US";
    best.show.tvdbId = 277165;
    best.show.imdbId = "tt2575988";
    TvSearchHit other;
    other.score = 1;
    other.show.id = 9;
    other.show.name = "Silicon Valley Rebels";
    other.show.status = "Ended";
    return {best, other};
}

inline bool FakeFindFetch(int32_t id, std::string *) {
    const int64_t airs = static_cast<int64_t>(std::time(nullptr)) + 86400;
    CivilTime t = CivilFromSeconds(airs);
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04lld-%02u-%02uT%02u:%02u:00+00:00", static_cast<long long>(t.year),
                  t.month, t.day, t.hour, t.minute);
    const std::string text = "{\"fetched\":" + std::to_string(static_cast<long long>(std::time(nullptr))) +
                             ",\"show\":{\"id\":" + std::to_string(id) +
                             ",\"name\":\"Silicon Valley\",\"status\":\"Running\",\"_embedded\":{\"episodes\":["
                             "{\"season\":1,\"number\":1,\"airstamp\":\"2014-04-07T02:00:00+00:00\"},"
                             "{\"season\":1,\"number\":null,\"airstamp\":null},"
                             "{\"season\":1,\"number\":2,\"airstamp\":\"" +
                             std::string(stamp) + "\"}]}},\"akas\":[]}";
    std::string folder = std::string(g_paths.DataFolder) + "schedule";
    PlatformMakeFolder(folder.c_str(), 0700);
    std::string path = ScheduleCachePath(id);
    PlatformWriteFileAtomic(path.c_str(), text.data(), text.size());
    ForgetCachedSchedules();
    return true;
}

// "S01E02 airs <local time>" for the fake schedule, as the editor says it.
inline std::string FakeFindStatus() {
    auto schedule = CachedSchedule(143);
    return ScheduleStatusText(schedule.get(), 1, 2);
}
