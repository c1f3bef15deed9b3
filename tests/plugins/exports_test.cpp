// Each plugin library exports its two entry points and nothing else, keeps its
// copies of the support library and of TinyXML private and does not link
// libcurl itself.
#include "fake_host.h"
#include "library_symbols.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using ::testing::ElementsAre;

namespace {

class Exports : public ::testing::TestWithParam<const char *> {};

TEST_P(Exports, OnlyTheTwoEntryPointsAreDefined) {
    EXPECT_THAT(DynamicSymbols(GetParam(), "--defined-only"), ElementsAre("QLN_GetPlugin", "QLN_NumPlugins"));
}

TEST_P(Exports, NoLibcurlOfItsOwn) {
    for (const std::string &name : DynamicSymbols(GetParam(), "--undefined-only"))
        EXPECT_NE(name.rfind("curl_", 0), 0u) << name;
    EXPECT_EQ(NeededLibraries(GetParam()).find("libcurl"), std::string::npos);
}

TEST_P(Exports, CarriesItsOwnTinyXml) {
    for (const std::string &name : DynamicSymbols(GetParam(), "--undefined-only"))
        EXPECT_EQ(name.find("TiXml"), std::string::npos) << name;
    EXPECT_EQ(NeededLibraries(GetParam()).find("libtinyxml"), std::string::npos);
}

TEST_P(Exports, EntryPointsResolveThroughDlsym) {
    LoadedLibrary library = LoadPluginLibrary(GetParam());
    EXPECT_EQ(library.numPlugins(), 1);
    ASSERT_NE(library.getPlugin(0), nullptr);
    EXPECT_EQ(std::string(library.getPlugin(0)->id).size(), 38u);
}

INSTANTIATE_TEST_SUITE_P(Plugins, Exports, ::testing::Values(QLN_EZRSS_PATH, QLN_GENERIC_PATH));

TEST(Exports, EveryPluginHasItsOwnId) {
    std::string ez = LoadPluginLibrary(QLN_EZRSS_PATH).getPlugin(0)->id;
    std::string generic = LoadPluginLibrary(QLN_GENERIC_PATH).getPlugin(0)->id;
    EXPECT_NE(ez, generic);
}

} // namespace
