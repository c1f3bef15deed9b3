// Allocation tracker: counters, guard checks and their messages, the report
// and the dump.
#include "vorlo/memleak.h"

#include "sandbox.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string Dump(const void *bytes, size_t count) {
    Sandbox box;
    FILE *out = fopen(box.File("dump").c_str(), "wb");
    MemLeakDump(out, bytes, count);
    fclose(out);
    return box.Read("dump");
}

std::string Report() {
    Sandbox box;
    MemLeakReportFile(box.File("report").c_str());
    return box.Read("report");
}

class MemLeak : public testing::Test {
protected:
    void SetUp() override {
        blocks = MemLeakBlocks();
        bytes = MemLeakBytes();
    }
    void TearDown() override {
        EXPECT_EQ(MemLeakBlocks(), blocks) << "a test left tracked blocks behind";
        EXPECT_EQ(MemLeakBytes(), bytes);
    }
    uint64_t blocks = 0, bytes = 0;
};

}  // namespace

TEST_F(MemLeak, BlocksAreZeroedGuardedAndCounted) {
    auto *p = static_cast<unsigned char *>(ZMALLOC(10));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(MemLeakBlocks(), blocks + 1);
    EXPECT_EQ(MemLeakBytes(), bytes + 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(p[i], 0);
    EXPECT_EQ(memcmp(p - 8, "VORLOKAP", 8), 0);
    EXPECT_EQ(memcmp(p + 10, "VORLOKAP", 8), 0);
    CaptureStdout();
    ZFREE(p);
    EXPECT_EQ(GetCapturedStdout(), "");  // traces print nothing
}

TEST_F(MemLeak, SizeZeroGivesNothing) {
    EXPECT_EQ(ZMALLOC(0), nullptr);
    EXPECT_EQ(MemLeakBlocks(), blocks);
    EXPECT_EQ(MemLeakBytes(), bytes);
}

TEST_F(MemLeak, ReallocOfNoneAllocatesAndToZeroFrees) {
    char *p = static_cast<char *>(ZREALLOC(nullptr, 5));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(MemLeakBlocks(), blocks + 1);
    CaptureStdout();
    EXPECT_EQ(ZREALLOC(p, 0), nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(MemLeakBlocks(), blocks);
}

TEST_F(MemLeak, ReallocKeepsContentsMovesGuardsAndCounts) {
    char *p = ZSTRDUP("hello");
    // Enough blocks in between that growing usually has to move the block.
    char *q = static_cast<char *>(ZREALLOC(p, 100000));
    ASSERT_NE(q, nullptr);
    EXPECT_STREQ(q, "hello");
    EXPECT_EQ(MemLeakBytes(), bytes + 100000);
    EXPECT_EQ(memcmp(q + 100000, "VORLOKAP", 8), 0);
    q = static_cast<char *>(ZREALLOC(q, 3));
    EXPECT_EQ(memcmp(q, "hel", 3), 0);
    EXPECT_EQ(memcmp(q + 3, "VORLOKAP", 8), 0);
    EXPECT_EQ(MemLeakBytes(), bytes + 3);
    CaptureStdout();
    ZFREE(q);  // still findable under its new address, guards intact
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(MemLeak, ReallocOfUnknownPointerIsRefused) {
    char local[16];
    CaptureStdout();
    EXPECT_EQ(zrealloc(local, 32, "caller.cpp", 12), nullptr);
    EXPECT_EQ(GetCapturedStdout(),
              "MemLeak : Level 2 Message : Warning! Attempted to zrealloc() an unregistered ptr! : File : "
              "caller.cpp:12\n");
}

TEST_F(MemLeak, ByteWrittenPastTheEndIsReportedAndDumpedOnFree) {
    char *p = static_cast<char *>(zmalloc(10, "src/alloc.cpp", 77));
    p[10] = 'X';
    std::string expected =
        "MemLeak : Level 2 Message : Warning! Pointer has been corrupted (post, zfree, XORLOKAP)! : File : "
        "free.cpp:5\n" +
        Format("MemLeak : Level 2 Message : ^ Last FFL -> zmalloc, size: 10, ptr: %p : File : src/alloc.cpp:77\n",
               static_cast<void *>(p - 8)) +
        "00000000h: 56 4F 52 4C 4F 4B 41 50 00 00 00 00 00 00 00 00  ; VORLOKAP........\n"
        "00000010h: 00 00 58 4F 52 4C 4F 4B 41 50                    ; ..XORLOKAP      \n";
    CaptureStdout();
    zfree(p, "free.cpp", 5);
    EXPECT_EQ(GetCapturedStdout(), expected);
    EXPECT_EQ(MemLeakBlocks(), blocks);  // freed whatever the check found
}

TEST_F(MemLeak, DamagedFrontGuardIsReportedOnReallocAndFree) {
    char *p = static_cast<char *>(zmalloc(4, "a.cpp", 1));
    p[-1] = '!';
    char *old = p;
    CaptureStdout();
    p = static_cast<char *>(zrealloc(p, 6, "b.cpp", 2));
    EXPECT_EQ(GetCapturedStdout(),
              "MemLeak : Level 2 Message : Warning! Pointer has been corrupted (pre, zrealloc, VORLOKA!)! : File : "
              "b.cpp:2\n" +
                  Format("MemLeak : Level 2 Message : ^ Last FFL -> zmalloc, size: 4, ptr: %p : File : a.cpp:1\n",
                         static_cast<void *>(old - 8)));
    std::string out;
    // The resize rewrote both guards and recorded its own origin.
    CaptureStdout();
    p[-8] = 'W';
    zfree(p, "c.cpp", 3);
    out = GetCapturedStdout();
    EXPECT_NE(out.find("(pre, zfree, WORLOKAP)! : File : c.cpp:3\n"), std::string::npos) << out;
    EXPECT_NE(out.find("^ Last FFL -> zrealloc, size: 6, ptr: "), std::string::npos) << out;
    EXPECT_NE(out.find(" : File : b.cpp:2\n00000000h: 57 4F 52 4C"), std::string::npos) << out;
    EXPECT_EQ(out.find("post"), std::string::npos) << out;
}

TEST_F(MemLeak, DoubleFreeIsReportedTheSecondTime) {
    void *p = ZMALLOC(8);
    CaptureStdout();
    zfree(p, "x.cpp", 10);
    EXPECT_EQ(GetCapturedStdout(), "");
    CaptureStdout();
    zfree(p, "x.cpp", 11);
    zfree(nullptr, "x.cpp", 12);
    EXPECT_EQ(GetCapturedStdout(),
              "MemLeak : Level 1 Message : Warning! Attempted to zfree() non-registered pointer! : File : x.cpp:11\n"
              "MemLeak : Level 1 Message : Warning! Attempted to zfree() non-registered pointer! : File : x.cpp:12\n");
}

TEST_F(MemLeak, MessagesByLevel) {
    CaptureStdout();
    MemLeakMessage(0, "zmalloc() called", "t.cpp", 1);
    MemLeakMessage(1, "one", "t.cpp", 2);
    MemLeakMessage(2, "two", "dir/t.cpp", 3);
    EXPECT_EQ(GetCapturedStdout(),
              "MemLeak : Level 1 Message : one : File : t.cpp:2\n"
              "MemLeak : Level 2 Message : two : File : dir/t.cpp:3\n");
}

TEST_F(MemLeak, ReportWithoutLiveBlocks) {
    ASSERT_EQ(MemLeakBlocks(), 0u) << "blocks leaked by earlier tests";
    EXPECT_EQ(Report(),
              "MemLeakExit() -> No Unfreed Ptrs Found (That is good)\n"
              "MemLeakExit() -> Beginning report of unfreed ptrs...\n"
              "MemLeakExit() -> End of report...\n");
}

TEST_F(MemLeak, ReportListsLiveBlocksInAllocationOrder) {
    ASSERT_EQ(MemLeakBlocks(), 0u) << "blocks leaked by earlier tests";
    char *first = zstrdup("first", "/home/dev/quillon/src/shows.cpp", 40);
    char *second = static_cast<char *>(zmalloc(2, "C:\\src\\win.cpp", 7));
    second = static_cast<char *>(zrealloc(second, 3, "plain.cpp", 8));
    memcpy(second, "\x01\x41\xC8", 3);
    std::string expected =
        "MemLeakExit() -> Beginning report of unfreed ptrs...\n" +
        Format("Unfreed Ptr: 0x%" PRIxPTR " (len: 6), zmalloc, shows.cpp, line 40\n",
               reinterpret_cast<uintptr_t>(first)) +
        "00000000h: 66 69 72 73 74 00                                ; first.          \n" +
        Format("Unfreed Ptr: 0x%" PRIxPTR " (len: 3), zrealloc, plain.cpp, line 8\n",
               reinterpret_cast<uintptr_t>(second)) +
        "00000000h: 01 41 C8                                         ; .A.             \n"
        "MemLeakExit() -> End of report...\n";
    EXPECT_EQ(Report(), expected);
    // A Windows-style path loses its folders too.
    zfree(second, "C:\\src\\win.cpp", 9);
    second = static_cast<char *>(zmalloc(1, "C:\\src\\win.cpp", 9));
    EXPECT_NE(Report().find(", zmalloc, win.cpp, line 9\n"), std::string::npos);
    ZFREE(first);
    ZFREE(second);
}

TEST_F(MemLeak, MovedBlocksKeepTheirPlaceInTheReport) {
    ASSERT_EQ(MemLeakBlocks(), 0u) << "blocks leaked by earlier tests";
    char *first = static_cast<char *>(zmalloc(4, "a.cpp", 1));
    char *middle = static_cast<char *>(zmalloc(4, "b.cpp", 2));
    char *last = static_cast<char *>(zmalloc(4, "c.cpp", 3));
    // Grown far beyond its size, each block has to move.
    first = static_cast<char *>(zrealloc(first, 1 << 20, "a.cpp", 11));
    middle = static_cast<char *>(zrealloc(middle, 1 << 20, "b.cpp", 12));
    last = static_cast<char *>(zrealloc(last, 1 << 20, "c.cpp", 13));
    ASSERT_TRUE(first && middle && last);
    std::string report = Report();
    size_t a = report.find("a.cpp, line 11"), b = report.find("b.cpp, line 12"), c = report.find("c.cpp, line 13");
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(b, std::string::npos);
    ASSERT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    ZFREE(middle);
    ZFREE(first);
    ZFREE(last);
    EXPECT_EQ(Report().find("Unfreed Ptr: "), std::string::npos);
}

TEST_F(MemLeak, ManyBlocksStayFindableWhateverTheOrderOfFrees) {
    std::vector<char *> blocks;
    for (int i = 0; i < 20000; i++) {
        blocks.push_back(static_cast<char *>(ZMALLOC(8 + i % 24)));
        ASSERT_NE(blocks.back(), nullptr);
        blocks.back()[0] = static_cast<char>(i);
    }
    for (size_t i = 0; i < blocks.size(); i += 7)
        blocks[i] = static_cast<char *>(ZREALLOC(blocks[i], 100));
    // Free in a scattered order: every third from the back, then the rest.
    for (size_t i = blocks.size(); i-- > 0;) {
        if (i % 3 == 0) {
            EXPECT_EQ(blocks[i][0], static_cast<char>(i));
            ZFREE(blocks[i]);
            blocks[i] = nullptr;
        }
    }
    for (char *b : blocks)
        if (b)
            ZFREE(b);
    // A block freed before is unknown now.
    char *gone = static_cast<char *>(ZMALLOC(8));
    ZFREE(gone);
    CaptureStdout();
    zfree(gone, "again.cpp", 5);
    EXPECT_NE(GetCapturedStdout().find("non-registered pointer"), std::string::npos);
}

// Only the exact start of a live block counts: addresses inside a block
// (aligned or not), next to it, or far from any block are refused without
// harm to the block.
TEST_F(MemLeak, OnlyTheStartOfALiveBlockIsRegistered) {
    char *p = static_cast<char *>(ZMALLOC(64));
    static char outside[16];
    CaptureStdout();
    for (char *wrong : {p + 1, p + 8, p + 64, p - 8, outside, outside + 3})
        zfree(wrong, "w.cpp", 1);
    EXPECT_EQ(zrealloc(p + 16, 8, "w.cpp", 2), nullptr);
    std::string out = GetCapturedStdout();
    size_t warnings = 0;
    for (size_t at = out.find("non-registered"); at != std::string::npos; at = out.find("non-registered", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 6u) << out;
    EXPECT_NE(out.find("zrealloc() an unregistered ptr"), std::string::npos);
    EXPECT_EQ(MemLeakBlocks(), blocks + 1);
    CaptureStdout();
    ZFREE(p);
    EXPECT_EQ(GetCapturedStdout(), "");
}

// Blocks far apart in memory (large ones get their own mappings) and blocks
// moved between such places by zrealloc stay findable, and the places they
// leave forget them.
TEST_F(MemLeak, BlocksSpreadOverTheAddressSpaceStayFindable) {
    std::vector<char *> large;
    for (int i = 0; i < 8; ++i) {
        large.push_back(static_cast<char *>(ZMALLOC(300000 + i)));
        ASSERT_NE(large.back(), nullptr);
    }
    char *moving = ZSTRDUP("moving");
    for (size_t size : {size_t{2000000}, size_t{16}, size_t{700000}, size_t{7}}) {
        char *before = moving;
        moving = static_cast<char *>(ZREALLOC(moving, size));
        ASSERT_NE(moving, nullptr);
        EXPECT_EQ(memcmp(moving, "moving", 6), 0);
        if (moving != before) {
            CaptureStdout();
            zfree(before, "m.cpp", 1);
            EXPECT_NE(GetCapturedStdout().find("non-registered"), std::string::npos);
        }
    }
    CaptureStdout();
    for (char *b : large)
        ZFREE(b);
    ZFREE(moving);
    EXPECT_EQ(GetCapturedStdout(), "");
    CaptureStdout();
    zfree(large[3], "m.cpp", 2);
    EXPECT_NE(GetCapturedStdout().find("non-registered"), std::string::npos);
}

TEST_F(MemLeak, ReportFileThatCannotBeOpened) {
    Sandbox box;
    std::string path = box.File("missing/report.txt");
    CaptureStdout();
    MemLeakReportFile(path.c_str());
    EXPECT_EQ(GetCapturedStdout(), "Error opening " + path + " for output!!!\n");
}

// The name is UTF-8 on every system: Windows gets it as UTF-16, not in the
// ANSI code page.
TEST_F(MemLeak, ReportFileWithANonAsciiName) {
    Sandbox box;
    std::string path = box.File("r\xC3\xA9port.txt");
    MemLeakReportFile(path.c_str());
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::u8path(path)));
}

TEST_F(MemLeak, DumpRowsAndCharacterColumn) {
    const unsigned char bytes[] = {0x00, 0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xFF, 0x30, 0x31,
                                   0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x0A};
    EXPECT_EQ(Dump(bytes, sizeof bytes),
              "00000000h: 00 1F 20 41 7E 7F 80 FF 30 31 32 33 34 35 36 37  ; .. A~\x7f..01234567\n"
              "00000010h: 0A                                               ; .               \n");
    EXPECT_EQ(Dump(bytes, 0), "");
}

TEST_F(MemLeak, FreeAllReleasesEveryBlock) {
    ASSERT_EQ(MemLeakBlocks(), 0u);
    for (int i = 0; i < 5; ++i)
        ZMALLOC(16);
    ZFREE(ZSTRDUP("x"));
    EXPECT_EQ(MemLeakBlocks(), 5u);
    CaptureStdout();
    MemLeakFreeAll(__FILE__, __LINE__);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(MemLeakBlocks(), 0u);
    EXPECT_EQ(MemLeakBytes(), 0u);
}

TEST_F(MemLeak, DuplicatesAndFormattedTexts) {
    char *s = ZSTRDUP("abc");
    wchar_t *w = ZWCSDUP(L"w\u00e9");
    char *f = zformat("%s-%03d", "id", 7);
    std::wstring longText(300, L'x');
    wchar_t *wf = zwformat(L"%ls|%d", longText.c_str(), 42);
    EXPECT_STREQ(s, "abc");
    EXPECT_STREQ(w, L"w\u00e9");
    EXPECT_STREQ(f, "id-007");
    EXPECT_EQ(std::wstring(wf), longText + L"|42");
    EXPECT_EQ(MemLeakBlocks(), blocks + 4);
    EXPECT_EQ(MemLeakBytes(), bytes + 4 + 3 * sizeof(wchar_t) + 7 + (300 + 4) * sizeof(wchar_t));
    char *empty = zformat("%s", "");
    EXPECT_STREQ(empty, "");
    for (void *p : {static_cast<void *>(s), static_cast<void *>(w), static_cast<void *>(f),
                    static_cast<void *>(wf), static_cast<void *>(empty)})
        ZFREE(p);
}

TEST_F(MemLeak, ThreadsAllocateAndFreeAtTheSameTime) {
    CaptureStdout();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            std::vector<char *> mine;
            for (int i = 0; i < 2000; ++i) {
                mine.push_back(ZSTRDUP("block"));
                if (i % 3 == 0) {
                    mine.back() = static_cast<char *>(ZREALLOC(mine.back(), 64));
                    ZFREE(mine.front());
                    mine.erase(mine.begin());
                }
            }
            for (char *p : mine)
                ZFREE(p);
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(GetCapturedStdout(), "");  // no block was lost or damaged
}

// An underflow that runs past the front guard over the block's record: the
// tracker must report it without following the damaged record anywhere.
TEST_F(MemLeak, UnderflowOverTheBlockRecordIsReportedNotFollowed) {
    char *before = static_cast<char *>(zmalloc(16, "a.cpp", 1));
    char *hit = static_cast<char *>(zmalloc(16, "b.cpp", 2));
    char *after = static_cast<char *>(zmalloc(16, "c.cpp", 3));
    // Everything from the block's own allocation start up to its bytes.
    const size_t reach = sizeof(void *) == 8 ? 56 : 40;
    std::memset(hit - reach, 'U', reach);

    CaptureStdout();
    EXPECT_EQ(zrealloc(hit, 32, "d.cpp", 4), nullptr);
    std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("(pre, zrealloc, UUUUUUUU)! : File : d.cpp:4\n"), std::string::npos) << out;

    CaptureStdout();
    zfree(hit, "e.cpp", 5);
    out = GetCapturedStdout();
    EXPECT_NE(out.find("(pre, zfree, UUUUUUUU)! : File : e.cpp:5\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Last FFL"), std::string::npos) << out;

    // The neighbours are whole and the registry still walks.
    CaptureStdout();
    zfree(before, "f.cpp", 6);
    zfree(after, "g.cpp", 7);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(Report().find("b.cpp"), std::string::npos);
}

// Callers store doubles and 64-bit integers in tracked blocks: every user
// pointer is 8-aligned, on 32-bit builds too (where pointers are 4 bytes),
// for any size and after a resize.
TEST_F(MemLeak, UserPointersStayEightByteAligned) {
    std::vector<void *> pointers;
    for (size_t size = 1; size <= 41; size++) {
        void *p = ZMALLOC(size);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u) << size;
        pointers.push_back(p);
    }
    for (void *&p : pointers) {
        p = ZREALLOC(p, 4099);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    }
    for (void *p : pointers)
        ZFREE(p);
}
