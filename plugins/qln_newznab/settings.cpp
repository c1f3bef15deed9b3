#include "settings.h"

#include <vorlo/ini.h>
#include <vorlo/text.h>

#include <cstdlib>
#include <cstring>

namespace {

std::string ReadText(const char *iniPath, const std::string &section, const char *key,
                     const char *def) {
    char value[256] = {};
    if (iniPath)
        IniReadString(iniPath, section.c_str(), key, value, sizeof value, nullptr);
    std::string text = value;
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    return text.empty() ? def : text;
}

int ReadNumber(const char *iniPath, const std::string &section, const char *key, int def) {
    std::string text = ReadText(iniPath, section, key, "");
    if (text.empty())
        return def;
    char *end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || value < 0)
        return def;
    return value > 1000000000L ? 1000000000 : static_cast<int>(value);
}

// Keeps digits and commas only: the list goes into the query as it is.
std::string CategoryList(std::string text) {
    std::string list;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == ',')
            list += c;
    return list;
}

}  // namespace

std::string IndexerSection(int row) { return "newznab" + std::to_string(row + 1); }

IndexerSettings ReadIndexerSettings(const char *iniPath, int row) {
    const std::string section = IndexerSection(row);
    IndexerSettings s;
    s.name = ReadText(iniPath, section, "name", ("Indexer " + std::to_string(row + 1)).c_str());
    s.url = ReadText(iniPath, section, "url", "");
    while (!s.url.empty() && s.url.back() == '/')
        s.url.pop_back();
    s.apipath = ReadText(iniPath, section, "apipath", "/api");
    s.apikey = ReadText(iniPath, section, "apikey", "");
    s.torrent = StrICmp(ReadText(iniPath, section, "kind", "nzb").c_str(), "torrent") == 0;
    s.categories = CategoryList(ReadText(iniPath, section, "categories", "5030,5040"));
    if (s.categories.find_first_of("0123456789") == std::string::npos)
        s.categories = "5030,5040";
    s.hdcategories = CategoryList(ReadText(iniPath, section, "hdcategories", "5040,5045"));
    if (s.hdcategories.find_first_of("0123456789") == std::string::npos)
        s.hdcategories = "5040,5045";
    s.minseeders = ReadNumber(iniPath, section, "minseeders", 1);
    s.dailyapi = ReadNumber(iniPath, section, "dailyapi", 0);
    s.dailygrabs = ReadNumber(iniPath, section, "dailygrabs", 0);
    return s;
}

std::string ApiAddress(const IndexerSettings &settings) {
    std::string path = settings.apipath;
    if (!path.empty() && path.front() != '/')
        path.insert(path.begin(), '/');
    return settings.url + path;
}
