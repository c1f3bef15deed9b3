// AccountPluginTest: one account-based plugin library loaded with dlopen and
// initialised with an AccountHost whose plugins.ini (in a Sandbox) holds the
// plugin's account settings and points its section at a FeedServer of
// the test's own. The temporary folder (TMPDIR; TMP and TEMP on Windows) points into the sandbox, so the plugin's temporary
// NZB files (in the process's private folder under it) stay inside it.
#pragma once

#include "account_host.h"
#include "feed_server.h"

#include <sandbox.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

class AccountPluginTest : public ::testing::Test {
protected:
    AccountPluginTest(const char *libraryPath, const char *section, std::string settings)
        : library(LoadPluginLibrary(libraryPath)), section(section), settings(std::move(settings)) {}

    void SetUp() override {
        std::filesystem::create_directories(box.File("tmp"));
        tempOverride = std::make_unique<TempFolderOverride>(box.File("tmp"));
        host = std::make_unique<AccountHost>(box.Path(), box.File("plugins.ini"));
        plugin = library.getPlugin(0);
        ASSERT_NE(plugin, nullptr);
        Reinit(settings);
    }

    void TearDown() override { tempOverride.reset(); }

    // Rewrites the plugin's section with `lines` (CR LF separated "key=value"
    // lines after the service address) and runs Init again.
    void Reinit(const std::string &lines) {
        box.Write("plugins.ini",
                  "[plugins]\r\n[" + section + "]\r\nurl=" + server.Address() + "\r\n" + lines);
        ASSERT_EQ(plugin->Init(0, host->Api()), 0);
    }

    bool Search(const Show &show, int season, int episode) {
        return plugin->Search(&show, season, episode);
    }

    // This process's private temporary folder inside the sandbox's TMPDIR,
    // where the plugins create their NZB files.
    std::string PrivateTemp() const {
        return PrivateTempFolderUnder(box.File("tmp"));
    }

    // Names of the files in the private temporary folder, sorted.
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(PrivateTemp(), error))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    LoadedLibrary library;
    std::string section;
    std::string settings;
    Sandbox box;
    FeedServer server;
    std::unique_ptr<AccountHost> host;
    QLN_PLUGIN *plugin = nullptr;
    std::unique_ptr<TempFolderOverride> tempOverride;
};
