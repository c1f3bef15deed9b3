#include "answer.h"
#include "feed.h"

#include <vorlo/text.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string Trimmed(const std::string &text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool HasPrefixNoCase(const std::string &text, const char *prefix) {
    return StrNICmp(text.c_str(), prefix, std::strlen(prefix)) == 0;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

const TiXmlElement *FindDescendant(const TiXmlElement *element, const char *name, int depth = 0) {
    if (!element || depth > 4)
        return nullptr;
    for (const TiXmlElement *child = element->FirstChildElement(); child;
         child = child->NextSiblingElement()) {
        if (StrICmp(child->Value(), name) == 0)
            return child;
        if (const TiXmlElement *found = FindDescendant(child, name, depth + 1))
            return found;
    }
    return nullptr;
}

// An attribute by name in any letter case, or null.
const char *AttributeNoCase(const TiXmlElement &element, const char *name) {
    for (const TiXmlAttribute *a = element.FirstAttribute(); a; a = a->Next())
        if (StrICmp(a->Name(), name) == 0)
            return a->Value();
    return nullptr;
}

int NumberAttribute(const TiXmlElement &element, const char *name) {
    const char *value = AttributeNoCase(element, name);
    if (!value || !std::isdigit(static_cast<unsigned char>(*value)))
        return -1;
    long number = std::strtol(value, nullptr, 10);
    return number > 1000000000L ? 1000000000 : static_cast<int>(number);
}

// "newznab:attr", "torznab:attr" or a plain "attr".
bool IsAttrElement(const char *name) {
    size_t length = std::strlen(name);
    return length >= 4 && StrICmp(name + length - 4, "attr") == 0 &&
           (length == 4 || name[length - 5] == ':');
}

}  // namespace

size_t OnHeaderLine(char *line, size_t size, size_t count, void *data) {
    size_t n = size * count;
    AnswerHeaders *headers = static_cast<AnswerHeaders *>(data);
    std::string text(line, n);
    if (text.compare(0, 5, "HTTP/") == 0) {
        *headers = AnswerHeaders();
        size_t space = text.find(' ');
        if (space != std::string::npos)
            headers->status = std::atoi(text.c_str() + space + 1);
        return n;
    }
    size_t colon = text.find(':');
    if (colon == std::string::npos)
        return n;
    std::string name = Trimmed(text.substr(0, colon));
    std::string value = Trimmed(text.substr(colon + 1));
    if (StrICmp(name.c_str(), "Location") == 0)
        headers->location = value;
    else if (StrICmp(name.c_str(), "Retry-After") == 0)
        headers->retryAfter = value;
    return n;
}

bool ParseHttpDate(const char *text, int64_t &time) {
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (const char *comma = std::strchr(text, ','))
        text = comma + 1;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
    char month[4] = {};
    if (std::sscanf(text, " %d %3s %d %d:%d:%d%n", &day, month, &year, &hour, &minute, &second, &used) != 6)
        return false;
    // HTTP dates are in GMT; the mail form the indexers write in apilimits
    // ends in a numeric zone such as "+0100".
    int64_t zone = 0;
    const char *rest = text + used;
    while (*rest == ' ')
        ++rest;
    if ((rest[0] == '+' || rest[0] == '-') && std::isdigit(static_cast<unsigned char>(rest[1]))) {
        int hhmm = std::atoi(rest + 1);
        if (hhmm > 2359 || hhmm % 100 > 59)
            return false;
        zone = (hhmm / 100 * 3600 + hhmm % 100 * 60) * (rest[0] == '-' ? -1 : 1);
    }
    int m = 0;
    for (int i = 0; i < 12; ++i)
        if (StrICmp(month, months[i]) == 0)
            m = i + 1;
    if (m == 0 || day < 1 || day > 31 || year < 1970 || year > 9999 || hour > 23 || minute > 59 ||
        second > 60 || hour < 0 || minute < 0 || second < 0)
        return false;
    time = DaysFromCivil(year, unsigned(m), unsigned(day)) * 86400 + hour * 3600 + minute * 60 + second - zone;
    return true;
}

int64_t RetryAfterTime(const std::string &value, int64_t now) {
    std::string text = Trimmed(value);
    if (text.empty())
        return 0;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (text.size() > 9)
            return now + 999999999;
        return now + std::atoll(text.c_str());
    }
    int64_t time = 0;
    return ParseHttpDate(text.c_str(), time) ? time : 0;
}

std::string ResolveLocation(const std::string &base, const std::string &location) {
    if (location.find("://") != std::string::npos &&
        location.find("://") < location.find_first_of("/?#"))
        return location;
    size_t schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos)
        return location;
    if (location.compare(0, 2, "//") == 0)
        return base.substr(0, schemeEnd + 1) + location;
    size_t pathStart = base.find('/', schemeEnd + 3);
    std::string origin = pathStart == std::string::npos ? base : base.substr(0, pathStart);
    if (!location.empty() && location[0] == '/')
        return origin + location;
    std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    path = path.substr(0, path.rfind('/') + 1);
    return origin + path + location;
}

ApiError ReadApiError(const TiXmlDocument &document) {
    ApiError error;
    const TiXmlElement *root = document.RootElement();
    if (!root || StrICmp(root->Value(), "error") != 0)
        return error;
    error.present = true;
    const char *code = root->Attribute("code");
    error.code = code ? std::atoi(code) : 0;
    const char *description = root->Attribute("description");
    error.description = description ? description : "";
    return error;
}

bool IsLimitError(const ApiError &error) {
    return error.code == 429 || error.code == 500 || error.code == 501 ||
           HasPrefixNoCase(error.description, "Request limit reached");
}

Capabilities ReadCapabilities(const TiXmlDocument &document) {
    Capabilities caps;
    const TiXmlElement *root = document.RootElement();
    if (!root || StrICmp(root->Value(), "caps") != 0)
        return caps;
    caps.readable = true;
    const TiXmlElement *searching = root->FirstChildElement("searching");
    const TiXmlElement *tv = searching ? searching->FirstChildElement("tv-search") : nullptr;
    const char *available = tv ? tv->Attribute("available") : nullptr;
    if (available && StrICmp(available, "yes") == 0) {
        const char *params = tv->Attribute("supportedParams");
        std::string list = params ? params : "q,rid,season,ep";
        caps.paramsListed = params != nullptr;
        bool season = false, episode = false;
        std::vector<std::string> words;
        size_t start = 0;
        while (start <= list.size()) {
            size_t comma = list.find(',', start);
            if (comma == std::string::npos)
                comma = list.size();
            std::string word = Trimmed(list.substr(start, comma - start));
            season = season || StrICmp(word.c_str(), "season") == 0;
            episode = episode || StrICmp(word.c_str(), "ep") == 0;
            words.push_back(word);
            start = comma + 1;
        }
        caps.tvSearch = season && episode;
        for (const char *id : {"tvdbid", "tvmazeid", "imdbid", "rid"})
            for (const std::string &word : words)
                if (StrICmp(word.c_str(), id) == 0) {
                    caps.idParams.push_back(id);
                    break;
                }
    }
    if (const TiXmlElement *categories = root->FirstChildElement("categories")) {
        for (const TiXmlElement *c = categories->FirstChildElement("category"); c;
             c = c->NextSiblingElement("category")) {
            const char *id = c->Attribute("id");
            const char *name = c->Attribute("name");
            if (id && id[0] == '5')  // the TV group
                caps.categories.push_back(std::string(id) + " " + (name ? name : ""));
        }
    }
    return caps;
}

bool ReadItems(const TiXmlDocument &document, std::vector<ResultItem> &items) {
    const TiXmlElement *rss = document.RootElement();
    if (!rss || std::strcmp(rss->Value(), "rss") != 0)
        return false;
    const TiXmlElement *channel = rss->FirstChildElement("channel");
    if (!channel)
        return false;
    for (const TiXmlElement *item = channel->FirstChildElement("item"); item;
         item = item->NextSiblingElement("item")) {
        ResultItem result;
        const TiXmlElement *title = item->FirstChildElement("title");
        if (!title || !title->GetText())
            continue;
        result.title = Trimmed(title->GetText());
        const TiXmlElement *enclosure = item->FirstChildElement("enclosure");
        const char *url = enclosure ? enclosure->Attribute("url") : nullptr;
        const TiXmlElement *link = item->FirstChildElement("link");
        if (url && *url)
            result.link = Trimmed(url);
        else if (link && link->GetText())
            result.link = Trimmed(link->GetText());
        const TiXmlElement *published = item->FirstChildElement("pubDate");
        if (published && published->GetText())
            ParseRssDate(published->GetText(), result.published);
        for (const TiXmlElement *child = item->FirstChildElement(); child;
             child = child->NextSiblingElement()) {
            if (!IsAttrElement(child->Value()))
                continue;
            const char *name = child->Attribute("name");
            const char *value = child->Attribute("value");
            if (!name || !value)
                continue;
            if (StrICmp(name, "seeders") == 0 && std::isdigit(static_cast<unsigned char>(*value)))
                result.seeders = std::strtol(value, nullptr, 10);
            else if (StrICmp(name, "magneturl") == 0)
                result.magnet = Trimmed(value);
        }
        if (!result.title.empty())
            items.push_back(result);
    }
    return true;
}

RemoteLimits ReadApiLimits(const TiXmlDocument &document, int64_t now) {
    RemoteLimits limits;
    const TiXmlElement *limitsElement = FindDescendant(document.RootElement(), "newznab:apilimits");
    if (!limitsElement)
        return limits;
    limits.at = now;
    limits.apiCurrent = NumberAttribute(*limitsElement, "apicurrent");
    limits.apiMax = NumberAttribute(*limitsElement, "apimax");
    limits.grabCurrent = NumberAttribute(*limitsElement, "grabcurrent");
    limits.grabMax = NumberAttribute(*limitsElement, "grabmax");
    if (const char *oldest = AttributeNoCase(*limitsElement, "apioldesttime"))
        ParseHttpDate(oldest, limits.apiOldest);
    if (const char *oldest = AttributeNoCase(*limitsElement, "graboldesttime"))
        ParseHttpDate(oldest, limits.grabOldest);
    return limits;
}

bool IsMagnet(const std::string &link) { return HasPrefixNoCase(link, "magnet:"); }
