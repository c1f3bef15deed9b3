// PluginTest: one plugin library loaded with dlopen, initialised with a
// FakeHost whose plugins.ini (in a Sandbox) points the plugin's section at a
// FeedServer of the test's own.
#pragma once

#include "fake_host.h"
#include "feed_server.h"

#include <sandbox.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

class PluginTest : public ::testing::Test {
protected:
    PluginTest(const char *libraryPath, const char *section)
        : library(LoadPluginLibrary(libraryPath)), section(section) {}

    void SetUp() override {
        box.Write("plugins.ini", "[plugins]\r\n[" + section + "]\r\nurl=" + server.Address() + "\r\n");
        host = std::make_unique<FakeHost>(box.Path(), box.File("plugins.ini"));
        plugin = library.getPlugin(0);
        ASSERT_NE(plugin, nullptr);
        ASSERT_NE(plugin->Init, nullptr);
        ASSERT_EQ(plugin->Init(0, host->Api()), 0);
    }

    bool Search(const Show &show, int season, int episode) {
        return plugin->Search(&show, season, episode);
    }

    LoadedLibrary library;
    std::string section;
    Sandbox box;
    FeedServer server;
    std::unique_ptr<FakeHost> host;
    QLN_PLUGIN *plugin = nullptr;
};
