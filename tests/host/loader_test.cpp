// Plugin loader: which files are taken, which descriptors register, the
// 16 slots, the enabled flags from plugins.ini, and unloading.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "hostapi.h"
#include "host_fixture.h"
#include "loader.h"
#include "settings.h"

namespace {

using Loader = HostTest;

const char *kBasicId = "{6A0E2C1D-1111-4C2B-9D41-000000000001}";

// The library suffix of the other system, which the loader must not take.
#ifdef _WIN32
const char *kOtherSuffix = ".so";
#else
const char *kOtherSuffix = ".dll";
#endif

std::string Upper(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Every second letter upper case: ".So", ".DlL".
std::string MixedCase(std::string text) {
    for (size_t i = 1; i < text.size(); i += 2)
        text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    return text;
}

TEST(PluginFileName, PrefixAndLastExtensionInAnyCase) {
    // Names are built from this system's library suffix (".so", ".dll").
    const std::string suffix = kLibrarySuffix, upper = Upper(suffix), other = Upper(kOtherSuffix);
    EXPECT_TRUE(IsPluginFileName(Lib("qln_basic").c_str()));
    EXPECT_TRUE(IsPluginFileName(("QLN_Name" + upper).c_str()));
    EXPECT_TRUE(IsPluginFileName(("Qln_x.tar" + MixedCase(suffix)).c_str()));
    EXPECT_FALSE(IsPluginFileName(("qln_x" + suffix + ".bak").c_str()));
    EXPECT_FALSE(IsPluginFileName(("libqln_x" + suffix).c_str()));
    EXPECT_FALSE(IsPluginFileName(("qln_x" + other).c_str()));  // the other system's libraries
    EXPECT_FALSE(IsPluginFileName("qln_x"));
    EXPECT_FALSE(IsPluginFileName("qln"));
    EXPECT_FALSE(IsPluginFileName("."));
    EXPECT_FALSE(IsPluginFileName(nullptr));
}

TEST_F(Loader, FolderLoadsOnlyPluginNames) {
    std::string name = "QLN_Name" + Upper(kLibrarySuffix);
    CopyPlugin(Lib("qln_basic"), "plugins", name);
    CopyPlugin(Lib("qln_other"), "plugins", Lib("qln_x") + ".bak");
    CopyPlugin(Lib("qln_other"), "plugins", Lib("other"));
    LoadPluginFolder(box.File("plugins").c_str());  // no trailing '/'

    std::vector<std::string> log = Texts(LogTarget::Log);
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ("Attempting to load plugin: " + box.File(Native("plugins/") + name), log[0]);
    EXPECT_EQ("init basic 0", log[1]);
    EXPECT_EQ("Plugin loaded successfully!", log[2]);
    EXPECT_EQ(1, GetPluginCount());
    EXPECT_EQ(1, LoadedLibraryCount());
}

TEST_F(Loader, MissingFolderIsSilent) {
    LoadPluginFolder(box.File("nowhere/").c_str());
    EXPECT_TRUE(Texts(LogTarget::Log).empty());
}

TEST_F(Loader, RefusedLibrariesAreUnloadedWithOneMessage) {
    for (const std::string &library : {Lib("qln_nogetplugin"), Lib("qln_zerocount"), Lib("qln_version2"),
                                       Lib("qln_initfail")}) {
        SCOPED_TRACE(library);
        frontEnd.Clear();
        std::string path = CopyPlugin(library, "plugins", library);
        EXPECT_FALSE(LoadPlugin(path.c_str()));
        std::vector<std::string> log = Texts(LogTarget::Log);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ("Attempting to load plugin: " + path, log.front());
        EXPECT_EQ("Could not load plugin!", log.back());
        EXPECT_EQ(0, GetPluginCount());
        EXPECT_EQ(0, LoadedLibraryCount());
    }
    // Init ran for the failing plugin, but it was never registered: no Shutdown.
    EXPECT_TRUE(HasText(LogTarget::Log, "init initfail 0"));
    UnloadPlugins();
    EXPECT_FALSE(HasText(LogTarget::Log, "shutdown initfail"));
}

TEST_F(Loader, NotALibrary) {
    box.Write("plugins/" + Lib("qln_junk"), "not a library");
    EXPECT_FALSE(LoadPlugin(box.File("plugins/" + Lib("qln_junk")).c_str()));
    EXPECT_EQ("Could not load plugin!", Texts(LogTarget::Log).back());
}

TEST_F(Loader, SameIdInOtherCaseIsRefused) {
    EXPECT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_basic"), "a", Lib("qln_basic")).c_str()));
    EXPECT_FALSE(LoadPlugin(CopyPlugin(Lib("qln_basiccopy"), "b", Lib("qln_basiccopy")).c_str()));
    std::vector<std::string> log = Texts(LogTarget::Log);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ("Another copy of this plugin is already loaded!", log[log.size() - 2]);
    EXPECT_EQ("Could not load plugin!", log.back());
    EXPECT_FALSE(HasText(LogTarget::Log, "init basiccopy 0"));  // refused before Init
    EXPECT_EQ(1, GetPluginCount());
    EXPECT_EQ(1, LoadedLibraryCount());
}

TEST_F(Loader, SeventeenthPluginIsRefused) {
    // One library offering 16 plugins, then a 17th in another library.
    EXPECT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_sixteen"), "p", Lib("qln_sixteen")).c_str()));
    EXPECT_EQ(16, GetPluginCount());
    EXPECT_FALSE(LoadPlugin(CopyPlugin(Lib("qln_other"), "p", Lib("qln_other")).c_str()));
    std::vector<std::string> log = Texts(LogTarget::Log);
    EXPECT_EQ("Too many plugins loaded already!", log[log.size() - 2]);
    EXPECT_EQ("Could not load plugin!", log.back());
    EXPECT_EQ(16, GetPluginCount());
    EXPECT_EQ(1, LoadedLibraryCount());
    for (int i = 0; i < 16; ++i) {
        ASSERT_NE(nullptr, GetLoadedPlugin(i));
        EXPECT_EQ(g_pluginSlots[i].plugin, GetLoadedPlugin(i));
        EXPECT_EQ(g_pluginSlots[i].library, GetLoadedPlugin(i)->module);
    }
    EXPECT_EQ(nullptr, GetLoadedPlugin(16));
    EXPECT_EQ(nullptr, GetLoadedPlugin(-1));
    EXPECT_EQ(-1, FindPluginSlot("{00000000-0000-0000-0000-000000000000}"));
}

TEST_F(Loader, EnabledFlagFromPluginsIni) {
    box.Write("plugins.ini", std::string("[plugins]\r\n") + kBasicId + "=1\r\n");
    ASSERT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_basic"), "p", Lib("qln_basic")).c_str()));
    ASSERT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_other"), "p", Lib("qln_other")).c_str()));  // no entry
    EXPECT_EQ(1, g_pluginSlots[0].enabled);
    EXPECT_EQ(0, g_pluginSlots[1].enabled);
    EXPECT_EQ(2, GetPluginCount());
    EXPECT_EQ(1, CountEnabledPlugins());
}

TEST_F(Loader, InitGetsIndexAndTheOneHostTable) {
    ASSERT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_scriptA"), "p", Lib("qln_scriptA")).c_str()));
    auto host = reinterpret_cast<const QLN_HOST_API *(*)()>(
        LibEntry(g_pluginSlots[0].library, "Script_Host"));
    ASSERT_NE(nullptr, host);
    EXPECT_EQ(GetHostApi(), host());
    EXPECT_STREQ(g_paths.DataFolder, host()->DataFolder);
    EXPECT_STREQ(g_paths.PluginsIni, host()->PluginsIniPath);
}

TEST_F(Loader, UnloadCallsEveryShutdownThenFreesEachLibraryOnce) {
    ASSERT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_sixteen"), "p", Lib("qln_sixteen")).c_str()));
    UnloadPlugins();
    EXPECT_EQ(16, CountText(LogTarget::Log, "shutdown sixteen"));
    EXPECT_EQ(0, GetPluginCount());
    EXPECT_EQ(0, LoadedLibraryCount());
    EXPECT_EQ(nullptr, GetLoadedPlugin(0));
    // Slots are free again.
    EXPECT_EQ(0, FindPluginSlot(kBasicId));
}

}  // namespace
