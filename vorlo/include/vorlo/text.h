// Text helpers: narrow/wide conversion, trimming, in-place replacement,
// tokenizing and case-insensitive search. Texts returned as char * / wchar_t *
// are tracked allocations (memleak.h) that the caller releases with ZFREE.
#pragma once

#include <cstddef>
#include <string>

// Tracked narrow copy (wcstombs semantics); "ERROR in wcstombs" when a
// character has no narrow form.
char *ToNarrow(const wchar_t *text);
// Tracked wide copy (mbstowcs semantics); L"ERROR in mbstowcs" when the text
// cannot be converted.
wchar_t *ToWide(const char *text);

enum TrimSides { TRIM_START = 1, TRIM_END = 2, TRIM_BOTH = 3 };
// Removes characters of `set` from the chosen ends, in place; returns text.
char *Trim(char *text, const char *set, int sides = TRIM_BOTH);
// The blank set most callers trim: space, tab, CR, LF.
extern const char *const kBlanks;

// Replaces occurrences of pattern left to right in a buffer of `capacity`
// bytes, resuming behind each inserted text; stops before a replacement that
// would not fit (with the terminator). Returns the number of replacements.
int ReplaceAll(char *buffer, size_t capacity, const char *pattern, const char *replacement);

// strtok_r semantics.
char *NextToken(char *text, const char *delimiters, char **cursor);

// First case-insensitive (ASCII) occurrence of pattern in text, or nullptr.
const char *FindNoCase(const char *text, const char *pattern);
char *FindNoCase(char *text, const char *pattern);

// Case-insensitive compares in the classic locale (only A-Z fold).
int StrICmp(const char *a, const char *b);
int StrNICmp(const char *a, const char *b, size_t n);

// The text after the last backslash, else after the last '/', else the whole.
const char *FileNamePart(const char *path);
const wchar_t *FileNamePart(const wchar_t *path);

// Splits a text into words at one delimiter character. Runs of delimiters
// never make empty words; a trailing delimiter counts as one more token.
class StringTokenizer {
public:
    StringTokenizer(const char *text, int delimiter, bool copy = true);
    ~StringTokenizer();
    StringTokenizer(const StringTokenizer &) = delete;
    StringTokenizer &operator=(const StringTokenizer &) = delete;

    int CountTokens() const;
    // Words first..last (counted from 1, inclusive) joined by the delimiter;
    // tracked text, empty when the range holds no word.
    char *GetTokens(int first, int last) const;
    char *GetToken(int n) const;
    // The same as standard strings.
    std::string GetTokensString(int first, int last) const;
    std::string GetTokenString(int n) const;

private:
    bool owns;
    char *text;
    int delimiter;
    char delimiters[4];
};
