#include <cstring>
#include <string>
#include <vector>

#include "core_fixture.h"

namespace {

class ShowListTest : public CoreTest {
protected:
    static Show *Make(const char *name, const char *keywords = "") {
        Show *show = NewShow();
        snprintf(show->ShowName, sizeof show->ShowName, "%s", name);
        snprintf(show->Keywords, sizeof show->Keywords, "%s", keywords);
        return show;
    }
    static std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int i = 0; i < ShowCount(); i++)
            names.emplace_back(GetShow(i)->ShowName);
        return names;
    }
    // Saves, empties the list and loads the file again.
    static void RoundTrip() {
        ASSERT_TRUE(SaveShows());
        ClearShows();
        ASSERT_TRUE(LoadShows());
    }
};

TEST_F(ShowListTest, ListOperations) {
    EXPECT_EQ(GetShow(0), nullptr);
    Show *a = Make("A");
    Show *b = Make("B");
    EXPECT_EQ(AddShow(a), 0);
    EXPECT_EQ(AddShow(b), 1);
    EXPECT_EQ(GetShow(1), b);
    EXPECT_EQ(GetShow(-1), nullptr);
    EXPECT_EQ(GetShow(2), nullptr);

    Show stranger = {};
    RemoveShow(&stranger);  // not in the list: nothing happens
    EXPECT_EQ(ShowCount(), 2);
    RemoveShow(a);
    EXPECT_EQ(ShowCount(), 1);
    EXPECT_EQ(GetShow(0), b);
    ClearShows();
    EXPECT_EQ(ShowCount(), 0);
}

TEST_F(ShowListTest, SaveWritesTheDocumentedLayout) {
    Show *plain = Make("The Show");
    plain->Season = 2;
    plain->Episode = 9;
    AddShow(plain);
    Show *full = Make("Other", "720p x264");
    full->Skip = 1;
    full->Pause = 1;
    full->HD_Only = 1;
    full->Catchup = 1;
    full->NextSearch = 1700000000;
    AddShow(full);
    ASSERT_TRUE(SaveShows());
    EXPECT_EQ(box.Read("shows.conf"), "Shows {\n"
                                      "\tShow0 {\n"
                                      "\t\tShowName The Show\n"
                                      "\t\tSkip 0\n"
                                      "\t\tPause 0\n"
                                      "\t\tHD_Only 0\n"
                                      "\t\tSeason 2\n"
                                      "\t\tEpisode 9\n"
                                      "\t};\n"
                                      "\tShow1 {\n"
                                      "\t\tShowName Other\n"
                                      "\t\tKeywords 720p x264\n"
                                      "\t\tSkip 1\n"
                                      "\t\tPause 1\n"
                                      "\t\tHD_Only 1\n"
                                      "\t\tSeason 0\n"
                                      "\t\tEpisode 0\n"
                                      "\t\tNextSearch 1700000000\n"
                                      "\t};\n"
                                      "};\n\n");

    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 2);
    const Show *other = GetShow(0);  // sorted by name
    EXPECT_STREQ(other->ShowName, "Other");
    EXPECT_STREQ(other->Keywords, "720p x264");
    EXPECT_EQ(other->Skip + other->Pause + other->HD_Only, 3);
    EXPECT_EQ(other->Catchup, 0);  // never saved
    EXPECT_EQ(other->NextSearch, 1700000000);
    EXPECT_EQ(GetShow(1)->Season, 2);
    EXPECT_EQ(GetShow(1)->Episode, 9);
}

TEST_F(ShowListTest, GapsAreRenumberedAndNamelessSectionsDropped) {
    box.Write("shows.conf", "Shows {\n"
                            "  Show5 {\n    ShowName Five\n    Skip 5\n    Season 0\n    Episode -3\n  };\n"
                            "  Show0 {\n    ShowName Zero\n  };\n"
                            "  Show1 {\n    Season 4\n  };\n"
                            "  Show3 {\n    ShowName \n  };\n"
                            "  show2 {\n    showname two\n  };\n"
                            "  Show07 {\n    ShowName NotAnIndex\n  };\n"
                            "  Other {\n    ShowName Elsewhere\n  };\n"
                            "};\n");
    ASSERT_TRUE(LoadShows());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Five", "two", "Zero"}));
    const Show *five = GetShow(0);
    EXPECT_EQ(five->Skip, 1);
    EXPECT_EQ(five->Season, 0);
    EXPECT_EQ(five->Episode, -3);

    ASSERT_TRUE(SaveShows());
    std::string text = box.Read("shows.conf");
    EXPECT_NE(text.find("\tShow2 {\n\t\tShowName Zero\n"), std::string::npos);
    EXPECT_EQ(text.find("Show3"), std::string::npos);
}

TEST_F(ShowListTest, SortIsStableCaseInsensitiveAndPrefixFirst) {
    for (const char *name : {"beta", "Alpha", "\xe9t\xe9", "alpha", "ALPHA beta", "al", "Zulu", "alpha"})
        AddShow(Make(name));
    GetShow(3)->Season = 1;  // the first "alpha"
    GetShow(7)->Season = 2;  // the second
    SortShows();
    EXPECT_EQ(Names(), (std::vector<std::string>{"al", "Alpha", "alpha", "alpha", "ALPHA beta", "beta",
                                                 "Zulu", "\xe9t\xe9"}));
    EXPECT_EQ(GetShow(2)->Season, 1);
    EXPECT_EQ(GetShow(3)->Season, 2);
}

TEST_F(ShowListTest, LoadingAppendsAndSortsUnlessThereIsNoShowsSection) {
    AddShow(Make("b"));
    AddShow(Make("a"));
    box.Write("other.qlnshow", "Other {\n  Show0 {\n    ShowName c\n  };\n};\n");
    EXPECT_TRUE(LoadShows(box.File("other.qlnshow").c_str()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"b", "a"}));

    box.Write("more.qlnshow", "SHOWS {\n  SHOW0 {\n    SHOWNAME c\n  };\n};\n");
    EXPECT_TRUE(LoadShows(box.File("more.qlnshow").c_str()));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "c"}));

    EXPECT_TRUE(LoadShows(box.File("missing.qlnshow").c_str()));
    EXPECT_EQ(ShowCount(), 3);
}

TEST_F(ShowListTest, EqualNamesKeepTheFileIndexOrder) {
    box.Write("shows.conf", "Shows {\n"
                            "  Show10 {\n    ShowName Same\n    Season 10\n  };\n"
                            "  Show2 {\n    ShowName Same\n    Season 2\n  };\n"
                            "};\n");
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 2);
    EXPECT_EQ(GetShow(0)->Season, 2);
    EXPECT_EQ(GetShow(1)->Season, 10);
}

TEST_F(ShowListTest, HundredShowsSurviveARestart) {
    for (int i = 0; i < 100; i++) {
        char name[32];
        snprintf(name, sizeof name, "Show number %03d", i);
        Show *show = Make(name);
        show->Episode = i;
        AddShow(show);
    }
    RoundTrip();
    ASSERT_EQ(ShowCount(), 100);
    for (int i = 0; i < 100; i++)
        EXPECT_EQ(GetShow(i)->Episode, i);
    EXPECT_NE(box.Read("shows.conf").find("\tShow99 {"), std::string::npos);
}

TEST_F(ShowListTest, DigitsOnlyTitlesAndKeywordsComeBackExactly) {
    AddShow(Make("007", "2024"));
    AddShow(Make("24", "0"));
    AddShow(Make("1923", "-5"));
    RoundTrip();
    ASSERT_EQ(ShowCount(), 3);
    EXPECT_STREQ(GetShow(0)->ShowName, "007");
    EXPECT_STREQ(GetShow(0)->Keywords, "2024");
    EXPECT_STREQ(GetShow(1)->ShowName, "1923");
    EXPECT_STREQ(GetShow(1)->Keywords, "-5");
    EXPECT_STREQ(GetShow(2)->ShowName, "24");
    EXPECT_STREQ(GetShow(2)->Keywords, "0");
}

TEST_F(ShowListTest, FullLengthTitleAndKeywordsSurvive) {
    std::string title(255, 't'), keywords(255, 'k');
    AddShow(Make(title.c_str(), keywords.c_str()));
    RoundTrip();
    ASSERT_EQ(ShowCount(), 1);
    EXPECT_EQ(std::string(GetShow(0)->ShowName), title);
    EXPECT_EQ(std::string(GetShow(0)->Keywords), keywords);
}

TEST_F(ShowListTest, TimesBeyond32BitsSurviveAndOthersStayClassic) {
    const int64_t times[] = {Utc(2100, 1, 1, 0), -3000000000LL, 2147483647, -2147483648LL, -1,
                             INT64_MAX, INT64_MIN};
    for (size_t i = 0; i < sizeof times / sizeof times[0]; i++) {
        char name[16];
        snprintf(name, sizeof name, "T%zu", i);
        Show *show = Make(name);
        show->NextSearch = times[i];
        AddShow(show);
    }
    ASSERT_TRUE(SaveShows());
    std::string text = box.Read("shows.conf");
    EXPECT_NE(text.find("\t\tNextSearch 4102444800\n"), std::string::npos);
    EXPECT_NE(text.find("\t\tNextSearch 2147483647\n"), std::string::npos);
    EXPECT_NE(text.find("\t\tNextSearch -2147483648\n"), std::string::npos);
    EXPECT_NE(text.find("\t\tNextSearch -1\n"), std::string::npos);
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 7);
    for (size_t i = 0; i < 7; i++)
        EXPECT_EQ(GetShow(static_cast<int>(i))->NextSearch, times[i]) << i;
}

TEST_F(ShowListTest, HandWrittenNextSearchForms) {
    box.Write("shows.conf", "Shows {\n"
                            "  Show0 {\n    ShowName A\n    NextSearch -5\n  };\n"
                            "  Show1 {\n    ShowName B\n    NextSearch soon\n  };\n"
                            "  Show2 {\n    ShowName C\n    NextSearch 99999999999999999999999\n  };\n"
                            "  Show3 {\n    ShowName D\n    NextSearch 5000000000\n  };\n"
                            "};\n");
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 4);
    EXPECT_EQ(GetShow(0)->NextSearch, -5);
    EXPECT_EQ(GetShow(1)->NextSearch, 0);
    EXPECT_EQ(GetShow(2)->NextSearch, 0);
    EXPECT_EQ(GetShow(3)->NextSearch, 5000000000LL);
}

TEST_F(ShowListTest, MangledFilesLoadWhatCanBeRead) {
    box.Write("shows.conf", "Shows {\n\tShow0 {\n\t\tShowName Kept\n\t\tSeason 3\n\t\tEpis");
    EXPECT_TRUE(LoadShows());
    ASSERT_EQ(ShowCount(), 1);
    EXPECT_STREQ(GetShow(0)->ShowName, "Kept");
    EXPECT_EQ(GetShow(0)->Season, 3);
    ClearShows();

    const std::string bad[] = {
        "",
        "Shows",
        "};\n};\n",
        std::string("\0\0\0\xff", 4) + "Shows {\n Show0 {\n",
        "Shows {\n Show0 {\n  ShowName " + std::string(4000, 'n') + "\n };\n};\n",
        "Shows {\n Show0 {\n  ShowName {\n };\n};\n",
        "Shows {\n#include \"" + box.File("shows.conf") + "\"\n};\n",
    };
    for (const std::string &text : bad) {
        box.Write("shows.conf", text);
        EXPECT_TRUE(LoadShows());
    }
    std::string binary;
    for (int i = 0; i < 20000; i++)
        binary += static_cast<char>((i * 7919) >> 3);
    box.Write("shows.conf", binary);
    EXPECT_TRUE(LoadShows());
    for (int i = 0; i < ShowCount(); i++)
        EXPECT_NE(GetShow(i)->ShowName[0], '\0');
}

TEST_F(ShowListTest, SaveBacksUpAndExportDoesNot) {
    box.Write("shows.conf", "old");
    AddShow(Make("A"));
    ASSERT_TRUE(SaveShows(box.File("export.qlnshow").c_str()));
    EXPECT_FALSE(box.Exists("backup/shows.conf.1206202600"));
    ASSERT_TRUE(SaveShows());
    EXPECT_EQ(box.Read("backup/shows.conf.1206202600"), "old");
    EXPECT_EQ(box.Read("shows.conf"), box.Read("export.qlnshow"));
}

TEST_F(ShowListTest, FailedSaveKeepsTheOldFile) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    AddShow(Make("Old"));
    ASSERT_TRUE(SaveShows());
    std::string old = box.Read("shows.conf");
    for (int i = 0; i < 10; i++)
        AddShow(Make("New"));
    {
        FileSizeLimit limit(old.size() + 20);
        EXPECT_FALSE(SaveShows());
    }
    EXPECT_EQ(box.Read("shows.conf"), old);
    EXPECT_FALSE(SaveShows(box.File("no/such/folder/x.qlnshow").c_str()));
}

}  // namespace

namespace {

TEST_F(ShowListTest, ScheduleLinkKeysRoundTripAndOnlyALinkedShowWritesThem) {
    box.Write("shows.conf", "Shows {\n"
                            "\tShow0 {\n\t\tShowName Linked\n\t\tSeason 3\n\t\tEpisode 5\n"
                            "\t\tTvmazeId 143\n\t\tTvdbId 277165\n\t\tImdbId tt2575988\n"
                            "\t\tTvrageId 33759\n\t\tAirOffset -120\n\t};\n"
                            // Ids without a TVmaze id, a bad IMDb id, an absurd offset.
                            "\tShow1 {\n\t\tShowName Loose\n\t\tTvdbId 5\n\t};\n"
                            "\tShow2 {\n\t\tShowName Odd\n\t\tTvmazeId 7\n\t\tImdbId 2575988\n"
                            "\t\tAirOffset 999999\n\t};\n"
                            "};\n");
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(3, ShowCount());
    ShowLink linked = GetShowLink(GetShow(0));
    EXPECT_EQ(143, linked.tvmazeId);
    EXPECT_EQ(277165, linked.tvdbId);
    EXPECT_EQ("tt2575988", linked.imdbId);
    EXPECT_EQ(33759, linked.tvrageId);
    EXPECT_EQ(-120, linked.airOffset);
    EXPECT_FALSE(GetShowLink(GetShow(1)).Linked());
    ShowLink odd = GetShowLink(GetShow(2));
    EXPECT_EQ(7, odd.tvmazeId);
    EXPECT_EQ("", odd.imdbId);
    EXPECT_EQ(0, odd.airOffset);

    ASSERT_TRUE(SaveShows());
    std::string text = box.Read("shows.conf");
    EXPECT_NE(std::string::npos, text.find("\t\tTvmazeId 143\n\t\tTvdbId 277165\n\t\tImdbId tt2575988\n"
                                           "\t\tTvrageId 33759\n\t\tAirOffset -120\n"));
    EXPECT_EQ(std::string::npos, text.find("TvdbId 5"));  // an unlinked show saves as before
    // A removed show takes its link along; a new show at the same address
    // is unlinked.
    Show *gone = GetShow(0);
    RemoveShow(gone);
    Show *fresh = NewShow();
    AddShow(fresh);
    EXPECT_FALSE(GetShowLink(fresh).Linked());
    ClearShows();
    EXPECT_FALSE(GetShowLink(fresh).Linked());
}

}  // namespace
