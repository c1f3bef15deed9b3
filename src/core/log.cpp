#include "log.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <ctime>
#include <deque>

#include "clock.h"
#include "vorlo/memleak.h"
#include "vorlo/text.h"

Mutex LogLock("LogLock");

namespace {

// Entries each list keeps before the lines of a new message are added.
const size_t kListBound = 250;

// The core's copy of both lists, guarded by LogLock.
std::deque<std::wstring> g_entries[2];

int ListIndex(LogTarget list) { return list == LogTarget::Downloads ? 1 : 0; }

// "%m/%d/%Y %I:%M:%S %p" in local time, built by hand so that the AM/PM
// marker does not depend on the user's locale.
void FormatStamp(int64_t now, char *out, size_t size) {
    time_t t = static_cast<time_t>(now);
    struct tm local;
    if (!localtime_r(&t, &local)) {
        std::snprintf(out, size, "00/00/0000 12:00:00 AM");
        return;
    }
    int hour12 = local.tm_hour % 12;
    if (hour12 == 0)
        hour12 = 12;
    std::snprintf(out, size, "%02d/%02d/%04d %02d:%02d:%02d %s", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, hour12, local.tm_min, local.tm_sec,
                  local.tm_hour < 12 ? "AM" : "PM");
}

#ifdef _WIN32
// The line as UTF-16: text inside the program is UTF-8 there, whatever the
// code page. A byte that starts no valid UTF-8 sequence (a release title in
// another encoding, say) becomes U+FFFD, so the rest of the line still reads
// instead of the whole line being lost.
std::wstring LossyWide(const std::string &text) {
    std::wstring out;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text.c_str());
    const unsigned char *end = p + text.size();
    while (p < end) {
        unsigned lead = *p;
        // Sequence length and the range of the second byte (which excludes
        // overlong forms, surrogates and code points above U+10FFFF).
        int length = 1;
        unsigned low = 0x80, high = 0xBF, code = lead;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else if (lead >= 0x80) {
            length = 0;  // a continuation byte or a byte UTF-8 never uses
        }
        bool valid = length > 0 && end - p >= length;
        for (int i = 1; valid && i < length; i++) {
            unsigned next = p[i];
            valid = i == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
            code = code << 6 | (next & 0x3F);
        }
        if (!valid) {
            out += L'\uFFFD';
            p++;
            continue;
        }
        if (code == 0)
            break;
        if (code >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(code);
        }
        p += length;
    }
    return out;
}
#else
// The line as wide text. A byte that does not convert in the user's locale
// (a release title in another encoding, say) becomes U+FFFD, so the rest of
// the line still reads instead of the whole line being lost.
std::wstring LossyWide(const std::string &text) {
    std::wstring out;
    std::mbstate_t state{};
    const char *p = text.c_str();
    size_t left = text.size();
    while (left > 0) {
        wchar_t c = 0;
        size_t n = std::mbrtowc(&c, p, left, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out += L'\uFFFD';
            state = std::mbstate_t{};
            n = 1;
        } else if (n == 0) {
            break;
        } else {
            out += c;
        }
        p += n;
        left -= n;
    }
    return out;
}
#endif

}  // namespace

int LogTo(LogTarget list, const char *format, va_list args) {
    if (!format)
        return 0;
    MutexHold hold(LogLock);

    // One message keeps at most 4095 characters.
    char message[4096];
    std::vsnprintf(message, sizeof message, format, args);

    std::deque<std::wstring> &entries = g_entries[ListIndex(list)];
    while (entries.size() > kListBound)
        entries.pop_front();

    char stamp[64];
    FormatStamp(HostNow(), stamp, sizeof stamp);

    // Carriage returns go; the message is split at line feeds and empty
    // lines are dropped.
    char *cursor = message;
    for (char *p = message; *p; p++)
        if (*p != '\r')
            *cursor++ = *p;
    *cursor = '\0';

    std::vector<std::wstring> lines;
    StringTokenizer tokens(message, '\n');
    int count = tokens.CountTokens();
    for (int i = 1; i <= count; i++) {
        std::string line = tokens.GetTokenString(i);
        if (line.empty())
            continue;
        std::string entry = std::string("[") + stamp + "] " + line;
        lines.push_back(LossyWide(entry));
        entries.push_back(lines.back());
    }

    // The front end only queues the lines for the window thread and never
    // waits for it (see FrontEnd), so holding LogLock here cannot deadlock
    // against a window thread that is itself waiting for LogLock. Handing the
    // lines over under the lock keeps both lists in the order of the calls.
    if (!lines.empty())
        GetFrontEnd().AppendLogLines(list, lines);
    return static_cast<int>(lines.size());
}

int Log(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = LogTo(LogTarget::Log, format, args);
    va_end(args);
    return result;
}

int LogDownload(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = LogTo(LogTarget::Downloads, format, args);
    va_end(args);
    return result;
}

void SetStatus(const wchar_t *text) {
    if (!text)
        text = L"";
    GetFrontEnd().SetStatusText(0, text);
    char *narrow = ToNarrow(text);
    Log("%s", narrow ? narrow : "");
    if (narrow)
        ZFREE(narrow);
}

std::vector<std::wstring> LogEntries(LogTarget list) {
    MutexHold hold(LogLock);
    const std::deque<std::wstring> &entries = g_entries[ListIndex(list)];
    return std::vector<std::wstring>(entries.begin(), entries.end());
}

void ClearLogEntries() {
    MutexHold hold(LogLock);
    for (auto &entries : g_entries)
        entries.clear();
}
