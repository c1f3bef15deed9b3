// AccountPluginTest: one account-based plugin library loaded with dlopen and
// initialised with an AccountHost whose plugins.ini (in a Sandbox) holds the
// plugin's account settings and points its section at a ServiceServer of
// the test's own. TMPDIR points into the sandbox, so the plugin's temporary
// NZB files stay inside it.
#pragma once

#include "account_host.h"
#include "service_server.h"

#include <sandbox.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class AccountPluginTest : public ::testing::Test {
protected:
    AccountPluginTest(const char *libraryPath, const char *section, std::string settings)
        : library(LoadPluginLibrary(libraryPath)), section(section), settings(std::move(settings)) {}

    void SetUp() override {
        std::filesystem::create_directories(box.File("tmp"));
        if (const char *tmp = std::getenv("TMPDIR"))
            oldTmp = tmp, hadTmp = true;
        setenv("TMPDIR", box.File("tmp").c_str(), 1);
        host = std::make_unique<AccountHost>(box.Path(), box.File("plugins.ini"));
        plugin = library.getPlugin(0);
        ASSERT_NE(plugin, nullptr);
        Reinit(settings);
    }

    void TearDown() override {
        if (hadTmp)
            setenv("TMPDIR", oldTmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

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

    // Names of the files in the temporary folder, sorted.
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(box.File("tmp")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    LoadedLibrary library;
    std::string section;
    std::string settings;
    Sandbox box;
    ServiceServer server;
    std::unique_ptr<AccountHost> host;
    QLN_PLUGIN *plugin = nullptr;
    std::string oldTmp;
    bool hadTmp = false;
};
