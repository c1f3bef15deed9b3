// INI files: every call reads the whole file, normalises its blanks and walks
// its lines; a write rebuilds the whole text and replaces the file at once.
#include "vorlo/ini.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "vorlo/memleak.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

// The whole stream as a tracked, NUL-terminated text; nullptr when reading
// fails part way (a partial text must never be written back).
char *ReadWholeStream(FILE *stream) {
    size_t capacity = 4096;
    size_t length = 0;
    char *text = static_cast<char *>(ZMALLOC(capacity));
    if (!text)
        return nullptr;
    for (;;) {
        if (length + 1 >= capacity) {
            char *bigger = static_cast<char *>(ZREALLOC(text, capacity * 2));
            if (!bigger) {
                ZFREE(text);
                return nullptr;
            }
            text = bigger;
            capacity *= 2;
        }
        size_t got = fread(text + length, 1, capacity - 1 - length, stream);
        length += got;
        if (got == 0)
            break;
    }
    if (ferror(stream)) {
        ZFREE(text);
        return nullptr;
    }
    // A zero byte (binary junk in a damaged file) would end the text there
    // and hide, or on the next write drop, everything after it: it reads as
    // a line end instead.
    for (size_t i = 0; i < length; i++)
        if (text[i] == '\0')
            text[i] = '\n';
    text[length] = '\0';
    return text;
}

// Removes every CR, turns tabs into spaces and collapses runs of spaces.
void Normalise(char *text) {
    size_t out = 0;
    for (size_t i = 0; text[i]; i++) {
        char c = text[i];
        if (c == '\r')
            continue;
        if (c == '\t')
            c = ' ';
        if (c == ' ' && out > 0 && text[out - 1] == ' ')
            continue;
        text[out++] = c;
    }
    text[out] = '\0';
}

// Calls visit(line) for every non-empty line of a normalised text.
template <typename Visit>
void ForEachLine(const char *text, Visit visit) {
    std::string_view rest(text);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty())
            visit(line);
    }
}

// A line that ends any section: begins with '[' and holds a ']'.
bool IsHeader(std::string_view line) {
    return !line.empty() && line[0] == '[' && line.find(']') != std::string_view::npos;
}

// "[" + the section's name (any letter case) + "]", anything after it.
bool IsHeaderOf(std::string_view line, const char *section) {
    size_t length = strlen(section);
    return line.size() >= length + 2 && line[0] == '[' &&
           StrNICmp(line.data() + 1, section, length) == 0 && line[length + 1] == ']';
}

std::string_view TrimSpaces(std::string_view text) {
    size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return std::string_view();
    size_t end = text.find_last_not_of(' ');
    return text.substr(begin, end - begin + 1);
}

// For an entry line whose key is `key` (any letter case), stores its value.
bool MatchesKey(std::string_view line, const char *key, std::string_view *value) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    std::string_view found = TrimSpaces(line.substr(0, equals));
    size_t length = strlen(key);
    if (found.size() != length || StrNICmp(found.data(), key, length) != 0)
        return false;
    if (value)
        *value = TrimSpaces(line.substr(equals + 1));
    return true;
}

char *CopyOut(char *dest, int size, std::string_view text) {
    size_t room = static_cast<size_t>(size) - 1;
    size_t length = text.size() < room ? text.size() : room;
    if (length > 0)
        memcpy(dest, text.data(), length);
    dest[length] = '\0';
    return dest;
}

char *CopyDefault(char *dest, int size, const char *def) {
    if (!def)
        return nullptr;
    memset(dest, 0, static_cast<size_t>(size));
    return CopyOut(dest, size, def);
}

}  // namespace

char *IniParseString(const char *text, const char *section, const char *key, char *dest, int size,
                     const char *def) {
    if (!dest || size <= 0)
        return nullptr;
    memset(dest, 0, static_cast<size_t>(size));
    if (!text || !section || !key)
        return CopyDefault(dest, size, def);
    char *copy = ZSTRDUP(text);
    if (!copy)
        return CopyDefault(dest, size, def);
    Normalise(copy);

    bool inside = false;
    bool found = false;
    ForEachLine(copy, [&](std::string_view line) {
        if (found)
            return;
        if (IsHeader(line)) {
            inside = IsHeaderOf(line, section);
            return;
        }
        std::string_view value;
        if (inside && MatchesKey(line, key, &value)) {
            CopyOut(dest, size, value);
            found = true;
        }
    });
    ZFREE(copy);
    return found ? dest : CopyDefault(dest, size, def);
}

char *IniReadString(const char *path, const char *section, const char *key, char *dest, int size,
                    const char *def) {
    if (!dest || size <= 0)
        return nullptr;
    FILE *stream = path ? PlatformOpenFile(path, "rb") : nullptr;
    if (!stream)
        return CopyDefault(dest, size, def);
    char *text = ReadWholeStream(stream);
    fclose(stream);
    if (!text)
        return CopyDefault(dest, size, def);
    char *result = IniParseString(text, section, key, dest, size, def);
    ZFREE(text);
    return result;
}

int IniReadInt(const char *path, const char *section, const char *key, int def) {
    char buffer[32];
    if (!IniReadString(path, section, key, buffer, sizeof buffer, nullptr))
        return def;
    // atoi: the leading number, 0 without one; out-of-range numbers are
    // clamped to the int range.
    long number = strtol(buffer, nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

std::string IniRewriteText(const char *text, const char *section, const char *key,
                           const char *value) {
    std::string entry = std::string(key) + "=" + value + "\r\n";
    std::string copy = text ? text : "";
    Normalise(copy.data());
    std::string out;
    bool inside = false;
    bool written = false;
    ForEachLine(copy.c_str(), [&](std::string_view line) {
        if (!inside) {
            if (IsHeaderOf(line, section))
                inside = true;
        } else if (IsHeader(line)) {
            if (!written) {
                out += entry;
                out += "\r\n";
                written = true;
            }
            inside = false;
        } else if (MatchesKey(line, key, nullptr)) {
            out += entry;
            written = true;
            return;
        }
        out += line;
        out += "\r\n";
    });

    if (!written) {
        if (inside)
            out += entry;
        else
            out += std::string("[") + section + "]\r\n" + entry;
    }
    return out;
}

int IniWriteString(const char *path, const char *section, const char *key, const char *value) {
    if (!path || !section || !key || !value)
        return -1;
    std::string out;
    FILE *stream = PlatformOpenFile(path, "rb");
    if (!stream) {
        // Only a file that does not exist is started afresh; one that exists
        // but cannot be read is left alone rather than replaced.
        if (errno != ENOENT)
            return -1;
        out = std::string("[") + section + "]\r\n" + key + "=" + value + "\r\n";
    } else {
        char *text = ReadWholeStream(stream);
        fclose(stream);
        if (!text)
            return -1;
        out = IniRewriteText(text, section, key, value);
        ZFREE(text);
    }
    return PlatformWriteFileAtomic(path, out.data(), out.size()) ? 0 : -1;
}

int IniWriteInt(const char *path, const char *section, const char *key, int value) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "%d", value);
    return IniWriteString(path, section, key, buffer);
}
