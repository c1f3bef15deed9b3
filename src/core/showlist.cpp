#include "showlist.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "backup.h"
#include "datafile.h"
#include "settings.h"
#include "vorlo/config.h"
#include "vorlo/memleak.h"
#include "vorlo/text.h"

Mutex ShowListLock("ShowListLock");

namespace {

std::vector<Show *> g_shows;
// Links of the listed shows that have one; an entry goes with its show.
std::map<const Show *, ShowLink> g_links;

// Classic-locale tolower: only A to Z change.
unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// Byte-wise, case-insensitive, unsigned; a prefix sorts before the longer name.
bool NameLess(const Show *a, const Show *b) {
    const unsigned char *x = reinterpret_cast<const unsigned char *>(a->ShowName);
    const unsigned char *y = reinterpret_cast<const unsigned char *>(b->ShowName);
    size_t i = 0;
    for (; i < sizeof a->ShowName && x[i] && y[i]; i++) {
        unsigned char lx = Lower(x[i]), ly = Lower(y[i]);
        if (lx != ly)
            return lx < ly;
    }
    if (i == sizeof a->ShowName)
        return false;
    return x[i] == 0 && y[i] != 0;
}

// The index i when `name` is exactly "Show%d" of some i >= 0 in any letter
// case ("Show7", "SHOW12"; not "Show07", "Show-1" or "Show"), else -1.
long long ShowIndex(const char *name) {
    if (StrNICmp(name, "show", 4) != 0)
        return -1;
    const char *digits = name + 4;
    size_t n = std::strlen(digits);
    if (n == 0 || n > 10 || (digits[0] == '0' && n > 1))
        return -1;
    long long value = 0;
    for (size_t i = 0; i < n; i++) {
        if (digits[i] < '0' || digits[i] > '9')
            return -1;
        value = value * 10 + (digits[i] - '0');
    }
    return value <= INT_MAX ? value : -1;
}

// A text entry as written: a string, or an integer read from the file, given
// back in its original spelling ("007", "24").
const char *EntryText(Universal_Config &config, VR_SECTION *section, const char *key) {
    VR_VALUE *v = config.GetSectionValue(section, key);
    return v ? VrText(v) : nullptr;
}

bool EntryInteger(Universal_Config &config, VR_SECTION *section, const char *key, int32_t &out) {
    VR_VALUE *v = config.GetSectionValue(section, key);
    if (!v || v->type != VR_INTEGER)
        return false;
    out = v->value.integer;
    return true;
}

void CopyField(char (&field)[256], const char *text) {
    std::strncpy(field, text, sizeof field - 1);
    field[sizeof field - 1] = '\0';
}

// A whole decimal text that fits 64 bits ("-12", "4102444800").
bool ParseInt64(const char *text, int64_t &out) {
    if (!text || !*text)
        return false;
    errno = 0;
    char *end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || (text[0] != '-' && (text[0] < '0' || text[0] > '9')))
        return false;
    out = value;
    return true;
}

}  // namespace

bool IsImdbId(const char *text) {
    if (!text || (text[0] != 't' && text[0] != 'T') || (text[1] != 't' && text[1] != 'T'))
        return false;
    size_t n = 0;
    for (const char *p = text + 2; *p; ++p, ++n)
        if (*p < '0' || *p > '9')
            return false;
    return n >= 1 && n <= 12;
}

Show *NewShow() {
    Show *show = static_cast<Show *>(ZMALLOC(sizeof(Show)));
    if (show)
        std::memset(show, 0, sizeof(Show));
    return show;
}

Show *GetShow(int index) {
    MutexHold hold(ShowListLock);
    if (index < 0 || static_cast<size_t>(index) >= g_shows.size())
        return nullptr;
    return g_shows[static_cast<size_t>(index)];
}

int ShowCount() {
    MutexHold hold(ShowListLock);
    return static_cast<int>(g_shows.size());
}

int AddShow(Show *show) {
    MutexHold hold(ShowListLock);
    if (!show)
        return -1;
    g_shows.push_back(show);
    return static_cast<int>(g_shows.size()) - 1;
}

void RemoveShow(Show *show) {
    MutexHold hold(ShowListLock);
    auto it = std::find(g_shows.begin(), g_shows.end(), show);
    if (it == g_shows.end())
        return;
    g_shows.erase(it);
    g_links.erase(show);
    ZFREE(show);
}

void ClearShows() {
    MutexHold hold(ShowListLock);
    for (Show *show : g_shows)
        ZFREE(show);
    g_shows.clear();
    g_links.clear();
}

void SortShows() {
    MutexHold hold(ShowListLock);
    std::stable_sort(g_shows.begin(), g_shows.end(), NameLess);
}

std::vector<Show *> &ShowArray() { return g_shows; }

ShowLink GetShowLink(const Show *show) {
    MutexHold hold(ShowListLock);
    auto found = g_links.find(show);
    return found == g_links.end() ? ShowLink() : found->second;
}

void SetShowLink(const Show *show, const ShowLink &link) {
    MutexHold hold(ShowListLock);
    if (!link.Linked()) {
        g_links.erase(show);
        return;
    }
    if (std::find(g_shows.begin(), g_shows.end(), show) != g_shows.end())
        g_links[show] = link;
}

bool LoadShows(const char *path) {
    const char *file = path ? path : g_paths.ShowsConf;
    bool missing = false;
    FILE *in = OpenDataFile(file, &missing);
    if (!in) {
        // No file (or no regular file) is an empty list; a file that exists
        // but cannot be read is reported to the caller.
        return missing;
    }
    Universal_Config config;
    config.ReadStream(in, file, nullptr);
    std::fclose(in);

    VR_SECTION *shows = config.GetSection(nullptr, "Shows");
    if (!shows)
        return true;

    // Every "Show%d" child, in index order: nothing that a save numbered past
    // any limit is left behind.
    std::vector<std::pair<long long, VR_SECTION *>> sections;
    for (VR_SECTION *child = shows->children; child; child = child->next) {
        long long index = ShowIndex(child->name);
        if (index >= 0)
            sections.emplace_back(index, child);
    }
    std::stable_sort(sections.begin(), sections.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    for (const auto &item : sections) {
        VR_SECTION *section = item.second;
        Show *show = NewShow();
        if (!show)
            break;
        if (const char *name = EntryText(config, section, "ShowName"))
            CopyField(show->ShowName, name);
        if (const char *keywords = EntryText(config, section, "Keywords"))
            CopyField(show->Keywords, keywords);
        int32_t number = 0;
        if (EntryInteger(config, section, "Skip", number))
            show->Skip = number != 0;
        if (EntryInteger(config, section, "Pause", number))
            show->Pause = number != 0;
        if (EntryInteger(config, section, "HD_Only", number))
            show->HD_Only = number != 0;
        if (EntryInteger(config, section, "Season", number))
            show->Season = number;
        if (EntryInteger(config, section, "Episode", number))
            show->Episode = number;
        // 32-bit values are the classic form; later times are stored as
        // decimal text, which the reader keeps as a string.
        VR_VALUE *next = config.GetSectionValue(section, "NextSearch");
        if (next && next->type == VR_INTEGER) {
            show->NextSearch = static_cast<int64_t>(next->value.integer);
        } else if (next && next->type == VR_STRING) {
            int64_t when = 0;
            if (ParseInt64(next->value.string, when))
                show->NextSearch = when;
        }

        if (!show->ShowName[0]) {
            ZFREE(show);
            continue;
        }
        // The schedule link: only a positive TVmaze id makes a linked show;
        // the other keys without it are left alone.
        ShowLink link;
        if (EntryInteger(config, section, "TvmazeId", number) && number > 0) {
            link.tvmazeId = number;
            if (EntryInteger(config, section, "TvdbId", number) && number > 0)
                link.tvdbId = number;
            if (EntryInteger(config, section, "TvrageId", number) && number > 0)
                link.tvrageId = number;
            if (EntryInteger(config, section, "AirOffset", number) && number >= -kMaxAirOffset &&
                number <= kMaxAirOffset)
                link.airOffset = number;
            if (const char *imdb = EntryText(config, section, "ImdbId"))
                if (IsImdbId(imdb))
                    link.imdbId = imdb;
        }
        AddShow(show);
        if (link.Linked())
            SetShowLink(show, link);
    }
    SortShows();
    return true;
}

bool SaveShows(const char *path) {
    Universal_Config config;
    {
        MutexHold hold(ShowListLock);
        VR_SECTION *shows = config.AddSection(nullptr, "Shows");
        char name[32];
        for (size_t i = 0; i < g_shows.size(); i++) {
            const Show *show = g_shows[i];
            std::snprintf(name, sizeof name, "Show%zu", i);
            VR_SECTION *section = config.AddSection(shows, name);
            auto text = [&](const char *key, const char *value) {
                VR_VALUE v = VrString(value);
                config.SetSectionValue(key, section, &v);
            };
            auto integer = [&](const char *key, int32_t number) {
                VR_VALUE v = VrInteger(number);
                config.SetSectionValue(key, section, &v);
            };
            char title[257], keywords[257];
            std::memcpy(title, show->ShowName, 256);
            title[256] = '\0';
            std::memcpy(keywords, show->Keywords, 256);
            keywords[256] = '\0';

            text("ShowName", title);
            if (keywords[0])
                text("Keywords", keywords);
            integer("Skip", show->Skip ? 1 : 0);
            integer("Pause", show->Pause ? 1 : 0);
            integer("HD_Only", show->HD_Only ? 1 : 0);
            integer("Season", show->Season);
            integer("Episode", show->Episode);
            if (show->NextSearch != 0) {
                if (show->NextSearch >= INT32_MIN && show->NextSearch <= INT32_MAX) {
                    integer("NextSearch", static_cast<int32_t>(show->NextSearch));
                } else {
                    // Outside 32 bits: its decimal text, read back as a string.
                    char when[32];
                    std::snprintf(when, sizeof when, "%lld", static_cast<long long>(show->NextSearch));
                    text("NextSearch", when);
                }
            }
            // Written only for a linked show, so an unlinked list saves as it
            // always did.
            auto link = g_links.find(show);
            if (link != g_links.end() && link->second.Linked()) {
                integer("TvmazeId", link->second.tvmazeId);
                if (link->second.tvdbId > 0)
                    integer("TvdbId", link->second.tvdbId);
                if (IsImdbId(link->second.imdbId.c_str()))
                    text("ImdbId", link->second.imdbId.c_str());
                if (link->second.tvrageId > 0)
                    integer("TvrageId", link->second.tvrageId);
                if (link->second.airOffset != 0)
                    integer("AirOffset", link->second.airOffset);
            }
        }
    }
    if (!path)
        AutoBackup(g_paths.ShowsConf);
    if (config.SaveFile(path ? path : g_paths.ShowsConf))
        return true;
    if (!path)
        ReportSaveFailure(g_paths.ShowsConf, errno);
    return false;
}
