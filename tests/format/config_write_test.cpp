// Writing the configuration format: the exact bytes, round trips through a
// save and a load, and saves that must never damage the old file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "format_support.h"
#include "sandbox.h"
#include "vorlo/ini.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

class ConfigWrite : public TrackedTest {
protected:
    Sandbox box;
};

std::vector<std::string> FolderEntries(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

TEST_F(ConfigWrite, ShowsFileBytes) {
    Universal_Config config;
    VR_SECTION *shows = config.AddSection(nullptr, "Shows");
    VR_SECTION *show = config.AddSection(shows, "Show0");
    VR_VALUE title = VrString("The Office (US)");
    config.SetSectionValue("ShowName", show, &title);
    const char *keys[] = {"Skip", "Pause", "HD_Only", "Season", "Episode"};
    int values[] = {0, 1, 0, 5, 12};
    for (int i = 0; i < 5; i++) {
        VR_VALUE v = VrInteger(values[i]);
        config.SetSectionValue(keys[i], show, &v);
    }
    const std::string expected =
        "Shows {\n\tShow0 {\n\t\tShowName The Office (US)\n\t\tSkip 0\n\t\tPause 1\n\t\tHD_Only 0\n"
        "\t\tSeason 5\n\t\tEpisode 12\n\t};\n};\n\n";
    EXPECT_EQ(config.FormatText(), expected);
    ASSERT_TRUE(config.SaveFile(box.File("shows.conf").c_str()));
    EXPECT_EQ(box.Read("shows.conf"), expected);
}

TEST_F(ConfigWrite, ChildrenComeBeforeEntriesAndEveryTopSectionEndsWithABlankLine) {
    Universal_Config config;
    ReadText(config, "A {\n a1 -5\n B {\n  b1 x\n  C {\n  };\n };\n a2 007\n D {\n };\n};\nE {\n};\n");
    EXPECT_EQ(config.FormatText(),
              "A {\n\tB {\n\t\tC {\n\t\t};\n\t\tb1 x\n\t};\n\tD {\n\t};\n\ta1 -5\n\ta2 7\n};\n\n"
              "E {\n};\n\n");
    Universal_Config empty;
    EXPECT_EQ(empty.FormatText(), "");
}

TEST_F(ConfigWrite, ValuesThatDoNotSurviveAsTheyWere) {
    Universal_Config config;
    VR_SECTION *s = config.AddSection(nullptr, "S");
    VR_VALUE empty = VrString("");
    VR_VALUE digits = VrString("0042");
    VR_VALUE spaced = VrString("a  b\tc");
    VR_VALUE odd;
    odd.type = 7;
    odd.value.integer = 3;
    odd.text = nullptr;
    config.SetSectionValue("Empty", s, &empty);
    config.SetSectionValue("Digits", s, &digits);
    config.SetSectionValue("Two words", s, &spaced);
    config.SetSectionValue("Odd", s, &odd);
    EXPECT_EQ(config.FormatText(), "S {\n\tEmpty \n\tDigits 0042\n\tTwo words a  b\tc\n};\n\n");
    ASSERT_TRUE(config.SaveFile(box.File("s.conf").c_str()));

    Universal_Config back;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(back.LoadFile(box.File("s.conf").c_str(), nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Unrecognized line at " + box.File("s.conf") + ":2 -> Empty\n");
    VR_SECTION *r = back.first;
    EXPECT_EQ(back.GetSectionValue(r, "Empty"), nullptr);
    EXPECT_EQ(back.GetSectionValue(r, "Digits")->type, VR_INTEGER);
    EXPECT_EQ(back.GetSectionValue(r, "Digits")->value.integer, 42);
    EXPECT_EQ(TextOf(back, r, "Two"), "words a b c");
}

TEST_F(ConfigWrite, LongValuesSurviveSaveAndReload) {
    Universal_Config config;
    VR_SECTION *s = config.AddSection(nullptr, "Settings");
    std::string folder = "/home/user/" + std::string(1012, 'd');
    ASSERT_EQ(folder.size(), 1023u);
    std::string huge(100000, 'h');
    VR_VALUE v1 = VrString(folder.c_str());
    VR_VALUE v2 = VrString(huge.c_str());
    config.SetSectionValue("NZB_Folder", s, &v1);
    config.SetSectionValue("Huge", s, &v2);
    ASSERT_TRUE(config.SaveFile(box.File("main.conf").c_str()));
    Universal_Config back;
    ASSERT_TRUE(back.LoadFile(box.File("main.conf").c_str(), nullptr));
    EXPECT_EQ(TextOf(back, back.first, "NZB_Folder"), folder);
    EXPECT_EQ(TextOf(back, back.first, "Huge"), huge);
}

// Walks two trees side by side; they must hold the same names, values and orders.
void ExpectSameTree(const VR_SECTION *a, const VR_SECTION *b) {
    for (; a && b; a = a->next, b = b->next) {
        ASSERT_STREQ(a->name, b->name);
        const VR_ENTRY *ea = a->entries, *eb = b->entries;
        for (; ea && eb; ea = ea->next, eb = eb->next) {
            ASSERT_STREQ(ea->name, eb->name);
            ASSERT_EQ(ea->value.type, eb->value.type);
            if (ea->value.type == VR_INTEGER)
                ASSERT_EQ(ea->value.value.integer, eb->value.value.integer);
            else
                ASSERT_STREQ(ea->value.value.string, eb->value.value.string);
        }
        ASSERT_TRUE(!ea && !eb) << a->name;
        ExpectSameTree(a->children, b->children);
    }
    ASSERT_TRUE(!a && !b);
}

TEST_F(ConfigWrite, GeneratedTreeOfTenThousandSectionsReadsBackIdentical) {
    Universal_Config config;
    int sections = 0;
    for (int i = 0; i < 100; i++) {
        VR_SECTION *top = config.AddSection(nullptr, ("Top " + std::to_string(i)).c_str());
        sections++;
        for (int j = 0; j < 33; j++) {
            VR_SECTION *child = config.AddSection(top, ("Show" + std::to_string(j)).c_str());
            sections++;
            std::string title = "Title " + std::to_string(i * 100 + j) + " x";
            VR_VALUE name = VrString(title.c_str());
            VR_VALUE number = VrInteger((i * 7919 + j * 104729) * (j % 2 ? -1 : 1));
            config.SetSectionValue("ShowName", child, &name);
            config.SetSectionValue("Season", child, &number);
            for (int k = 0; k < 2; k++, sections++)
                config.AddSection(child, k ? "b" : "a");
        }
    }
    ASSERT_EQ(sections, 10000);
    ASSERT_TRUE(config.SaveFile(box.File("big.conf").c_str()));
    Universal_Config back;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(back.LoadFile(box.File("big.conf").c_str(), nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ExpectSameTree(config.first, back.first);
    EXPECT_EQ(back.FormatText(), box.Read("big.conf"));
}

TEST_F(ConfigWrite, FailedSaveLeavesTheOldFileAndNoLeftovers) {
    box.Write("folder/keep.conf", "Old {\n};\n");
    Universal_Config config;
    config.AddSection(nullptr, "New");
    // A folder as the target, and a target in a folder that does not exist.
    EXPECT_FALSE(config.SaveFile(box.File("folder").c_str()));
    EXPECT_FALSE(config.SaveFile(box.File("nowhere/new.conf").c_str()));
    EXPECT_FALSE(config.SaveFile(""));
    EXPECT_EQ(box.Read("folder/keep.conf"), "Old {\n};\n");
    EXPECT_EQ(FolderEntries(box.File("folder")), std::vector<std::string>{"keep.conf"});
    EXPECT_EQ(FolderEntries(box.Path()), std::vector<std::string>{"folder"});
}

// Folder permission bits, file size limits and symbolic links are POSIX's.
#ifndef _WIN32
TEST_F(ConfigWrite, SaveIntoReadOnlyFolderFails) {
    box.Write("ro/main.conf", "Old {\n};\n");
    ASSERT_EQ(chmod(box.File("ro").c_str(), 0555), 0);
    std::string probe = box.File("ro/probe");
    if (FILE *f = fopen(probe.c_str(), "wb")) {  // privileged users write anyway
        fclose(f);
        unlink(probe.c_str());
        GTEST_SKIP() << "read-only folder is writable for this user";
    }
    Universal_Config config;
    config.AddSection(nullptr, "New");
    EXPECT_FALSE(config.SaveFile(box.File("ro/main.conf").c_str()));
    EXPECT_EQ(box.Read("ro/main.conf"), "Old {\n};\n");
    EXPECT_EQ(FolderEntries(box.File("ro")), std::vector<std::string>{"main.conf"});
}

TEST_F(ConfigWrite, WriteFailingHalfWayLeavesTheOldFile) {
    box.Write("main.conf", "Old {\n};\n");
    box.Write("plugins.ini", "[plugins]\r\nezrss=1\r\n");
    Universal_Config config;
    VR_SECTION *s = config.AddSection(nullptr, "New");
    std::string big(8192, 'b');
    VR_VALUE value = VrString(big.c_str());
    config.SetSectionValue("Big", s, &value);

    // A file size limit makes the write of the temporary file fail part way.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved1 = config.SaveFile(box.File("main.conf").c_str());
    int saved2 = IniWriteString(box.File("plugins.ini").c_str(), "plugins", "big", big.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved1);
    EXPECT_EQ(saved2, -1);
    EXPECT_EQ(box.Read("main.conf"), "Old {\n};\n");
    EXPECT_EQ(box.Read("plugins.ini"), "[plugins]\r\nezrss=1\r\n");
    EXPECT_EQ(FolderEntries(box.Path()).size(), 2u);
}

TEST_F(ConfigWrite, ReplacementKeepsPermissionsAndSymbolicLinks) {
    box.Write("real.conf", "Old {\n};\n");
    ASSERT_EQ(chmod(box.File("real.conf").c_str(), 0600), 0);
    ASSERT_EQ(symlink(box.File("real.conf").c_str(), box.File("link.conf").c_str()), 0);
    ASSERT_TRUE(PlatformWriteFileAtomic(box.File("link.conf").c_str(), "new\n", 4));
    struct stat st;
    ASSERT_EQ(lstat(box.File("link.conf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(box.File("real.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(box.Read("real.conf"), "new\n");
    EXPECT_TRUE(PlatformWriteFileAtomic(box.File("empty").c_str(), nullptr, 0));
    EXPECT_EQ(box.Read("empty"), "");
}
#endif

}  // namespace

namespace {

// Every text a user can type survives a save and a reload byte for byte, no
// text opens a file or ends the reading, and what the plain line can carry is
// written as it always was.
TEST_F(ConfigWrite, TypedTextsComeBackExactly) {
    const std::string texts[] = {"Lost {", "a #include \"/etc/hostname\"", "  two  spaces ", "tab\there",
                                 "line\nbreak\r", "back\\slash \"q\" #hash \\x23", "};", "// no comment", " "};
    Universal_Config config;
    VR_SECTION *show = config.AddSection(config.AddSection(nullptr, "Shows"), "Show0");
    for (size_t i = 0; i < 9; ++i) {
        VR_VALUE v = VrString(texts[i].c_str());
        config.SetSectionValue(("K" + std::to_string(i)).c_str(), show, &v);
    }
    VR_VALUE plain = VrString("The Office (US)");
    config.SetSectionValue("Plain", show, &plain);
    const std::string text = config.FormatText();
    EXPECT_EQ(FindNoCase(text.c_str(), "#include"), nullptr) << text;
    EXPECT_NE(text.find("\t\tPlain The Office (US)\n"), std::string::npos) << text;

    Universal_Config back;
    EXPECT_EQ(ReadText(back, text), "");
    VR_SECTION *read = back.GetSection(back.first, "Show0");
    for (size_t i = 0; i < 9; ++i)
        EXPECT_EQ(TextOf(back, read, ("K" + std::to_string(i)).c_str()), texts[i]) << i;
    EXPECT_EQ(TextOf(back, read, "Plain"), "The Office (US)");
    // A hand-written comment that merely starts like a quoted line stays one.
    Universal_Config hand;
    EXPECT_EQ(ReadText(hand, "S {\n#quoted of the shows\n#quoted K \"a\\q\"\n};\n"), "");
    EXPECT_EQ(hand.first->entries, nullptr);
}

}  // namespace
