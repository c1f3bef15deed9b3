// Text helpers: conversion, trimming, replacement, tokenizing, searching.
#include "vorlo/text.h"

#include "vorlo/memleak.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#ifdef _WIN32
#include <windows.h>
#endif

const char *const kBlanks = " \t\r\n";

#ifdef _WIN32
// Narrow text is UTF-8 inside the program on Windows too (the system code
// page cannot hold every file or show name); wide text is UTF-16.
char *ToNarrow(const wchar_t *text) {
    if (!text)
        return nullptr;
    int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return ZSTRDUP("ERROR in wcstombs");
    auto *out = static_cast<char *>(ZMALLOC(static_cast<size_t>(length)));
    if (out)
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, out, length, nullptr, nullptr);
    return out;
}

wchar_t *ToWide(const char *text) {
    if (!text)
        return nullptr;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0)
        return ZWCSDUP(L"ERROR in mbstowcs");
    auto *out = static_cast<wchar_t *>(ZMALLOC(static_cast<size_t>(length) * sizeof(wchar_t)));
    if (out)
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, length);
    return out;
}
#else
char *ToNarrow(const wchar_t *text) {
    if (!text)
        return nullptr;
    size_t length = wcstombs(nullptr, text, 0);
    if (length == static_cast<size_t>(-1))
        return ZSTRDUP("ERROR in wcstombs");
    auto *out = static_cast<char *>(ZMALLOC(length + 1));
    if (!out)
        return nullptr;
    if (wcstombs(out, text, length + 1) == static_cast<size_t>(-1)) {
        ZFREE(out);
        return ZSTRDUP("ERROR in wcstombs");
    }
    return out;
}

wchar_t *ToWide(const char *text) {
    if (!text)
        return nullptr;
    size_t length = strlen(text);
    // Never more wide characters than bytes; the block is zero-filled.
    auto *out = static_cast<wchar_t *>(ZMALLOC((length + 1) * sizeof(wchar_t)));
    if (!out)
        return nullptr;
    if (mbstowcs(out, text, length + 1) == static_cast<size_t>(-1)) {
        ZFREE(out);
        return ZWCSDUP(L"ERROR in mbstowcs");
    }
    return out;
}
#endif

char *Trim(char *text, const char *set, int sides) {
    if (!text || !set)
        return text;
    if (sides & TRIM_START) {
        size_t skip = strspn(text, set);
        if (skip)
            memmove(text, text + skip, strlen(text + skip) + 1);
    }
    if (sides & TRIM_END) {
        size_t length = strlen(text);
        while (length > 0 && strchr(set, text[length - 1]))
            text[--length] = '\0';
    }
    return text;
}

int ReplaceAll(char *buffer, size_t capacity, const char *pattern, const char *replacement) {
    if (!buffer || !pattern || !replacement || !*pattern || capacity == 0)
        return 0;
    size_t patternLength = strlen(pattern);
    size_t replacementLength = strlen(replacement);
    size_t length = strlen(buffer);
    int count = 0;
    char *from = buffer;
    while (char *hit = strstr(from, pattern)) {
        size_t newLength = length - patternLength + replacementLength;
        if (newLength + 1 > capacity)
            break;
        char *rest = hit + patternLength;
        memmove(hit + replacementLength, rest, length - static_cast<size_t>(rest - buffer) + 1);
        memcpy(hit, replacement, replacementLength);
        length = newLength;
        from = hit + replacementLength;
        ++count;
    }
    return count;
}

char *NextToken(char *text, const char *delimiters, char **cursor) { return strtok_r(text, delimiters, cursor); }

namespace {

int FoldAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

}  // namespace

int StrNICmp(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        int ca = FoldAscii(static_cast<unsigned char>(a[i]));
        int cb = FoldAscii(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
    return 0;
}

int StrICmp(const char *a, const char *b) { return StrNICmp(a, b, static_cast<size_t>(-1)); }

const char *FindNoCase(const char *text, const char *pattern) {
    if (!text || !pattern)
        return nullptr;
    size_t patternLength = strlen(pattern);
    for (const char *at = text;; ++at) {
        if (StrNICmp(at, pattern, patternLength) == 0)
            return at;
        if (!*at)
            return nullptr;
    }
}

char *FindNoCase(char *text, const char *pattern) {
    return const_cast<char *>(FindNoCase(static_cast<const char *>(text), pattern));
}

const char *FileNamePart(const char *path) {
    if (!path)
        return nullptr;
    if (const char *backslash = strrchr(path, '\\'))
        return backslash + 1;
    if (const char *slash = strrchr(path, '/'))
        return slash + 1;
    return path;
}

const wchar_t *FileNamePart(const wchar_t *path) {
    if (!path)
        return nullptr;
    if (const wchar_t *backslash = wcsrchr(path, L'\\'))
        return backslash + 1;
    if (const wchar_t *slash = wcsrchr(path, L'/'))
        return slash + 1;
    return path;
}

StringTokenizer::StringTokenizer(const char *source, int delim, bool copy)
    : owns(copy), text(nullptr), delimiter(delim), delimiters{static_cast<char>(delim), 0, 0, 0} {
    if (!source)
        source = "";
    text = copy ? ZSTRDUP(source) : const_cast<char *>(source);
    if (!text) {  // out of memory: behave as an empty text
        owns = false;
        text = const_cast<char *>("");
    }
}

StringTokenizer::~StringTokenizer() {
    if (owns)
        ZFREE(text);
}

int StringTokenizer::CountTokens() const {
    const char delim = static_cast<char>(delimiter);
    int count = 0;
    bool inWord = false;
    const char *p = text;
    for (; *p; ++p) {
        if (*p == delim) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++count;
        }
    }
    if (p != text && p[-1] == delim)
        ++count;
    return count;
}

std::string StringTokenizer::GetTokensString(int first, int last) const {
    std::string out;
    int word = 0;
    const char *p = text;
    for (;;) {
        p += strspn(p, delimiters);
        if (!*p)
            break;
        size_t length = strcspn(p, delimiters);
        ++word;
        if (word > last)
            break;
        if (word >= first) {
            if (!out.empty())
                out += delimiters;
            out.append(p, length);
        }
        p += length;
    }
    return out;
}

std::string StringTokenizer::GetTokenString(int n) const { return GetTokensString(n, n); }

char *StringTokenizer::GetTokens(int first, int last) const { return ZSTRDUP(GetTokensString(first, last).c_str()); }

char *StringTokenizer::GetToken(int n) const { return GetTokens(n, n); }
