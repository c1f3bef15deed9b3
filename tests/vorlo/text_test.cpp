// Text helpers: tokenizer, trimming, replacement, conversion, searching.
#include "vorlo/memleak.h"
#include "vorlo/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace {

// Frees a tracked text when the scope ends and gives it as a std::string.
struct Tracked {
    char *p;
    explicit Tracked(char *text) : p(text) {}
    ~Tracked() {
        if (p)
            ZFREE(p);
    }
    std::string str() const { return p ? p : "(null)"; }
};

class ScopedLocale {
public:
    explicit ScopedLocale(const char *name) : saved(setlocale(LC_ALL, nullptr)) { ok = setlocale(LC_ALL, name); }
    ~ScopedLocale() { setlocale(LC_ALL, saved.c_str()); }
    bool ok;

private:
    std::string saved;
};

int Count(const char *text, int delimiter = ' ') { return StringTokenizer(text, delimiter).CountTokens(); }

}  // namespace

TEST(Tokenizer, CountsWordsNotDelimiters) {
    EXPECT_EQ(Count("two words"), 2);
    EXPECT_EQ(Count("two  words"), 2);
    EXPECT_EQ(Count("  two   words"), 2);
    EXPECT_EQ(Count("two words "), 3);  // a trailing delimiter counts once
    EXPECT_EQ(Count("two words   "), 3);
    EXPECT_EQ(Count(""), 0);
    EXPECT_EQ(Count(nullptr), 0);
    EXPECT_EQ(Count("word"), 1);
    EXPECT_EQ(Count("a,b,,c", ','), 3);
}

TEST(Tokenizer, RangesJoinWordsWithOneDelimiter) {
    StringTokenizer t("one  two three   four", ' ');
    EXPECT_EQ(Tracked(t.GetTokens(2, 3)).str(), "two three");
    EXPECT_EQ(Tracked(t.GetTokens(1, 4)).str(), "one two three four");
    EXPECT_EQ(Tracked(t.GetTokens(3, 99)).str(), "three four");
    EXPECT_EQ(Tracked(t.GetTokens(5, 6)).str(), "");
    EXPECT_EQ(Tracked(t.GetTokens(3, 2)).str(), "");
    EXPECT_EQ(Tracked(t.GetToken(4)).str(), "four");
    EXPECT_EQ(t.GetTokensString(2, 3), "two three");
    EXPECT_EQ(t.GetTokenString(1), "one");
    EXPECT_EQ(t.GetTokenString(5), "");
    // The trailing-delimiter token holds no word.
    StringTokenizer trailing("a b ", ' ');
    EXPECT_EQ(trailing.GetTokenString(3), "");
}

TEST(Tokenizer, CopyOrReferenceAndTracking) {
    uint64_t blocks = MemLeakBlocks();
    char text[] = "x y";
    {
        StringTokenizer copied(text, ' ');
        EXPECT_EQ(MemLeakBlocks(), blocks + 1);
        StringTokenizer referred(text, ' ', false);
        EXPECT_EQ(MemLeakBlocks(), blocks + 1);
        text[2] = 'z';
        EXPECT_EQ(copied.GetTokenString(2), "y");
        EXPECT_EQ(referred.GetTokenString(2), "z");
    }
    EXPECT_EQ(MemLeakBlocks(), blocks);
}

TEST(Trim, RemovesSetCharactersFromTheChosenEnds) {
    char word[] = "\t  word \r\n";
    EXPECT_EQ(Trim(word, kBlanks), word);
    EXPECT_STREQ(word, "word");
    char blanks[] = " \t\r\n  ";
    EXPECT_STREQ(Trim(blanks, kBlanks), "");
    char inner[] = "  a b  ";
    EXPECT_STREQ(Trim(inner, " "), "a b");
    char start[] = "  a  ";
    EXPECT_STREQ(Trim(start, " ", TRIM_START), "a  ");
    char end[] = "  a  ";
    EXPECT_STREQ(Trim(end, " ", TRIM_END), "  a");
    char empty[] = "";
    EXPECT_STREQ(Trim(empty, kBlanks), "");
}

TEST(ReplaceAll, ReplacesEveryOccurrence) {
    char buffer[256] = "a\tb\t\tc\t";
    EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "\t", " "), 4);
    EXPECT_STREQ(buffer, "a b  c ");
}

TEST(ReplaceAll, ResumesBehindTheInsertedText) {
    char buffer[256] = "a    b";
    EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "  ", " "), 2);
    EXPECT_STREQ(buffer, "a  b");
    EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "  ", " "), 1);
    EXPECT_STREQ(buffer, "a b");
    EXPECT_EQ(ReplaceAll(buffer, sizeof buffer, "  ", " "), 0);
    // A replacement containing the pattern is not searched again.
    char grow[256] = "a.a";
    EXPECT_EQ(ReplaceAll(grow, sizeof grow, "a", "aa"), 2);
    EXPECT_STREQ(grow, "aa.aa");
}

TEST(ReplaceAll, StopsBeforeOverflowingItsCapacity) {
    char buffer[8] = "XXX";
    // The first replacement makes "YYXX" (5 bytes with the NUL); the second
    // would need 6.
    EXPECT_EQ(ReplaceAll(buffer, 5, "X", "YY"), 1);
    EXPECT_STREQ(buffer, "YYXX");
    char exact[8] = "ab";
    EXPECT_EQ(ReplaceAll(exact, 4, "b", "cd"), 1);  // "acd" + NUL is exactly 4
    EXPECT_STREQ(exact, "acd");
    EXPECT_EQ(ReplaceAll(exact, 4, "d", "ef"), 0);
    EXPECT_STREQ(exact, "acd");
    EXPECT_EQ(ReplaceAll(exact, 4, "", "z"), 0);  // an empty pattern replaces nothing
}

// Linux converts in the locale's encoding (UTF-8 here); Windows always
// between UTF-8 and UTF-16, whatever the code page.
TEST(Conversion, NarrowAndWide) {
#ifndef _WIN32
    ScopedLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok);
#endif
    Tracked narrow(ToNarrow(L"Caf\u00e9 \u00e4"));
    EXPECT_EQ(narrow.str(), "Caf\xc3\xa9 \xc3\xa4");
    wchar_t *wide = ToWide("Caf\xc3\xa9");
    EXPECT_STREQ(wide, L"Caf\u00e9");
    ZFREE(wide);
    wide = ToWide("bad \xff byte");
    EXPECT_STREQ(wide, L"ERROR in mbstowcs");
    ZFREE(wide);
}

TEST(Conversion, CharacterWithoutNarrowFormGivesTheErrorText) {
#ifdef _WIN32
    // Every character has a UTF-8 form: only a broken UTF-16 text (a lone
    // surrogate) has none.
    Tracked narrow(ToNarrow(L"snow \xD83D"));
    Tracked snowman(ToNarrow(L"snow \u2603"));
    EXPECT_EQ(snowman.str(), "snow \xE2\x98\x83");
#else
    ScopedLocale c("C");
    Tracked narrow(ToNarrow(L"snow \u2603"));
#endif
    EXPECT_EQ(narrow.str(), "ERROR in wcstombs");
    Tracked plain(ToNarrow(L"plain"));
    EXPECT_EQ(plain.str(), "plain");
}

TEST(Search, FindNoCaseAndCompares) {
    const char *text = "The Office US S01E02";
    EXPECT_EQ(FindNoCase(text, "office"), text + 4);
    EXPECT_EQ(FindNoCase(text, "s01e02"), text + 14);
    EXPECT_EQ(FindNoCase(text, "s01e03"), nullptr);
    EXPECT_EQ(FindNoCase(text, ""), text);
    EXPECT_EQ(FindNoCase("ab", "abc"), nullptr);
    char mutableText[] = "xYz";
    EXPECT_EQ(FindNoCase(mutableText, "YZ"), mutableText + 1);
    EXPECT_EQ(StrICmp("Hello", "hELLO"), 0);
    EXPECT_LT(StrICmp("apple", "Banana"), 0);
    EXPECT_GT(StrICmp("b", "A"), 0);
    EXPECT_LT(StrICmp("ab", "abc"), 0);
    EXPECT_EQ(StrNICmp("ABCdef", "abcXYZ", 3), 0);
    EXPECT_NE(StrNICmp("ABCdef", "abcXYZ", 4), 0);
}

TEST(Search, FileNamePart) {
    EXPECT_STREQ(FileNamePart("/home/u/file.nzb"), "file.nzb");
    EXPECT_STREQ(FileNamePart("C:\\dl\\file.nzb"), "file.nzb");
    EXPECT_STREQ(FileNamePart("a/b\\c/d"), "c/d");  // the last backslash wins
    EXPECT_STREQ(FileNamePart("file"), "file");
    EXPECT_STREQ(FileNamePart("dir/"), "");
    EXPECT_STREQ(FileNamePart(L"x\\y/z.so"), L"y/z.so");
    EXPECT_STREQ(FileNamePart(L"/p/q.so"), L"q.so");
}
