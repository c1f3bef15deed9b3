// Air stamps: ISO-8601 times as schedule services write them
// ("2014-04-07T02:00:00+00:00", "2011-04-17T21:00:00-04:00", "...Z"), turned
// into seconds since 1970 UTC in 64 bits. Plain arithmetic: no time_t (32
// bits on 32-bit Windows) and no C library time call, so every build gives the
// same answer.
#pragma once

#include <cstdint>
#include <string>

// Days from 1970-01-01 to the proleptic Gregorian date (negative before).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

// "YYYY-MM-DDTHH:MM[:SS[.fff]]" followed by "Z", "+HH:MM", "-HH:MM", "+HHMM"
// or "+HH". False (and `out` untouched) for anything else, an empty text, or a
// field out of range (month 13, hour 24, offset over 18 h).
bool ParseAirStamp(const std::string &text, int64_t &out);

// "YYYY-MM-DD" alone (an episode's air date), as midnight UTC of that day.
bool ParseAirDate(const std::string &text, int64_t &out);

// A broken-down UTC time of `seconds` (the inverse of the above).
struct CivilTime {
    int64_t year;
    unsigned month, day, hour, minute, second;
    unsigned weekday;  // 0 = Sunday
};
CivilTime CivilFromSeconds(int64_t seconds);
