// The indexer dialog's fields: shown from stored settings, read back as
// settings, stored on "OK". Shared by the Qt and Win32 dialogs.
#include "config.h"

#include <vorlo/ini.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

std::string Trimmed(const std::string &text) {
    const char *blanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A count typed into a number field; `def` when it is not one.
int Count(const std::string &text, int def) {
    std::string digits = Trimmed(text);
    if (digits.empty())
        return def;
    errno = 0;
    char *end = nullptr;
    long value = std::strtol(digits.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || value < 0 || value > INT_MAX)
        return def;
    return static_cast<int>(value);
}

std::string OrDefault(const std::string &text, const char *def) { return text.empty() ? def : text; }

}  // namespace

IndexerFields FieldsOf(const IndexerSettings &s) {
    IndexerFields f;
    f.name = s.name;
    f.url = s.url;
    f.apipath = s.apipath;
    f.apikey = s.apikey;
    f.torrent = s.torrent;
    f.categories = s.categories;
    f.hdcategories = s.hdcategories;
    f.minseeders = std::to_string(s.minseeders);
    f.dailyapi = std::to_string(s.dailyapi);
    f.dailygrabs = std::to_string(s.dailygrabs);
    return f;
}

IndexerSettings SettingsOf(const IndexerFields &f) {
    IndexerSettings s;
    s.name = Trimmed(f.name);
    s.url = Trimmed(f.url);
    while (!s.url.empty() && s.url.back() == '/')
        s.url.pop_back();
    s.apipath = OrDefault(Trimmed(f.apipath), "/api");
    s.apikey = Trimmed(f.apikey);
    s.torrent = f.torrent;
    s.categories = OrDefault(Trimmed(f.categories), "5030,5040");
    s.hdcategories = OrDefault(Trimmed(f.hdcategories), "5040,5045");
    s.minseeders = Count(f.minseeders, 1);
    s.dailyapi = Count(f.dailyapi, 0);
    s.dailygrabs = Count(f.dailygrabs, 0);
    return s;
}

bool SaveIndexerFields(const char *iniPath, const std::string &section, const IndexerFields &f) {
    const char *s = section.c_str();
    bool saved = true;
    auto write = [&](const char *key, const std::string &value) {
        saved = IniWriteString(iniPath, s, key, value.c_str()) == 0 && saved;
    };
    write("name", Trimmed(f.name));
    write("url", Trimmed(f.url));
    write("apipath", Trimmed(f.apipath));
    write("apikey", Trimmed(f.apikey));
    write("kind", f.torrent ? "torrent" : "nzb");
    write("categories", Trimmed(f.categories));
    write("hdcategories", Trimmed(f.hdcategories));
    write("minseeders", std::to_string(Count(f.minseeders, 1)));
    write("dailyapi", std::to_string(Count(f.dailyapi, 0)));
    write("dailygrabs", std::to_string(Count(f.dailygrabs, 0)));
    return saved;
}
