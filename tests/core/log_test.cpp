#include <clocale>
#include <string>
#include <thread>

#include "core_fixture.h"

namespace {

class LogTest : public CoreTest {};

TEST_F(LogTest, EntryCarriesTwelveHourStampTakenOncePerMessage) {
    FakeNow() = Utc(2026, 12, 6, 13, 5, 9);
    Log("%s", "first\nsecond");
    FakeNow() = Utc(2027, 1, 2, 0, 7, 0);
    LogDownload("midnight");
    FakeNow() = Utc(2027, 1, 2, 12, 0, 0);
    Log("noon");

    auto log = front.AllLines(LogTarget::Log);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], L"[12/06/2026 01:05:09 PM] first");
    EXPECT_EQ(log[1], L"[12/06/2026 01:05:09 PM] second");
    EXPECT_EQ(log[2], L"[01/02/2027 12:00:00 PM] noon");
    auto downloads = front.AllLines(LogTarget::Downloads);
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0], L"[01/02/2027 12:07:00 AM] midnight");
    EXPECT_EQ(LogEntries(LogTarget::Log), log);
}

TEST_F(LogTest, CarriageReturnsGoAndEmptyLinesMakeNoEntry) {
    Log("a\r\nb\n\nc");
    Log("\n");
    Log("Marking %s seen\n", "x");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"a", "b", "c", "Marking x seen"}));
}

TEST_F(LogTest, MessageIsCutAt4095Characters) {
    std::string big(5000, 'x');
    Log("%s", big.c_str());
    auto texts = LogTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], std::string(4095, 'x'));
}

TEST_F(LogTest, PercentInDataIsShownUnchanged) {
    Log("%s", "Searching for 100% Show %d 1x02 ...");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Searching for 100% Show %d 1x02 ..."}));
}

TEST_F(LogTest, ListsKeep250OldEntriesPlusTheNewMessage) {
    for (int i = 0; i < 300; i++)
        Log("line %d", i);
    auto core = LogEntries(LogTarget::Log);
    auto shown = front.Lines(LogTarget::Log);
    ASSERT_EQ(core.size(), 251u);
    EXPECT_EQ(shown, core);
    EXPECT_NE(core.back().find(L"line 299"), std::wstring::npos);
    EXPECT_NE(core.front().find(L"line 49"), std::wstring::npos);
    EXPECT_EQ(front.AllLines(LogTarget::Log).size(), 300u);

    // A three-line message comes whole on top of 250 old entries.
    Log("x\ny\nz");
    EXPECT_EQ(LogEntries(LogTarget::Log).size(), 253u);
    EXPECT_EQ(front.Lines(LogTarget::Log).size(), 253u);
    // The other list is untouched.
    EXPECT_TRUE(LogEntries(LogTarget::Downloads).empty());
}

TEST_F(LogTest, TwoThreadsNeverInterleaveInsideAMessage) {
    const int kMessages = 400;
    auto writer = [](const char *who, bool downloads) {
        for (int i = 0; i < kMessages; i++) {
            if (downloads)
                LogDownload("%s %d one\n%s %d two", who, i, who, i);
            else
                Log("%s %d one\n%s %d two", who, i, who, i);
        }
    };
    std::thread a(writer, "A", false), b(writer, "B", false), c(writer, "C", true);
    a.join();
    b.join();
    c.join();

    auto texts = LogTexts();
    ASSERT_EQ(texts.size(), 4u * kMessages);
    int next[2] = {0, 0};
    for (size_t i = 0; i < texts.size(); i += 2) {
        int who = texts[i][0] == 'A' ? 0 : 1;
        std::string head = std::string(1, "AB"[who]) + " " + std::to_string(next[who]);
        ASSERT_EQ(texts[i], head + " one");
        ASSERT_EQ(texts[i + 1], head + " two");
        next[who]++;
    }
    EXPECT_EQ(LogTexts(LogTarget::Downloads).size(), 2u * kMessages);
    EXPECT_EQ(front.Lines(LogTarget::Log), LogEntries(LogTarget::Log));
}

TEST_F(LogTest, StatusGoesToPartZeroAndTheLog) {
    SetStatus(L"Checking for shows...");
    EXPECT_EQ(front.Status(0), L"Checking for shows...");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Checking for shows..."}));
}

// Bytes that do not convert (a title in another encoding) become U+FFFD
// each; the rest of the line, stamp included, stays readable.
TEST_F(LogTest, UnconvertibleBytesBecomeReplacementCharacters) {
#ifndef _WIN32  // Windows converts from UTF-8 whatever the locale
    std::string old = setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
#endif
    Log("%s", "bad \xff\xfe bytes");
    Log("%s", "caf\xc3\xa9");
    Log("%s", "cut \xc3");
#ifndef _WIN32
    setlocale(LC_CTYPE, old.c_str());
#endif
    auto log = front.AllLines(LogTarget::Log);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].substr(0, 1), L"[");
    EXPECT_EQ(log[0].substr(log[0].size() - 12), L"bad \uFFFD\uFFFD bytes");
    EXPECT_EQ(log[1].substr(log[1].size() - 4), L"caf\u00e9");
    EXPECT_EQ(log[2].substr(log[2].size() - 5), L"cut \uFFFD");
}

#ifdef _WIN32
// Windows decodes UTF-8 itself: characters beyond U+FFFF become surrogate
// pairs, and forms UTF-8 forbids (overlong, encoded surrogates, cut short
// before a valid byte) give one U+FFFD per byte.
TEST_F(LogTest, UtfEightIsDecodedStrictlyIntoUtfSixteen) {
    Log("%s", "a \xF0\x9F\x93\xBA b");
    Log("%s", "x\xC0\xAFy\xED\xA0\x80z\xE2\x82q");
    auto log = front.AllLines(LogTarget::Log);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(log[0].size() - 6), L"a \xD83D\xDCFA b");
    EXPECT_EQ(log[1].substr(log[1].size() - 11), L"x\uFFFD\uFFFDy\uFFFD\uFFFD\uFFFDz\uFFFD\uFFFDq");
}
#endif

TEST_F(LogTest, RecorderBoundsItsListLikeTheWindow) {
    RecordingFrontEnd r;
    for (int i = 0; i < 260; i++)
        r.AppendLogLines(LogTarget::Downloads, {L"a", L"b"});
    EXPECT_EQ(r.Lines(LogTarget::Downloads).size(), 252u);
    EXPECT_EQ(r.AllLines(LogTarget::Downloads).size(), 520u);
    EXPECT_TRUE(r.Lines(LogTarget::Log).empty());
}

}  // namespace
