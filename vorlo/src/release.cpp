// Release titles: episode tags and show names.
#include "vorlo/release.h"

#include <cstring>

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
// A release holding more episodes than this is read as its first one only.
constexpr int kMostEpisodes = 200;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAlnum(char c) { return IsDigit(c) || IsLetter(c); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSeparator(char c) { return c == ' ' || c == '.' || c == '-' || c == '_'; }

struct Tag {
    size_t begin = kNone;
    size_t end = 0;
    int season = 0;
    std::vector<int> episodes;
};

class Reader {
public:
    explicit Reader(const std::string &text) : s(text) {}

    char At(size_t i) const { return i < s.size() ? s[i] : '\0'; }
    // A tag may start here: at the start or after a character that is no
    // ASCII letter or digit.
    bool Boundary(size_t i) const { return i == 0 || !IsAlnum(s[i - 1]); }
    // No letter or digit follows.
    bool EndsWord(size_t i) const { return !IsAlnum(At(i)); }

    // The whole run of digits at i when it has min..max digits.
    bool Number(size_t i, size_t min, size_t max, int &value, size_t &end) const {
        // Never more than one digit past `max`: a long run of digits costs
        // no more than a short one.
        size_t j = i;
        while (IsDigit(At(j)) && j - i <= max)
            ++j;
        if (j - i < min || j - i > max)
            return false;
        value = 0;
        for (size_t k = i; k < j; ++k)
            value = value * 10 + (s[k] - '0');
        end = j;
        return true;
    }

    // `word` (lower case) at i, letter case ignored.
    bool Word(size_t i, const char *word, size_t &end) const {
        size_t n = std::strlen(word);
        for (size_t k = 0; k < n; ++k)
            if (Lower(At(i + k)) != word[k])
                return false;
        end = i + n;
        return true;
    }

    // Up to `most` separator characters from i.
    size_t SkipSeparators(size_t i, size_t most) const {
        size_t j = i;
        while (j - i < most && IsSeparator(At(j)))
            ++j;
        return j;
    }

    // "E", "Ep", "E.", "Ep." before an episode number; npos when none.
    size_t EpisodeMark(size_t i) const {
        if (Lower(At(i)) != 'e')
            return kNone;
        size_t j = i + 1;
        if (Lower(At(j)) == 'p')
            ++j;
        if ((At(j) == '.' || At(j) == ' ') && IsDigit(At(j + 1)))
            ++j;
        return IsDigit(At(j)) ? j : kNone;
    }

    // S03E07 and its variants. Tight forms (S03E07) may follow a letter.
    bool SeasonEpisode(size_t i, Tag &tag) const {
        if (Lower(At(i)) != 's')
            return false;
        size_t at;
        if (!Number(i + 1, 1, 4, tag.season, at))
            return false;
        // s06.01: a season, a dot and two digits.
        if (At(at) == '.' && IsDigit(At(at + 1)) && IsDigit(At(at + 2)) && EndsWord(at + 3) &&
            Boundary(i)) {
            tag.episodes = {(At(at + 1) - '0') * 10 + (At(at + 2) - '0')};
            tag.end = at + 3;
            return true;
        }
        size_t mark = SkipSeparators(at, 3);
        size_t digits = EpisodeMark(mark);
        if (digits == kNone)
            return false;
        bool tight = mark == at && digits == mark + 1;
        if (!tight && !Boundary(i))
            return false;
        if (!Boundary(i) && i > 0 && IsDigit(s[i - 1]))
            return false;
        int episode;
        if (!Number(digits, 1, 5, episode, tag.end))
            return false;
        tag.episodes = {episode};
        MoreEpisodes(tag, 's');
        return true;
    }

    // 3x07; seasons over 99 only as years (2010x15), so that a picture
    // size such as 1280x720 is not taken for one.
    bool Crossed(size_t i, Tag &tag) const {
        if (!Boundary(i))
            return false;
        size_t at;
        // S03x07 is season 3 as well.
        size_t digits = Lower(At(i)) == 's' ? i + 1 : i;
        if (!Number(digits, 1, 4, tag.season, at) || Lower(At(at)) != 'x')
            return false;
        if (tag.season > 99 && (tag.season < 1900 || tag.season > 2099))
            return false;
        // A year season has episodes of up to three digits: 1920x1080 is a
        // picture size too.
        int episode;
        if (!Number(at + 1, 1, tag.season > 99 ? 3 : 4, episode, tag.end))
            return false;
        if (IsLetter(At(tag.end)) && Lower(At(tag.end)) != 'x')
            return false;
        tag.episodes = {episode};
        MoreEpisodes(tag, 'x');
        return true;
    }

    // Season 3 Episode 7.
    bool Words(size_t i, Tag &tag) const {
        size_t at;
        if (!Boundary(i) || !Word(i, "season", at))
            return false;
        at = SkipSeparators(at, 3);
        if (!Number(at, 1, 4, tag.season, at))
            return false;
        at = SkipSeparators(at, 3);
        if (!Word(at, "episode", at))
            return false;
        at = SkipSeparators(at, 3);
        int episode;
        if (!Number(at, 1, 5, episode, tag.end))
            return false;
        tag.episodes = {episode};
        MoreEpisodes(tag, 'w');
        return true;
    }

    // Scene number: three digits are season and episode (307), four are two
    // of each (1307), five and six add a second episode (30708, 130708).
    static bool SceneNumber(int value, size_t length, int &season, std::vector<int> &episodes) {
        switch (length) {
        case 3:
        case 4:
            season = value / 100;
            episodes = {value % 100};
            return true;
        case 5:
        case 6:
            season = value / 10000;
            episodes = {value / 100 % 100, value % 100};
            return episodes[1] == episodes[0] + 1;
        default:
            return false;
        }
    }

    // Cap.307, Cap.1307, Cap. 307, Cap.307_310.
    bool Cap(size_t i, Tag &tag) const {
        size_t at;
        if (!Boundary(i) || !Word(i, "cap.", at))
            return false;
        if (At(at) == ' ')
            ++at;
        int value;
        size_t end;
        if (!Number(at, 3, 4, value, end) || !SceneNumber(value, end - at, tag.season, tag.episodes))
            return false;
        tag.end = end;
        if (At(end) == '_' && Number(end + 1, 3, 4, value, at)) {
            int season;
            std::vector<int> last;
            if (SceneNumber(value, at - end - 1, season, last) && season == tag.season &&
                AddEpisode(tag, last[0]))
                tag.end = at;
        }
        return true;
    }

    // Se.3 afl.7, Se.3 afl.7-8-9, Se.3 afl.7 en 8 (Dutch).
    bool Afl(size_t i, Tag &tag) const {
        size_t at;
        if (!Boundary(i) || !Word(i, "se.", at) || !Number(at, 1, 4, tag.season, at))
            return false;
        at = SkipSeparators(at, 3);
        int episode;
        if (!Word(at, "afl.", at) || !Number(at, 1, 4, episode, tag.end))
            return false;
        tag.episodes = {episode};
        for (;;) {
            size_t next = tag.end;
            if (At(next) == '-')
                ++next;
            else if (!Word(next, " en ", next))
                break;
            if (!Number(next, 1, 4, episode, at) || !EndsWord(at) || !AddEpisode(tag, episode))
                break;
            tag.end = at;
        }
        return true;
    }

    // The forms read only when the title has none of the above.
    bool Weak(size_t i, Tag &tag) const {
        if (!Boundary(i))
            return false;
        size_t at;
        int value;
        // Scene number, behind some name.
        if (i > 0 && Number(i, 3, 6, value, at) && EndsWord(at) &&
            !(at - i == 4 && value >= 1900 && value <= 2099) &&
            SceneNumber(value, at - i, tag.season, tag.episodes)) {
            tag.end = at;
            // Show.307.308
            int season;
            std::vector<int> next;
            size_t end;
            while (At(tag.end) == '.' && Number(tag.end + 1, at - i, at - i, value, end) &&
                   EndsWord(end) && SceneNumber(value, at - i, season, next) && season == tag.season &&
                   next.size() == 1 && AddEpisode(tag, next[0]))
                tag.end = end;
            return true;
        }
        // E07-E08
        if (Lower(At(i)) == 'e' && Number(i + 1, 1, 4, value, at) && At(at) == '-' &&
            Lower(At(at + 1)) == 'e') {
            int last;
            size_t end;
            if (Number(at + 2, 1, 4, last, end) && EndsWord(end)) {
                tag.season = 1;
                tag.episodes = {value};
                if (AddEpisode(tag, last)) {
                    tag.end = end;
                    return true;
                }
            }
            return false;
        }
        // Part 7, Part.07, Part07, Part.Seven
        if (Word(i, "part", at)) {
            if (At(at) == ' ' || At(at) == '.')
                ++at;
            // "part01.rar" is a volume of an archive, not an episode.
            size_t after;
            if (Number(at, 1, 2, value, tag.end) && EndsWord(tag.end) && !Word(tag.end, ".rar", after) &&
                !Word(tag.end, ".par", after)) {
                tag.season = 1;
                tag.episodes = {value};
                return true;
            }
            static const char *const kNumbers[] = {"one", "two", "three", "four", "five",
                                                   "six", "seven", "eight", "nine", "ten"};
            for (int n = 0; n < 10; ++n)
                if (Word(at, kNumbers[n], tag.end) && EndsWord(tag.end)) {
                    tag.season = 1;
                    tag.episodes = {n + 1};
                    return true;
                }
            return false;
        }
        // 5of9
        if (Number(i, 1, 3, value, at) && Word(at, "of", at) && IsDigit(At(at)) && value > 0) {
            int count;
            if (Number(at, 1, 3, count, tag.end) && EndsWord(tag.end) && value <= count) {
                tag.season = 1;
                tag.episodes = {value};
                return true;
            }
        }
        return false;
    }

    // Appends a later episode; false when it does not follow the last one
    // or makes the release too long.
    static bool AddEpisode(Tag &tag, int episode) {
        if (episode <= tag.episodes.back() || episode - tag.episodes.front() >= kMostEpisodes)
            return false;
        tag.episodes.push_back(episode);
        return true;
    }

    // Later episodes after a tag of form `form` ('s' S03E07, 'x' 3x07,
    // 'w' Season 3 Episode 7).
    void MoreEpisodes(Tag &tag, char form) const {
        for (;;) {
            size_t at = tag.end;
            int episode;
            size_t end;
            // -08, _08: a bare number right after a dash or underscore.
            if ((At(at) == '-' || At(at) == '_') && Number(at + 1, 1, 5, episode, end) &&
                !IsLetter(At(end)) && AddEpisode(tag, episode)) {
                tag.end = end;
                continue;
            }
            if (form == 'w')
                return;
            at = SkipSeparators(at, 3);
            // The season again: S03E08 or 3x08.
            int season;
            size_t next;
            if (form == 's' && Lower(At(at)) == 's' && Number(at + 1, 1, 4, season, next) &&
                season == tag.season && Lower(At(next)) == 'e')
                at = next;
            else if (form == 'x' && Number(at, 1, 4, season, next) && season == tag.season &&
                     Lower(At(next)) == 'x')
                at = next;
            size_t digits = kNone;
            if (form == 's')
                digits = EpisodeMark(at);
            else if (Lower(At(at)) == 'x' && IsDigit(At(at + 1)))
                digits = at + 1;
            if (digits == kNone || !Number(digits, 1, 5, episode, end) ||
                (IsLetter(At(end)) && Lower(At(end)) != 'e' && Lower(At(end)) != 'x') ||
                !AddEpisode(tag, episode))
                return;
            tag.end = end;
        }
    }

    bool Strong(size_t i, Tag &tag) const {
        return SeasonEpisode(i, tag) || Crossed(i, tag) || Words(i, tag) || Cap(i, tag) || Afl(i, tag);
    }

    Tag Find() const {
        Tag tag;
        for (int pass = 0; pass < 2; ++pass)
            for (size_t i = 0; i < s.size(); ++i) {
                Tag found;
                if (pass == 0 ? Strong(i, found) : Weak(i, found)) {
                    found.begin = i;
                    return found;
                }
            }
        return tag;
    }

private:
    const std::string &s;
};

// Where the text after leading bracketed tags ("[group] ", "【site】") and
// the separators after them begins.
size_t SkipLeadingTags(const std::string &text, size_t end) {
    size_t at = 0;
    for (;;) {
        while (at < end && (IsSeparator(text[at]) || text[at] == '|'))
            ++at;
        size_t close = kNone;
        if (text[at] == '[')
            close = text.find(']', at);
        else if (text.compare(at, 3, "\xE3\x80\x90") == 0) {  // 【 ... 】
            close = text.find("\xE3\x80\x91", at);
            if (close != std::string::npos)
                close += 2;
        }
        if (close == std::string::npos || close == kNone || close >= end)
            return at;
        at = close + 1;
    }
}

// Cuts the name part before "[...]" blocks (but a bracketed year stays) and
// before "Temporada N".
size_t CutNameEnd(const std::string &title, size_t end) {
    size_t start = SkipLeadingTags(title, end);
    for (size_t i = start; i < end; ++i) {
        if (title[i] == '[') {
            bool year = i + 5 < title.size() && title[i + 5] == ']' && IsDigit(title[i + 1]) &&
                        IsDigit(title[i + 2]) && IsDigit(title[i + 3]) && IsDigit(title[i + 4]);
            if (!year && i > start)
                return i;
        }
        if ((i == 0 || !IsAlnum(title[i - 1])) && i > start) {
            static const char kWord[] = "temporada";
            size_t k = 0;
            while (kWord[k] && Lower(title[i + k]) == kWord[k])
                ++k;
            if (!kWord[k])
                return i;
        }
    }
    return end;
}

// Words of a name: lower case, split at separators and brackets, without
// punctuation; "&" is a word "and".
std::vector<std::string> NameWords(const std::string &text) {
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (!word.empty())
            words.push_back(word);
        word.clear();
    };
    for (char c : text) {
        if (c != '\0' && std::strchr("'`:!?,;\"", c))
            continue;
        if (c == '&') {
            flush();
            words.push_back("and");
        } else if (IsAlnum(c) || static_cast<unsigned char>(c) >= 0x80) {
            word += Lower(c);
        } else {
            flush();
        }
    }
    flush();
    return words;
}

bool HasAsciiAlnum(const std::string &word) {
    for (char c : word)
        if (IsAlnum(c))
            return true;
    return false;
}

std::string CountryCode(const std::string &word) {
    return word == "uk" ? std::string("gb") : word;
}

bool IsYear(const std::string &word, int &year) {
    if (word.size() != 4 || !IsDigit(word[0]) || !IsDigit(word[1]) || !IsDigit(word[2]) || !IsDigit(word[3]))
        return false;
    year = std::stoi(word);
    return year >= 1900 && year <= 2099;
}

bool IsShortNumber(const std::string &word) {
    return !word.empty() && word.size() <= 2 && IsDigit(word[0]) && IsDigit(word.back());
}

bool IsCountry(const std::string &word, const std::string &own) {
    static const char *const kKnown[] = {"us", "gb", "au", "nz", "ca", "ie"};
    if (word.size() != 2 || !IsLetter(word[0]) || !IsLetter(word[1]))
        return false;
    std::string code = CountryCode(word);
    for (const char *known : kKnown)
        if (code == known)
            return true;
    return code == own;
}

// What may follow the name: a year (with an air date after it), a country
// code, or both, none contradicting the show's own (`year`, `country`; 0
// and empty when unknown).
bool RestFits(const std::vector<std::string> &words, size_t at, int ownYear, const std::string &own) {
    bool sawYear = false, sawCountry = false;
    while (at < words.size()) {
        const std::string &word = words[at];
        int year;
        if (!sawYear && IsYear(word, year)) {
            if (ownYear && year != ownYear)
                return false;
            sawYear = true;
            ++at;
            if (at + 1 < words.size() && IsShortNumber(words[at]) && IsShortNumber(words[at + 1]))
                at += 2;
            continue;
        }
        if (!sawCountry && IsCountry(word, own)) {
            if (!own.empty() && CountryCode(word) != own)
                return false;
            sawCountry = true;
            ++at;
            continue;
        }
        return false;
    }
    return true;
}

// One accepted name as it is compared: its words joined, and the year and
// country it ends with ("Doctor Who (2005)", "The Office US"), which a title
// may leave out but not contradict.
struct Wanted {
    std::string joined;
    int year = 0;
    std::string country;
};

Wanted WantedName(const std::string &name, const ShowNames &show) {
    std::vector<std::string> words = NameWords(name);
    std::vector<std::string> known = NameWords(show.country);
    Wanted wanted;
    wanted.year = show.year;
    wanted.country = known.empty() ? std::string() : CountryCode(known[0]);
    for (int i = 0; i < 2 && words.size() > 1; ++i) {
        int year;
        if (!wanted.year && IsYear(words.back(), year))
            wanted.year = year;
        else if (wanted.country.empty() && IsCountry(words.back(), ""))
            wanted.country = CountryCode(words.back());
        else
            break;
        words.pop_back();
    }
    for (const std::string &word : words)
        wanted.joined += word;
    return wanted;
}

bool WordsNameShow(const std::vector<std::string> &words, const ShowNames &show) {
    // Words in another script in front of the name are passed over.
    size_t first = 0;
    while (first < words.size() && !HasAsciiAlnum(words[first]))
        ++first;
    for (const std::string &name : show.names) {
        Wanted wanted = WantedName(name, show);
        if (wanted.joined.empty())
            continue;
        for (size_t start : {size_t(0), first}) {
            std::string joined;
            for (size_t k = start; k < words.size() && joined.size() < wanted.joined.size(); ++k) {
                joined += words[k];
                if (joined == wanted.joined && RestFits(words, k + 1, wanted.year, wanted.country))
                    return true;
            }
        }
    }
    return false;
}

}  // namespace

bool ReleaseTitle::Holds(int wantedSeason, int episode) const {
    if (!hasEpisode || wantedSeason != season)
        return false;
    for (int held : episodes)
        if (held == episode)
            return true;
    return false;
}

ReleaseTitle ReadReleaseTitle(const char *title) {
    ReleaseTitle result;
    if (!title)
        return result;
    std::string text(title);
    Tag tag = Reader(text).Find();
    if (tag.begin == kNone)
        return result;
    result.hasEpisode = true;
    result.season = tag.season;
    // From the first to the last episode named.
    for (int episode = tag.episodes.front(); episode <= tag.episodes.back(); ++episode)
        result.episodes.push_back(episode);
    result.nameEnd = CutNameEnd(text, tag.begin);
    return result;
}

bool NamesShow(const std::string &namePart, const ShowNames &show) {
    std::string text = namePart.substr(SkipLeadingTags(namePart, namePart.size()));
    if (WordsNameShow(NameWords(text), show))
        return true;
    // "Other title / Name / ": any of the titles.
    if (text.find('/') == std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        size_t slash = text.find('/', start);
        if (WordsNameShow(NameWords(text.substr(start, slash - start)), show))
            return true;
        if (slash == std::string::npos)
            return false;
        start = slash + 1;
    }
}

bool IsReleaseOf(const char *title, const ShowNames &show, int season, int episode) {
    ReleaseTitle release = ReadReleaseTitle(title);
    return release.Holds(season, episode) && NamesShow(std::string(title, release.nameEnd), show);
}
