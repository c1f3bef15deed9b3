#include <gtest/gtest.h>

#include <string>

#include "airstamp.h"

namespace {

int64_t Stamp(const std::string &text) {
    int64_t out = -777;
    EXPECT_TRUE(ParseAirStamp(text, out)) << text;
    return out;
}

TEST(AirStampTest, OffsetsAndZoneForms) {
    // 2014-04-07T02:00:00Z, as the captured answers write it.
    EXPECT_EQ(Stamp("2014-04-07T02:00:00+00:00"), 1396836000);
    EXPECT_EQ(Stamp("2014-04-07T02:00:00Z"), 1396836000);
    EXPECT_EQ(Stamp("2011-04-17T21:00:00-04:00"), Stamp("2011-04-18T01:00:00Z"));
    EXPECT_EQ(Stamp("2011-04-17T21:00:00-0400"), Stamp("2011-04-18T01:00:00Z"));
    EXPECT_EQ(Stamp("2020-01-01T05:30:00+05:30"), Stamp("2020-01-01T00:00:00Z"));
    EXPECT_EQ(Stamp("2020-01-01T00:00+01"), Stamp("2019-12-31T23:00:00Z"));
    EXPECT_EQ(Stamp("2020-01-01T00:00:00.250Z"), Stamp("2020-01-01T00:00:00Z"));
    // Leap day, before 1970 and past 2038 (32-bit time_t would wrap there).
    EXPECT_EQ(Stamp("2024-02-29T00:00:00Z") + 86400, Stamp("2024-03-01T00:00:00Z"));
    EXPECT_EQ(Stamp("1969-12-31T23:59:59Z"), -1);
    EXPECT_EQ(Stamp("2100-01-01T00:00:00Z"), 4102444800LL);
    int64_t day = 0;
    ASSERT_TRUE(ParseAirDate("2026-10-06", day));
    EXPECT_EQ(day, Stamp("2026-10-06T00:00:00Z"));
}

TEST(AirStampTest, RefusesMalformedTextsWithoutTouchingTheResult) {
    for (const char *bad : {"", "null", "2014-04-07", "2014-04-07T02:00:00", "2014-13-01T00:00:00Z",
                            "2023-02-29T00:00:00Z", "2014-04-07T24:00:00Z", "2014-04-07T02:60:00Z",
                            "2014-04-07T02:00:00+19:00", "2014-04-07T02:00:00+0", "2014-4-07T02:00:00Z",
                            "2014-04-07T02:00:00Zjunk", "2014-04-07T02:00:00.Z", "２０１４-04-07T02:00:00Z"}) {
        int64_t out = 42;
        EXPECT_FALSE(ParseAirStamp(bad, out)) << bad;
        EXPECT_EQ(out, 42) << bad;
    }
    int64_t out = 42;
    EXPECT_FALSE(ParseAirDate("", out));
    EXPECT_FALSE(ParseAirDate("2014-04-07T", out));
}

TEST(AirStampTest, CivilFromSecondsInvertsTheParser) {
    for (const char *text : {"1969-12-31T23:59:59Z", "2000-02-29T12:34:56Z", "2026-10-06T21:00:00Z",
                             "2400-12-31T00:00:00Z"}) {
        CivilTime t = CivilFromSeconds(Stamp(text));
        char back[32];
        snprintf(back, sizeof back, "%04lld-%02u-%02uT%02u:%02u:%02uZ", static_cast<long long>(t.year),
                 t.month, t.day, t.hour, t.minute, t.second);
        EXPECT_EQ(std::string(back), text);
    }
    EXPECT_EQ(CivilFromSeconds(Stamp("2026-10-06T21:00:00Z")).weekday, 2u);  // a Tuesday
    EXPECT_EQ(CivilFromSeconds(-1).weekday, 3u);                             // a Wednesday
}

}  // namespace
