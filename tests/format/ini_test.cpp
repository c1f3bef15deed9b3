// INI files: reading values and rewriting files with one entry set.
#include <gtest/gtest.h>

#include <string>

#include "format_support.h"
#include "sandbox.h"
#include "vorlo/ini.h"

namespace {

class IniRead : public TrackedTest {
protected:
    std::string Get(const std::string &text, const char *section, const char *key, int size = 64,
                    const char *def = nullptr) {
        std::string dest(static_cast<size_t>(size), 'X');
        const char *result = IniParseString(text.c_str(), section, key, dest.data(), size, def);
        return result ? std::string(result) : "<none>";
    }
};

TEST_F(IniRead, SectionsAndKeys) {
    const std::string text =
        "key=before any section\n[Other]\nkey=other\n[plugins]\n\tkey   =\t value  with\t\tblanks \r\n"
        "Key=second\nnot an entry\n[other]\n[PLUGINS] trailing\nlate=yes\n";
    EXPECT_EQ(Get(text, "plugins", "KEY"), "value with blanks");
    EXPECT_EQ(Get(text, "Plugins", "late"), "yes");  // a section that occurs twice
    EXPECT_EQ(Get(text, "other", "key"), "other");
    EXPECT_EQ(Get(text, "plugins", "missing"), "<none>");
    EXPECT_EQ(Get(text, "plugins", "missing", 64, "dflt"), "dflt");
    EXPECT_EQ(Get(text, "nosection", "key", 3, "default"), "de");
    EXPECT_EQ(Get("[s]\n = \nk= \n", "s", ""), "");
    EXPECT_EQ(Get("[s]\n = \nk= \n", "s", "k", 64, "d"), "");
    EXPECT_EQ(Get("[s]\na=b=c\n", "s", "a"), "b=c");
}

TEST_F(IniRead, HeaderPrecededByASpaceIsNoHeader) {
    const std::string text = "[first]\na=1\n [second]\nb=2\n";
    EXPECT_EQ(Get(text, "first", "b"), "2");
    EXPECT_EQ(Get(text, "second", "b"), "<none>");
}

TEST_F(IniRead, ValueLongerThanTheBufferIsCut) {
    EXPECT_EQ(Get("[s]\nk=0123456789\n", "s", "k", 5), "0123");
    EXPECT_EQ(Get("[s]\nk=0123456789\n", "s", "k", 1), "");
}

TEST_F(IniRead, FilesAndNumbers) {
    Sandbox box;
    std::string path = box.File("plugins.ini");
    char dest[32] = "junk";
    EXPECT_EQ(IniReadString(path.c_str(), "s", "k", dest, sizeof dest, nullptr), nullptr);
    EXPECT_EQ(IniReadString(path.c_str(), "s", "k", dest, sizeof dest, "def"), dest);
    EXPECT_STREQ(dest, "def");
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "ezrss", 0), 0);

    box.Write("plugins.ini", "[plugins]\r\nezrss=1\r\nneg=-12abc\r\ntext=abc\r\nhuge=99999999999\r\n");
    EXPECT_EQ(IniReadString(path.c_str(), "plugins", "ezrss", dest, sizeof dest, nullptr), dest);
    EXPECT_STREQ(dest, "1");
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "ezrss", 5), 1);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "neg", 5), -12);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "text", 5), 0);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "huge", 5), 2147483647);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "absent", 5), 5);
    box.Write("empty.ini", "");
    EXPECT_EQ(IniReadInt(box.File("empty.ini").c_str(), "plugins", "x", 3), 3);
}

class IniWrite : public TrackedTest {
protected:
    Sandbox box;
    std::string path = box.File("plugins.ini");
    std::string Write(const std::string &before, const char *section, const char *key,
                      const char *value) {
        box.Write("plugins.ini", before);
        EXPECT_EQ(IniWriteString(path.c_str(), section, key, value), 0);
        std::string after = box.Read("plugins.ini");
        EXPECT_EQ(after, IniRewriteText(before.c_str(), section, key, value));
        return after;
    }
};

// A zero byte once hid the rest of the file from readers and writers.
TEST_F(IniWrite, ZeroBytesInTheFileHideNothing) {
    Sandbox box;
    std::string path = box.File("plugins.ini");
    box.Write("plugins.ini", std::string("junk\0[x\0\0\r\n[plugins]\r\na=1\0b=2\r\n", 31));
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "a", 0), 1);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "b", 0), 2);
    EXPECT_EQ(IniWriteString(path.c_str(), "plugins", "c", "3"), 0);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "a", 0), 1);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "b", 0), 2);
    EXPECT_EQ(IniReadInt(path.c_str(), "plugins", "c", 0), 3);
}

TEST_F(IniWrite, NewFileHoldsOnlyTheEntry) {
    ASSERT_EQ(IniWriteInt(path.c_str(), "plugins", "ezrss", 1), 0);
    EXPECT_EQ(box.Read("plugins.ini"), "[plugins]\r\nezrss=1\r\n");
    ASSERT_EQ(IniWriteInt(path.c_str(), "plugins", "generic", -7), 0);
    EXPECT_EQ(box.Read("plugins.ini"), "[plugins]\r\nezrss=1\r\ngeneric=-7\r\n");
}

TEST_F(IniWrite, LinesAreNormalisedAndBlankLinesVanish) {
    EXPECT_EQ(Write("; top\n\n[a]\n\tx  =\t1\n\n\n[s]\nold   line\twith  tabs\n\n[b]\ny=2\n", "s", "k", "v"),
              "; top\r\n[a]\r\n x = 1\r\n[s]\r\nold line with tabs\r\nk=v\r\n\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(Write("[s]\r\nk=old\r\n\r\n[t]\r\nz=1\r\n", "S", "K", "new"),
              "[s]\r\nK=new\r\n[t]\r\nz=1\r\n");
}

TEST_F(IniWrite, WhereTheEntryGoes) {
    // Key in another section: the wanted section gains it, the other stays.
    EXPECT_EQ(Write("[other]\nk=1\n[s]\na=2\n", "s", "k", "3"), "[other]\r\nk=1\r\n[s]\r\na=2\r\nk=3\r\n");
    // Spaces around "=": replaced by a line without them.
    EXPECT_EQ(Write("[s]\n\tk = old \n", "s", "k", "new"), "[s]\r\nk=new\r\n");
    // Header only, and a file without the section.
    EXPECT_EQ(Write("[s]", "s", "k", "v"), "[s]\r\nk=v\r\n");
    EXPECT_EQ(Write("[a]\nx=1\n", "s", "k", "v"), "[a]\r\nx=1\r\n[s]\r\nk=v\r\n");
    EXPECT_EQ(Write("", "s", "k", "v"), "[s]\r\nk=v\r\n");
    // Every matching line of the section is replaced; the value is written as given.
    EXPECT_EQ(Write("[s]\nk=1\nK=2\n[t]\n[s]\nk=3\n", "s", "k", " raw value "),
              "[s]\r\nk= raw value \r\nk= raw value \r\n[t]\r\n[s]\r\nk= raw value \r\n");
    // A header preceded by a space belongs to the section before it.
    EXPECT_EQ(Write("[s]\na=1\n [t]\n", "s", "k", "v"), "[s]\r\na=1\r\n [t]\r\nk=v\r\n");
    char dest[8];
    EXPECT_STREQ(IniReadString(path.c_str(), "s", "k", dest, sizeof dest, nullptr), "v");
}

TEST_F(IniWrite, FailuresLeaveTheFileAlone) {
    box.Write("folder/keep.ini", "[s]\nk=1\n");
    EXPECT_EQ(IniWriteString(box.File("folder").c_str(), "s", "k", "2"), -1);
    EXPECT_EQ(IniWriteString(box.File("missing/plugins.ini").c_str(), "s", "k", "2"), -1);
    EXPECT_EQ(IniWriteString(nullptr, "s", "k", "2"), -1);
    EXPECT_EQ(box.Read("folder/keep.ini"), "[s]\nk=1\n");
    EXPECT_FALSE(box.Exists("missing"));
}

}  // namespace
