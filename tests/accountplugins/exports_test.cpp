// Both account-based plugin libraries export their two entry points and
// nothing else, and reach libcurl only through the host.
#include "fake_host.h"
#include "library_symbols.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class AccountExports : public ::testing::TestWithParam<const char *> {};

TEST_P(AccountExports, OnlyTheTwoEntryPointsAndNoLibcurl) {
    EXPECT_THAT(DynamicSymbols(GetParam(), "--defined-only"),
                ::testing::ElementsAre("QLN_GetPlugin", "QLN_NumPlugins"));
    for (const std::string &name : DynamicSymbols(GetParam(), "--undefined-only"))
        EXPECT_NE(name.rfind("curl_", 0), 0u) << name;
    EXPECT_EQ(NeededLibraries(GetParam()).find("libcurl"), std::string::npos);
    LoadedLibrary library = LoadPluginLibrary(GetParam());
    EXPECT_EQ(library.numPlugins(), 1);
    EXPECT_EQ(std::string(library.getPlugin(0)->id).size(), 38u);
}

INSTANTIATE_TEST_SUITE_P(Plugins, AccountExports, ::testing::Values(QLN_NEWZBIN_PATH, QLN_NZBMATRIX_PATH));

TEST(AccountExports, EachPluginHasItsOwnId) {
    EXPECT_STRNE(LoadPluginLibrary(QLN_NEWZBIN_PATH).getPlugin(0)->id,
                 LoadPluginLibrary(QLN_NZBMATRIX_PATH).getPlugin(0)->id);
}

} // namespace
