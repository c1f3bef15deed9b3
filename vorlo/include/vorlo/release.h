// Release titles: which show, season and episodes a release name stands for,
// read the same way by the host and by every plugin.
//
// Understood episode tags (letter case ignored; every digit right after a tag
// belongs to it, so S03E115 is episode 115, never 11):
//   S03E07, S3E7, S003E07, S03.E07, S03 E07, S03-E07, S03 - E07, S03.Ep.07,
//   S03Ep07, S03.E.07, s03.07, 3x07, 3x7, 03x07, Season 3 Episode 7,
//   Cap.307 / Cap.1307, Se.3 afl.7;
// when the title has none of these: scene numbers (Show.307 or Show.1307,
// Show.30708 for episodes 7 and 8), E07-E08, Part 7 / Part.Seven and 7of9
// (the last three as season 1).
// Later episodes of a multi-episode release: S03E07E08, S03E07-E08,
// S03E07-08, S03E07 E08, S03E07.S03E08, S03E07 - S03E08, 3x07-3x08,
// 3x07x08, 3x07-x08, 3x07-08, 3x07_08, 3x07.3x08, Season 3 Episode 7-8,
// Cap.307_310, Se.3 afl.7-8 / afl.7 en 8, Show.307.308. A release's
// episodes run from its first to its last tag: S06E01E03 holds 1, 2 and 3.
// Anime absolute numbers and air dates are not read as episodes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct ReleaseTitle {
    // False when no episode can be read from the title at all.
    bool hasEpisode = false;
    // Bytes of the title before its episode tag that may name the show: the
    // text in front of the tag, cut before an information block such as
    // "[HDTV]" or "Temporada 2" that stands between name and tag.
    size_t nameEnd = 0;
    int season = 0;
    // Every episode the release holds, ascending, at least one when
    // hasEpisode is set.
    std::vector<int> episodes;

    // True when the release holds episode `episode` of season `season`.
    bool Holds(int season, int episode) const;
};

// Reads `title` (UTF-8; null reads as a title without episode).
ReleaseTitle ReadReleaseTitle(const char *title);

// The names under which a show is accepted, and what is known of it.
struct ShowNames {
    // Accepted names: the name the user typed, and aliases. Empty names are
    // passed over (they never match).
    std::vector<std::string> names;
    // Premiere year, 0 when unknown; a title naming another year is refused.
    int year = 0;
    // Two-letter country code ("US", "GB"...; "UK" is read as "GB"), empty
    // when unknown; a title naming another country is refused.
    std::string country;
};

// True when `namePart` (the name part of a release title, or any text)
// names the show. Both sides are compared word by word without letter case,
// separators (. _ - blanks, brackets) and punctuation (' : ! ? ,), with "&"
// read as "and". The name may be followed by a year, a country code (US, UK,
// AU, NZ, CA, IE, or the show's own) or both, and by an air date after the
// year; it may be preceded by release group or site tags in brackets, or by
// words in another script, and "/" may separate it from other titles of the
// same show. A year or country code at the end of an accepted name ("Doctor
// Who (2005)", "The Office US") is read as the show's own when `year` or
// `country` is not given: a title may leave it out but not name another.
bool NamesShow(const std::string &namePart, const ShowNames &show);

// True when `title` names the show and holds episode `episode` of season
// `season`.
bool IsReleaseOf(const char *title, const ShowNames &show, int season, int episode);
