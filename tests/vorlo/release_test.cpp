// Release titles: the episode forms and the show-name rule, and the measure
// over the shared corpus of real release titles (when it is present).
#include "vorlo/release.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Episodes(const ReleaseTitle &r) {
    std::string text;
    for (int e : r.episodes)
        text += (text.empty() ? "" : ",") + std::to_string(e);
    return text;
}

// Name part | season | episodes ("" when none can be read).
TEST(ReleaseTitle, ReadsEveryForm) {
    struct Case {
        const char *title, *name;
        int season;
        const char *episodes;
    } cases[] = {
        {"Show.Name.S03E07.720p.HDTV-GRP", "Show.Name.", 3, "7"},
        {"Show Name S3E7 WEB", "Show Name ", 3, "7"},
        {"Show.S03E7", "Show.", 3, "7"},
        {"Show.3x7.HDTV", "Show.", 3, "7"},
        {"Show - 1x1 - Pilot", "Show - ", 1, "1"},
        {"Show.S03x07", "Show.", 3, "7"},
        {"Show.S03.E07.x264", "Show.", 3, "7"},
        {"Show S03 E07", "Show ", 3, "7"},
        {"Show.S01.Ep.01.BluRay", "Show.", 1, "1"},
        {"Show - S02 - E06 - Title", "Show - ", 2, "6"},
        {"Show.S010E16.HDTV", "Show.", 10, "16"},
        {"Show.S101E01", "Show.", 101, "1"},
        {"Show.307.HDTV-LOL", "Show.", 3, "7"},
        {"Show.1013.720p", "Show.", 10, "13"},
        {"Show.2009.416.hdtv", "Show.2009.", 4, "16"},
        {"Show Season 01 Episode 05 720p", "Show ", 1, "5"},
        {"Show [HDTV][Cap.101](site.com)", "Show ", 1, "1"},
        {"Show - Temporada 2 [HDTV][Cap.1901]", "Show - ", 19, "1"},
        {"Show Se.3 afl.7", "Show ", 3, "7"},
        {"Show.S03E115.DVDRip", "Show.", 3, "115"},
        {"Show.S26E022.HDTV", "Show.", 26, "22"},
        {"grp-zoos01e11-1080p", "grp-zoo", 1, "11"},
        {"Show.S06E01b.Part.2", "Show.", 6, "1"},
        {"[Group] Show - S02E01v2 (WEB)", "[Group] Show - ", 2, "1"},
        {"Show.S01E07.21.0.Street", "Show.", 1, "7"},
        {"Show - S02E21 - 18-5-4", "Show - ", 2, "21"},
        {"Show - S02E01 1920x910", "Show - ", 2, "1"},
        {"Show.Part.Two.720p", "Show.", 1, "2"},
        {"Show.5of9.DVDRip", "Show.", 1, "5"},
        // Multi-episode releases
        {"Show.S03E07E08.HDTV", "Show.", 3, "7,8"},
        {"Show.S03E07-E08.HDTV", "Show.", 3, "7,8"},
        {"Show.S03E07-08.HDTV", "Show.", 3, "7,8"},
        {"Show S03E07 E08 HDTV", "Show ", 3, "7,8"},
        {"Show.S03E07.S03E08.HDTV", "Show.", 3, "7,8"},
        {"Show - S07E22 - S07E23 - Title", "Show - ", 7, "22,23"},
        {"Show - [02x01x02] - Title", "Show - ", 2, "1,2"},
        {"Show - [02x01-x02]", "Show - ", 2, "1,2"},
        {"Show - 2x9-2x10 - Title", "Show - ", 2, "9,10"},
        {"Show - 8x01_02", "Show - ", 8, "1,2"},
        {"Show.S6.E1E3.Title", "Show.", 6, "1,2,3"},
        {"Show.S6E1-S6E2", "Show.", 6, "1,2"},
        {"Show.S42 Ep10718 - Ep10720", "Show.", 42, "10718,10719,10720"},
        {"Show.103.104.HDTV", "Show.", 1, "3,4"},
        {"Show.10708.hdtv", "Show.", 1, "7,8"},
        {"Show Season 01 Episode 05-06", "Show ", 1, "5,6"},
        {"Show - Temporada 1 [HDTV][Cap.111_113]", "Show - ", 1, "11,12,13"},
        {"Show Se.1 afl.2-3", "Show ", 1, "2,3"},
        {"Show Se.3 afl.3 en 4", "Show ", 3, "3,4"},
        {"Show.E07-E08.1080p", "Show.", 1, "7,8"},
        {"Show.S01E01-2160p", "Show.", 1, "1"},
        // No episode
        {"Show.Name.720p.x264", "", 0, ""},
        {"Show.2019.1080p", "", 0, ""},
        {"Show 1280x720", "", 0, ""},
        {"Show 1920x1080", "", 0, ""},
        {"\"show.part01.rar\" yEnc", "", 0, ""},
        {"", "", 0, ""},
    };
    for (const Case &c : cases) {
        ReleaseTitle r = ReadReleaseTitle(c.title);
        SCOPED_TRACE(c.title);
        EXPECT_EQ(Episodes(r), c.episodes);
        EXPECT_EQ(r.hasEpisode, *c.episodes != '\0');
        if (r.hasEpisode) {
            EXPECT_EQ(r.season, c.season);
            EXPECT_EQ(std::string(c.title, r.nameEnd), c.name);
        }
    }
    EXPECT_FALSE(ReadReleaseTitle(nullptr).hasEpisode);
}

TEST(ReleaseTitle, NamesTheShowOnlyWithItsOwnNameYearOrCountry) {
    ShowNames ghosts{{"Ghosts"}, 0, ""};
    for (const char *title : {"Ghosts.S02E05.720p", "Ghosts.US.S02E05", "Ghosts.2019.S02E05", "ghosts_s02e05",
                              "[ www.site.com ] - Ghosts.S02E05", "[grp] Ghosts - 2x05", "Ghosts (2019) - 2x05",
                              "Ghosts.2019.US.S02E05", "Ghosts 2019 02 25 S02E05"})
        EXPECT_TRUE(IsReleaseOf(title, ghosts, 2, 5)) << title;
    for (const char *title : {"Ghosts.Of.Beverly.Drive.S02E05", "Ghost.S02E05", "The.Ghosts.S02E05", "S02E05",
                              "Ghosts.S02E06", "Ghosts.S03E05", "Ghosts.S02E055", "Ghosts.XX.S02E05"})
        EXPECT_FALSE(IsReleaseOf(title, ghosts, 2, 5)) << title;

    // Punctuation, "&" and separators.
    EXPECT_TRUE(IsReleaseOf("Law.and.Order.SVU.S01E01", {{"Law & Order: SVU"}, 0, ""}, 1, 1));
    EXPECT_TRUE(IsReleaseOf("Whos.Line.Is.It.Anyway.S01E01", {{"Who's Line Is It, Anyway?"}, 0, ""}, 1, 1));
    EXPECT_FALSE(IsReleaseOf("Castle.Rock.S02E05", {{"Castle"}, 0, ""}, 2, 5));
    EXPECT_FALSE(IsReleaseOf("Castle.S02E05", {{"Castle Rock"}, 0, ""}, 2, 5));
    EXPECT_FALSE(IsReleaseOf("Anything.S02E05", {{""}, 0, ""}, 2, 5));

    // Aliases, and a known year or country that a title contradicts.
    ShowNames known{{"Ghosts", "Ghosts US"}, 2021, "US"};
    EXPECT_TRUE(IsReleaseOf("Ghosts.US.S02E05", known, 2, 5));
    EXPECT_TRUE(IsReleaseOf("Ghosts.2021.S02E05", known, 2, 5));
    EXPECT_FALSE(IsReleaseOf("Ghosts.2019.S02E05", known, 2, 5));
    EXPECT_FALSE(IsReleaseOf("Ghosts.UK.S02E05", known, 2, 5));
    EXPECT_TRUE(IsReleaseOf("Ghosts.UK.S02E05", {{"Ghosts"}, 0, "GB"}, 2, 5));
    // A year or country typed with the name may be left out, not contradicted.
    for (const char *typed : {"Doctor Who (2005)", "Doctor Who 2005"}) {
        EXPECT_TRUE(IsReleaseOf("Doctor.Who.S13E01", {{typed}, 0, ""}, 13, 1));
        EXPECT_TRUE(IsReleaseOf("Doctor.Who.2005.S13E01", {{typed}, 0, ""}, 13, 1));
        EXPECT_FALSE(IsReleaseOf("Doctor.Who.1963.S13E01", {{typed}, 0, ""}, 13, 1));
    }
    EXPECT_TRUE(IsReleaseOf("The.Office.S01E01", {{"The Office US"}, 0, ""}, 1, 1));
    EXPECT_FALSE(IsReleaseOf("The.Office.UK.S01E01", {{"The Office (US)"}, 0, ""}, 1, 1));
    EXPECT_TRUE(IsReleaseOf("1923.S01E01", {{"1923"}, 0, ""}, 1, 1));
    // Another script and other titles around the name.
    EXPECT_TRUE(IsReleaseOf("\xE6\x88\x91.Fireworks.S01E01", {{"Fireworks"}, 0, ""}, 1, 1));
    EXPECT_TRUE(IsReleaseOf("Other / Legacy / S2E1 of 10", {{"Legacy"}, 0, ""}, 2, 1));
}

// ---- the corpus measure ---------------------------------------------------

struct Row {
    std::string title, series, kind;
    int season = 0;
    std::vector<int> episodes;
};

std::vector<Row> LoadCorpus(const std::string &path) {
    std::vector<Row> rows;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');)
            f.push_back(cell);
        if (f.size() < 6)
            continue;
        Row row{f[0], f[1], f[5], std::stoi(f[2]), {}};
        std::stringstream list(f[3]);
        for (std::string e; std::getline(list, e, ',');)
            row.episodes.push_back(std::stoi(e));
        rows.push_back(row);
    }
    return rows;
}

std::string Percent(int n, int of) {
    char text[64];
    std::snprintf(text, sizeof text, "%d / %d (%.1f %%)", n, of, of ? 100.0 * n / of : 0.0);
    return text;
}

// The first row of a table whose series name is not `name` and does not
// begin or end it, and the longer-named shows of the corpus.
TEST(ReleaseTitle, CorpusMeasure) {
    const std::string path = std::string(QUILLON_TITLES_DIR) + "/sonarr-episodes.tsv";
    std::vector<Row> rows = LoadCorpus(path);
    if (rows.empty())
        GTEST_SKIP() << "corpus not found at " << path << " (../shared is absent); nothing measured";

    int single = 0, singleRight = 0, multi = 0, multiRight = 0, multiLast = 0, rightTaken = 0;
    int otherEpisode = 0, otherEpisodeRefused = 0, otherShow = 0, otherShowRefused = 0;
    int longer = 0, longerRefused = 0;
    std::set<std::string> names;
    for (const Row &row : rows)
        if (!row.series.empty())
            names.insert(row.series);
    for (const Row &row : rows) {
        if (row.series.empty())
            continue;
        const bool isMulti = row.episodes.size() > 1;
        ShowNames show{{row.series}, 0, ""};
        ReleaseTitle r = ReadReleaseTitle(row.title.c_str());
        bool right = r.hasEpisode && r.season == row.season && r.episodes == row.episodes &&
                     NamesShow(row.title.substr(0, r.nameEnd), show);
        (isMulti ? multi : single) += 1;
        (isMulti ? multiRight : singleRight) += right;
        if (!right)
            std::printf("  not read right [%s]: %s\n", row.kind.c_str(), row.title.c_str());
        rightTaken += IsReleaseOf(row.title.c_str(), show, row.season, row.episodes.front());
        if (isMulti)
            multiLast += IsReleaseOf(row.title.c_str(), show, row.season, row.episodes.back());
        // Another episode: the ones next to the release's own, and one more
        // digit after its last (S03E11 asked, S03E115 served).
        for (int other : {row.episodes.front() - 1, row.episodes.back() + 1, row.episodes.back() * 10 + 5,
                          row.episodes.back() / 10}) {
            if (other < 0 || (other >= row.episodes.front() && other <= row.episodes.back()))
                continue;
            ++otherEpisode;
            otherEpisodeRefused += !IsReleaseOf(row.title.c_str(), show, row.season, other);
        }
        ++otherEpisode;
        otherEpisodeRefused += !IsReleaseOf(row.title.c_str(), show, row.season + 1, row.episodes.front());
        // Another show's release with the same tag: every other name of
        // the corpus that is not contained in this one's, asked for this title.
        for (const std::string &name : names) {
            if (name == row.series)
                continue;
            ShowNames wrong{{name}, 0, ""};
            // A name that reads the same once separators, punctuation and a
            // trailing year are dropped is the same show.
            if (NamesShow(row.series, wrong))
                continue;
            ++otherShow;
            bool taken = IsReleaseOf(row.title.c_str(), wrong, row.season, row.episodes.front());
            otherShowRefused += !taken;
            if (taken)
                std::printf("  other show taken: %s asked, %s served\n", name.c_str(), row.title.c_str());
            // A longer-named show: this show's name with more words.
            if (row.series.size() < name.size() && NamesShow(name.substr(0, row.series.size()), show)) {
                ++longer;
                longerRefused += !taken;
            }
            // The reverse: the shorter name asked, this longer title served.
            if (name.size() < row.series.size() && NamesShow(row.series.substr(0, name.size()), wrong)) {
                ++longer;
                longerRefused += !taken;
            }
        }
    }
    // Made-up longer-named shows, as in Castle / Castle Rock.
    for (const Row &row : rows) {
        if (row.series.empty())
            continue;
        for (const char *more : {".Rock", ".Files", ".Of.Beverly.Drive"}) {
            std::string title = row.title;
            ReleaseTitle r = ReadReleaseTitle(title.c_str());
            if (!r.hasEpisode || !NamesShow(title.substr(0, r.nameEnd), {{row.series}, 0, ""}))
                continue;
            size_t cut = r.nameEnd;
            while (cut > 0 && std::strchr(". -/(", title[cut - 1]))
                --cut;
            title.insert(cut, more);
            ++longer;
            bool taken = IsReleaseOf(title.c_str(), {{row.series}, 0, ""}, row.season, row.episodes.front());
            longerRefused += !taken;
            if (taken)
                std::printf("  longer-named show taken: %s asked, %s served\n", row.series.c_str(), title.c_str());
        }
    }
    std::printf("\n| what | measured |\n|---|---|\n");
    std::printf("| single-episode titles read right (name part, season, episode) | %s |\n",
                Percent(singleRight, single).c_str());
    std::printf("| multi-episode titles read right (name part, season, every episode) | %s |\n",
                Percent(multiRight, multi).c_str());
    std::printf("| right show and episode taken | %s |\n", Percent(rightTaken, single + multi).c_str());
    std::printf("| last episode of a multi-episode release taken | %s |\n", Percent(multiLast, multi).c_str());
    std::printf("| another show's release with the same tag refused | %s |\n",
                Percent(otherShowRefused, otherShow).c_str());
    std::printf("| a longer-named show's release refused | %s |\n", Percent(longerRefused, longer).c_str());
    std::printf("| another episode refused | %s |\n\n", Percent(otherEpisodeRefused, otherEpisode).c_str());
    EXPECT_GE(singleRight * 100, single * 97);
    EXPECT_GE(multiRight * 100, multi * 95);
    EXPECT_EQ(otherEpisodeRefused, otherEpisode);
    EXPECT_EQ(otherShowRefused, otherShow);
    EXPECT_EQ(longerRefused, longer);
}

}  // namespace
