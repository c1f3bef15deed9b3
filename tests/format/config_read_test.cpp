// Reading the brace-structured configuration format: line classification,
// comments, integer recognition and #include.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "format_support.h"
#include "sandbox.h"

namespace {

class ConfigRead : public TrackedTest {};

int CountSections(VR_SECTION *section) {
    int count = 0;
    for (; section; section = section->next)
        count++;
    return count;
}

TEST_F(ConfigRead, EmptyAndCommentOnlyFilesGiveAnEmptyTree) {
    for (const char *text : {"", "\n\n  \n\t\n", "# comment\n// comment\n/* block\nA {\n*/\n\r\n"}) {
        Universal_Config config;
        EXPECT_EQ(ReadText(config, text), "") << text;
        EXPECT_EQ(config.first, nullptr) << text;
    }
    Universal_Config config;
    EXPECT_FALSE(config.ReadStream(nullptr, "x", nullptr));
}

TEST_F(ConfigRead, OneCharacterLinesAreIgnoredSilently) {
    Universal_Config config;
    EXPECT_EQ(ReadText(config, "A {\n}\n{\n x\n k 1\n};\n"), "");
    VR_SECTION *a = config.GetSection(nullptr, "A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(TextOf(config, a, "k"), "1");
    EXPECT_EQ(a->entries->next, nullptr);
}

TEST_F(ConfigRead, SectionStartNeedsABlankBeforeTheBrace) {
    Universal_Config config;
    std::string out = ReadText(config, "A{\n};\nB {\n};\nC    {\n};\nD\t{\n};\n\tE \t {\n};\n");
    EXPECT_EQ(out, "Unrecognized line at test.conf:1 -> A{\n"
                   "ERROR: You have one too many }; near line 2 of test.conf\n");
    EXPECT_EQ(config.first, nullptr);

    Universal_Config spaced;
    EXPECT_EQ(ReadText(spaced, "B {\n};\nC    {\n};\nD\t{\n};\n\tE \t {\n};\nTwo Words {\n};\n"), "");
    for (const char *name : {"B", "C", "D", "E", "Two Words"})
        EXPECT_NE(spaced.GetSection(nullptr, name), nullptr) << name;
    EXPECT_EQ(CountSections(spaced.first), 5);
}

TEST_F(ConfigRead, RepeatedSectionsAndEntriesMerge) {
    Universal_Config config;
    ReadText(config, "Shows {\n Size 1\n Inner {\n a 1\n };\n};\nSHOWS {\n SIZE 2\n inner {\n b 2\n };\n};\n");
    ASSERT_EQ(CountSections(config.first), 1);
    VR_SECTION *shows = config.first;
    EXPECT_STREQ(shows->name, "Shows");
    ASSERT_NE(shows->entries, nullptr);
    EXPECT_STREQ(shows->entries->name, "Size");
    EXPECT_EQ(shows->entries->value.value.integer, 2);
    EXPECT_EQ(CountSections(shows->children), 1);
    EXPECT_EQ(TextOf(config, shows->children, "a"), "1");
    EXPECT_EQ(TextOf(config, shows->children, "b"), "2");
}

TEST_F(ConfigRead, ValueWordsAreJoinedBySingleSpaces) {
    Universal_Config config;
    ReadText(config, "A {\n\tTitle  The\t\tOffice   (US)  \r\n};\n");
    EXPECT_EQ(TextOf(config, config.first, "Title"), "The Office (US)");
}

TEST_F(ConfigRead, IntegerTextsAndTheirLimits) {
    struct Case {
        const char *text;
        bool integer;
        int32_t number;
    } cases[] = {
        {"0", true, 0},           {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN}, {"007", true, 7},
        {"-007", true, -7},       {"00000000000000000000042", true, 42},
        {"2147483648", false, 0}, {"-2147483649", false, 0},
        {"99999999999999999999", false, 0}, {"00", false, 0},
        {"-0", false, 0},         {"+5", false, 0},
        {"5x", false, 0},         {"-", false, 0},
        {"1 2", false, 0},        {"", false, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(IsIntegerText(c.text), c.integer) << c.text;
        if (!*c.text || strchr(c.text, ' '))
            continue;
        Universal_Config config;
        ReadText(config, std::string("A {\n v ") + c.text + "\n};\n");
        const VR_VALUE *value = config.GetSectionValue(config.first, "v");
        ASSERT_NE(value, nullptr) << c.text;
        EXPECT_EQ(value->type, c.integer ? VR_INTEGER : VR_STRING) << c.text;
        if (c.integer) {
            EXPECT_EQ(value->value.integer, c.number) << c.text;
        }
        // The original text is kept either way.
        EXPECT_STREQ(VrText(value), c.text);
    }
    EXPECT_FALSE(IsIntegerText(nullptr));
}

TEST_F(ConfigRead, CommentsAndBlockComments) {
    Universal_Config config;
    std::string out = ReadText(config,
                               "# hash\n  // slashes\n/* one line block */\nA {\n};\n*/ trailing\nB {\n};\n"
                               "*/\nC {\n\t# inner\n k v\n};\n/*\n*/\nD {\n};\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(config.GetSection(nullptr, "A"), nullptr);
    EXPECT_EQ(config.GetSection(nullptr, "B"), nullptr);
    ASSERT_NE(config.GetSection(nullptr, "C"), nullptr);
    EXPECT_EQ(TextOf(config, config.GetSection(nullptr, "C"), "k"), "v");
    EXPECT_NE(config.GetSection(nullptr, "D"), nullptr);
}

TEST_F(ConfigRead, OneTooManyClosingBracesStopsTheFile) {
    Universal_Config config;
    std::string out = ReadText(config, "A {\n};\n\n};\nB {\n};\n", "main.conf");
    EXPECT_EQ(out, "ERROR: You have one too many }; near line 4 of main.conf\n");
    EXPECT_NE(config.GetSection(nullptr, "A"), nullptr);
    EXPECT_EQ(config.GetSection(nullptr, "B"), nullptr);
}

TEST_F(ConfigRead, UnrecognisedLinesAreReportedAndSkipped) {
    Universal_Config config;
    std::string out = ReadText(config, "orphan value\nA {\n\n  lonely\t\n k v\n};\n", "f.conf");
    EXPECT_EQ(out, "Unrecognized line at f.conf:4 -> lonely\n");
    EXPECT_EQ(TextOf(config, config.first, "k"), "v");
    EXPECT_EQ(config.first->entries->next, nullptr);  // the orphan value was dropped
}

TEST_F(ConfigRead, StartingSectionAndOpenSectionsAtTheEnd) {
    Universal_Config config;
    VR_SECTION *base = config.AddSection(nullptr, "Base");
    ReadText(config, "k 1\nOpen {\n x y\n", "t", base);
    EXPECT_EQ(TextOf(config, base, "k"), "1");
    VR_SECTION *open = config.GetSection(base, "Open");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(TextOf(config, open, "x"), "y");
    // The section left open does not carry over into the next read.
    EXPECT_EQ(ReadText(config, "};\n", "next"), "ERROR: You have one too many }; near line 1 of next\n");
}

TEST_F(ConfigRead, LongLinesAndNamesAreKept) {
    std::string value(5000, 'v');
    std::string longName(70, 'n');
    Universal_Config config;
    ReadText(config, "A {\n k " + value + "\n " + longName + " 1\n};\n" + longName + "xyz {\n a 1\n};\n" +
                         longName + " {\n b 2\n};\n");
    EXPECT_EQ(TextOf(config, config.first, "k"), value);
    std::string cut(63, 'n');
    EXPECT_EQ(std::string(config.first->entries->next->name), cut);
    EXPECT_EQ(TextOf(config, config.first, longName.c_str()), "1");
    // Names that agree in their first 63 characters are the same section.
    VR_SECTION *section = config.GetSection(nullptr, longName.c_str());
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(std::string(section->name), cut);
    EXPECT_EQ(TextOf(config, section, "a"), "1");
    EXPECT_EQ(TextOf(config, section, "b"), "2");
    EXPECT_EQ(CountSections(config.first), 2);
}

class ConfigInclude : public TrackedTest {
protected:
    Sandbox box;
    std::string Include(const std::string &name) { return "#include \"" + box.File(name) + "\"\n"; }
};

TEST_F(ConfigInclude, IncludedTextStandsInPlaceOfTheLine) {
    box.Write("inc.conf", " k1 1\n B {\n  x y\n };\n");
    Universal_Config config;
    EXPECT_EQ(ReadText(config, "A {\n" + Include("inc.conf") + " k2 v\n};\n"), "");
    VR_SECTION *a = config.GetSection(nullptr, "A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(TextOf(config, a, "k1"), "1");
    EXPECT_EQ(TextOf(config, a, "k2"), "v");
    EXPECT_EQ(TextOf(config, config.GetSection(a, "B"), "x"), "y");
    EXPECT_EQ(config.first->next, nullptr);
}

TEST_F(ConfigInclude, IncludeMayLeaveOpenOrCloseTheIncludersSections) {
    box.Write("open.conf", "Inner {\n a 1\n");
    Universal_Config config;
    ReadText(config, "Outer {\n" + Include("open.conf") + " b 2\n};\n c 3\n};\nAfter {\n};\n");
    VR_SECTION *outer = config.GetSection(nullptr, "Outer");
    VR_SECTION *inner = config.GetSection(outer, "Inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(TextOf(config, inner, "b"), "2");
    EXPECT_EQ(TextOf(config, outer, "c"), "3");
    EXPECT_NE(config.GetSection(nullptr, "After"), nullptr);

    box.Write("close.conf", " a 1\n};\n");
    Universal_Config closing;
    EXPECT_EQ(ReadText(closing, "A {\n" + Include("close.conf") + " x 1\nB {\n};\n"), "");
    EXPECT_EQ(TextOf(closing, closing.first, "a"), "1");
    EXPECT_EQ(closing.GetSectionValue(closing.first, "x"), nullptr);
    EXPECT_NE(closing.GetSection(nullptr, "B"), nullptr);
}

TEST_F(ConfigInclude, MissingFileStopsTheIncluderAtThatLine) {
    Universal_Config config;
    std::string missing = box.File("missing.conf");
    std::string out = ReadText(config, "A {\n a 1\n#include \"" + missing + "\"\n b 2\n};\n");
    EXPECT_EQ(out, "ERROR: Error loading #included file '" + missing + "'\n");
    EXPECT_EQ(TextOf(config, config.first, "a"), "1");
    EXPECT_EQ(config.GetSectionValue(config.first, "b"), nullptr);

    // Inside an included file, the error ends that file only.
    box.Write("inc.conf", " a 1\n#include \"" + missing + "\"\n b 2\n");
    Universal_Config nested;
    ReadText(nested, "A {\n" + Include("inc.conf") + " c 3\n};\n");
    EXPECT_EQ(TextOf(nested, nested.first, "a"), "1");
    EXPECT_EQ(nested.GetSectionValue(nested.first, "b"), nullptr);
    EXPECT_EQ(TextOf(nested, nested.first, "c"), "3");
}

TEST_F(ConfigInclude, SyntaxOfTheIncludeLine) {
    box.Write("inc.conf", "I {\n};\n");
    Universal_Config config;
    // Any letter case, inside a comment too, text after the closing quote ignored.
    ReadText(config, "// #INCLUDE \"" + box.File("inc.conf") + "\" trailing words\n");
    EXPECT_NE(config.GetSection(nullptr, "I"), nullptr);

    for (const char *line : {"#include inc.conf\nA {\n};\n", "#include \"inc.conf\nA {\n};\n"}) {
        Universal_Config bad;
        EXPECT_EQ(ReadText(bad, line), "ERROR: Syntax is #include \"filename\"\n");
        EXPECT_EQ(bad.first, nullptr);
    }
}

TEST_F(ConfigInclude, RelativePathsResolveAgainstTheWorkingFolder) {
    box.Write("sub/inc.conf", "#include \"other.conf\"\n");
    box.Write("sub/other.conf", "FromIncluder {\n};\n");
    box.Write("other.conf", "FromCwd {\n};\n");
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(box.Path().c_str()), 0);
    Universal_Config config;
    std::string out = ReadText(config, "#include \"sub/inc.conf\"\n");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(config.GetSection(nullptr, "FromIncluder"), nullptr);
    EXPECT_NE(config.GetSection(nullptr, "FromCwd"), nullptr);
}

TEST_F(ConfigInclude, CyclesFoldersAndRunawayNestingAreRefused) {
    box.Write("self.conf", "S {\n};\n" + Include("self.conf"));
    box.Write("a.conf", "A {\n};\n" + Include("b.conf"));
    box.Write("b.conf", "B {\n};\n" + Include("a.conf"));
    Universal_Config config;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(config.LoadFile(box.File("self.conf").c_str(), nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: Error loading #included file '" + box.File("self.conf") + "'\n");
    std::string out = ReadText(config, Include("a.conf"));
    EXPECT_EQ(out, "ERROR: Error loading #included file '" + box.File("a.conf") + "'\n");
    EXPECT_NE(config.GetSection(nullptr, "A"), nullptr);
    EXPECT_NE(config.GetSection(nullptr, "B"), nullptr);

    // A chain of distinct files deeper than any real use stops with the message.
    for (int i = 0; i < 40; i++)
        box.Write("chain" + std::to_string(i) + ".conf", Include("chain" + std::to_string(i + 1) + ".conf"));
    box.Write("chain40.conf", "End {\n};\n");
    Universal_Config chain;
    out = ReadText(chain, Include("chain0.conf"));
    EXPECT_NE(out.find("ERROR: Error loading #included file"), std::string::npos);
    EXPECT_EQ(chain.first, nullptr);

    // Folders and pipes (devices on Windows) are refused without waiting for a writer.
#ifdef _WIN32
    const std::string device = "NUL";
#else
    const std::string device = box.File("fifo");
    ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
#endif
    for (const std::string &path : {box.Path(), device}) {
        Universal_Config other;
        EXPECT_EQ(ReadText(other, "#include \"" + path + "\"\n"),
                  "ERROR: Error loading #included file '" + path + "'\n");
    }
}

TEST_F(ConfigInclude, LoadFileReportsOnlyAMissingFile) {
    Universal_Config config;
    EXPECT_FALSE(config.LoadFile(box.File("none.conf").c_str(), nullptr));
    box.Write("crlf.conf", "A {\r\n\tk v\r\n};\r\n");
    EXPECT_TRUE(config.LoadFile(box.File("crlf.conf").c_str(), nullptr));
    EXPECT_EQ(TextOf(config, config.first, "k"), "v");
}

}  // namespace
