#include "airstamp.h"

namespace {

// Reads exactly `count` digits at `pos`.
bool Digits(const std::string &text, size_t &pos, size_t count, unsigned &out) {
    if (pos + count > text.size())
        return false;
    unsigned value = 0;
    for (size_t i = 0; i < count; i++) {
        char c = text[pos + i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    pos += count;
    out = value;
    return true;
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int64_t year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// The date part; `pos` ends after it.
bool ParseDate(const std::string &text, size_t &pos, int64_t &days) {
    unsigned year = 0, month = 0, day = 0;
    if (!Digits(text, pos, 4, year) || pos >= text.size() || text[pos++] != '-' ||
        !Digits(text, pos, 2, month) || pos >= text.size() || text[pos++] != '-' ||
        !Digits(text, pos, 2, day))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    days = DaysFromCivil(year, month, day);
    return true;
}

}  // namespace

// Howard Hinnant's days_from_civil: eras of 400 years, March-based years.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilTime CivilFromSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    CivilTime t{};
    t.hour = static_cast<unsigned>(rest / 3600);
    t.minute = static_cast<unsigned>(rest % 3600 / 60);
    t.second = static_cast<unsigned>(rest % 60);
    int64_t weekday = (days + 4) % 7;  // 1970-01-01 was a Thursday
    t.weekday = static_cast<unsigned>(weekday < 0 ? weekday + 7 : weekday);
    // civil_from_days, the inverse of DaysFromCivil.
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    t.day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2);
    return t;
}

bool ParseAirDate(const std::string &text, int64_t &out) {
    size_t pos = 0;
    int64_t days = 0;
    if (!ParseDate(text, pos, days) || pos != text.size())
        return false;
    out = days * 86400;
    return true;
}

bool ParseAirStamp(const std::string &text, int64_t &out) {
    size_t pos = 0;
    int64_t days = 0;
    unsigned hour, minute, second = 0;
    if (!ParseDate(text, pos, days) || pos >= text.size() || (text[pos] != 'T' && text[pos] != ' '))
        return false;
    pos++;
    if (!Digits(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':' ||
        !Digits(text, pos, 2, minute))
        return false;
    if (pos < text.size() && text[pos] == ':') {
        pos++;
        if (!Digits(text, pos, 2, second))
            return false;
        if (pos < text.size() && text[pos] == '.') {
            size_t start = ++pos;
            while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
                pos++;
            if (pos == start)
                return false;
        }
    }
    if (hour > 23 || minute > 59 || second > 60)
        return false;
    if (pos >= text.size())
        return false;  // a stamp without its zone is ambiguous
    int64_t offset = 0;
    char sign = text[pos++];
    if (sign == 'Z' || sign == 'z') {
        if (pos != text.size())
            return false;
    } else if (sign == '+' || sign == '-') {
        unsigned oh, om = 0;
        if (!Digits(text, pos, 2, oh))
            return false;
        if (pos < text.size()) {
            if (text[pos] == ':')
                pos++;
            if (!Digits(text, pos, 2, om))
                return false;
        }
        if (pos != text.size() || oh > 18 || om > 59)
            return false;
        offset = static_cast<int64_t>(oh * 3600 + om * 60) * (sign == '-' ? -1 : 1);
    } else {
        return false;
    }
    out = days * 86400 + int64_t{hour} * 3600 + minute * 60 + (second == 60 ? 59 : second) - offset;
    return true;
}
