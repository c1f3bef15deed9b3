// Both account-based plugin libraries export their two entry points and
// nothing else, and reach libcurl only through the host.
#include "fake_host.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string RunCommand(const std::string &command) {
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char block[4096];
        size_t n;
        while ((n = fread(block, 1, sizeof block, pipe)) > 0)
            output.append(block, n);
        pclose(pipe);
    }
    return output;
}

std::set<std::string> DynamicSymbols(const std::string &library, const char *which) {
    std::istringstream lines(RunCommand("nm -D " + std::string(which) + " '" + library + "'"));
    std::set<std::string> names;
    std::string line, word, last;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        while (words >> word)
            last = word;
        names.insert(last.substr(0, last.find('@')));
    }
    return names;
}

class AccountExports : public ::testing::TestWithParam<const char *> {};

TEST_P(AccountExports, OnlyTheTwoEntryPointsAndNoLibcurl) {
    EXPECT_THAT(DynamicSymbols(GetParam(), "--defined-only"),
                ::testing::ElementsAre("QLN_GetPlugin", "QLN_NumPlugins"));
    for (const std::string &name : DynamicSymbols(GetParam(), "--undefined-only"))
        EXPECT_NE(name.rfind("curl_", 0), 0u) << name;
    EXPECT_EQ(RunCommand("readelf -d '" + std::string(GetParam()) + "'").find("libcurl"), std::string::npos);
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
