// The configuration tree in memory: sections, entries, ownership of texts and
// the refusal to store a value back into itself.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "format_support.h"

namespace {

class ConfigTree : public TrackedTest {};

TEST_F(ConfigTree, SectionsKeepCreationOrderAndMatchAnyLetterCase) {
    Universal_Config config;
    VR_SECTION *a = config.AddSection(nullptr, "Alpha");
    VR_SECTION *b = config.AddSection(nullptr, "Beta");
    EXPECT_EQ(config.AddSection(nullptr, "ALPHA"), a);
    EXPECT_EQ(config.first, a);
    EXPECT_EQ(config.last, b);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->prev, a);
    VR_SECTION *c1 = config.AddSection(a, "Child");
    VR_SECTION *c2 = config.AddSection(a, "Second");
    EXPECT_EQ(a->children, c1);
    EXPECT_EQ(c1->next, c2);
    EXPECT_EQ(c2->parent, a);
    EXPECT_EQ(config.last, b);  // children do not touch the top-level list
    EXPECT_EQ(config.GetSection(a, "child"), c1);
    EXPECT_EQ(config.GetSection(nullptr, "child"), nullptr);
    EXPECT_EQ(config.GetSectionValue(nullptr, "x"), nullptr);
}

TEST_F(ConfigTree, SetSectionValueStoresCopiesAndReplaces) {
    Universal_Config config;
    VR_SECTION *s = config.AddSection(nullptr, "S");
    char buffer[16] = "first";
    VR_VALUE value = VrString(buffer);
    VR_VALUE *stored = config.SetSectionValue("Name", s, &value);
    ASSERT_NE(stored, nullptr);
    strcpy(buffer, "changed");
    EXPECT_STREQ(stored->value.string, "first");
    EXPECT_NE(stored->value.string, buffer);

    // Replacing keeps the entry and the first spelling of its name.
    VR_VALUE number = VrInteger(42);
    EXPECT_EQ(config.SetSectionValue("NAME", s, &number), stored);
    EXPECT_EQ(stored->type, VR_INTEGER);
    EXPECT_EQ(stored->value.integer, 42);
    EXPECT_EQ(VrText(stored), nullptr);
    EXPECT_STREQ(s->entries->name, "Name");
    EXPECT_EQ(s->entries->next, nullptr);
    VR_VALUE back = VrString("again");
    config.SetSectionValue("name", s, &back);
    EXPECT_STREQ(VrText(stored), "again");

    // A value taken from another entry of the same tree is copied.
    config.SetSectionValue("Other", s, config.GetSectionValue(s, "Name"));
    EXPECT_EQ(TextOf(config, s, "Other"), "again");
    EXPECT_NE(config.GetSectionValue(s, "Other")->value.string, stored->value.string);

    VR_VALUE empty = VrString(nullptr);
    EXPECT_EQ(TextOf(config, s, "x"), "<none>");
    config.SetSectionValue("x", s, &empty);
    EXPECT_EQ(TextOf(config, s, "x"), "");
    EXPECT_EQ(config.SetSectionValue("y", nullptr, &number), nullptr);
}

std::string g_hookText, g_hookCaption;
void RecordHook(const char *text, const char *caption) {
    g_hookText = text;
    g_hookCaption = caption;
}

TEST_F(ConfigTree, PassingAStoredValueBackIsRefused) {
    const char *message =
        "Universal_Config() -> You must never pass a VR_VALUE to SetSectionValue that was returned "
        "from GetSectionValue";
    Universal_Config config;
    VR_SECTION *s = config.AddSection(nullptr, "S");
    VR_VALUE value = VrString("kept");
    config.SetSectionValue("k", s, &value);
    VR_VALUE *stored = config.GetSectionValue(s, "k");

    testing::internal::CaptureStdout();
    EXPECT_EQ(config.SetSectionValue("K", s, stored), stored);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(message) + "\n");
    EXPECT_STREQ(stored->value.string, "kept");

    SetConfigMessageBoxHook(RecordHook);
    testing::internal::CaptureStdout();
    config.SetSectionValue("k", s, stored);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(message) + "\n");
    SetConfigMessageBoxHook(nullptr);
    EXPECT_EQ(g_hookText, message);
    EXPECT_EQ(g_hookCaption, "Error");
}

TEST_F(ConfigTree, IntegerTextTravelsWithTheValue) {
    Universal_Config source;
    ReadText(source, "Show {\n ShowName 007\n Season 02\n};\n");
    VR_VALUE *title = source.GetSectionValue(source.first, "ShowName");
    ASSERT_EQ(title->type, VR_INTEGER);
    EXPECT_EQ(title->value.integer, 7);
    EXPECT_STREQ(VrText(title), "007");

    // Copied into another tree, and replaced without leaking the old text.
    Universal_Config copy;
    VR_SECTION *s = copy.AddSection(nullptr, "Show");
    copy.SetSectionValue("ShowName", s, title);
    EXPECT_EQ(TextOf(copy, s, "ShowName"), "007");
    EXPECT_NE(VrText(copy.GetSectionValue(s, "ShowName")), VrText(title));
    VR_VALUE plain = VrInteger(7);
    copy.SetSectionValue("ShowName", s, &plain);
    EXPECT_EQ(VrText(copy.GetSectionValue(s, "ShowName")), nullptr);
}

TEST_F(ConfigTree, FreeSectionEmptiesButKeepsTheRecord) {
    Universal_Config config;
    ReadText(config, "A {\n k v\n B {\n  C {\n   x 1\n  };\n  D {\n  };\n };\n E {\n };\n};\nZ {\n};\n");
    VR_SECTION *a = config.first;
    config.FreeSection(a);
    EXPECT_EQ(a->entries, nullptr);
    EXPECT_EQ(a->children, nullptr);
    EXPECT_STREQ(a->name, "A");
    EXPECT_EQ(a->next, config.last);
    config.Clear();
    EXPECT_EQ(config.first, nullptr);
    EXPECT_EQ(config.last, nullptr);
}

TEST_F(ConfigTree, DeepNestingIsReadAndFreedWithoutRecursion) {
    std::string text;
    for (int i = 0; i < 50000; i++)
        text += "n {\n k 1\n";
    Universal_Config config;
    ReadText(config, text);
    int depth = 0;
    for (VR_SECTION *s = config.first; s; s = s->children)
        depth++;
    EXPECT_EQ(depth, 50000);
}

TEST_F(ConfigTree, OverlongNamesAreCutTo63Characters) {
    Universal_Config config;
    std::string name(62, 'a');
    VR_SECTION *s = config.AddSection(nullptr, (name + "b  tail").c_str());
    EXPECT_EQ(std::string(s->name), name + "b");
    EXPECT_EQ(config.GetSection(nullptr, (name + "B").c_str()), s);
    // A cut that ends in a space drops it, so the name reads back the same.
    VR_SECTION *spaced = config.AddSection(nullptr, (name + " more").c_str());
    EXPECT_EQ(std::string(spaced->name), name);
    VR_VALUE value = VrInteger(1);
    config.SetSectionValue((name + "xyz").c_str(), s, &value);
    EXPECT_EQ(std::string(s->entries->name), name + "x");
    EXPECT_NE(config.GetSectionValue(s, (name + "x-other").c_str()), nullptr);
}

}  // namespace
