// The host's side of magnet links: the appended HandleMagnet entry, how a
// plugin learns that the host has it, and the hand-over itself (the desktop's
// handler, or "<title>.magnet" written whole into the torrent folder).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "host_fixture.h"
#include "hostapi.h"
#include "plugapi.h"
#include "settings.h"

namespace fs = std::filesystem;

namespace {

const char *const kMagnet =
    "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=Show.S01E01.720p&tr=udp://t.example:80/a?x=1";

QLN_PLUGIN *NothingForNegatives(int) { return nullptr; }

TEST(MagnetEntry, PluginsCanAskWhetherTheHostHasIt) {
    const QLN_HOST_API *api = GetHostApi();
    EXPECT_TRUE(QLN_HostHasEntry(api, offsetof(QLN_HOST_API, HandleMagnet)));
    EXPECT_EQ(api->HandleMagnet, &HandleMagnet);
    EXPECT_TRUE(QLN_HostHasEntry(api, offsetof(QLN_HOST_API, Mem)));
    EXPECT_FALSE(QLN_HostHasEntry(api, sizeof(QLN_HOST_API))) << "no entry past this header's table";
    QLN_PLUGIN *marker = api->GetLoadedPlugin(QLN_HOST_ENTRY_PROBE - 19);
    ASSERT_NE(marker, nullptr);
    EXPECT_NE(marker->version, QLN_INTERFACE_VERSION) << "the marker is never taken for a plugin";
    EXPECT_EQ(api->GetLoadedPlugin(QLN_HOST_ENTRY_PROBE - QLN_HOST_ENTRY_COUNT), nullptr);
    EXPECT_EQ(api->GetLoadedPlugin(-1), nullptr);
    // A host from before the entry answers null for every negative index.
    QLN_HOST_API older = *api;
    older.GetLoadedPlugin = NothingForNegatives;
    EXPECT_FALSE(QLN_HostHasEntry(&older, offsetof(QLN_HOST_API, HandleMagnet)));
    EXPECT_TRUE(QLN_HostHasEntry(&older, offsetof(QLN_HOST_API, IsSeen)));
}

class Magnets : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        fs::create_directories(box.File("torrent"));
        g_settings.Torrent_Exec = 0;
        std::snprintf(g_settings.Torrent_Folder, sizeof g_settings.Torrent_Folder, "%s",
                      box.File("torrent/").c_str());
    }
    std::vector<std::string> Folder() const {
        std::vector<std::string> names;
        for (auto &entry : fs::directory_iterator(box.File("torrent")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Magnets, WatchFolderGetsTheLinkWholeUnderTheTitle) {
    ASSERT_TRUE(HandleMagnet(kMagnet, "Show S01E01 (720p)/x"));
    EXPECT_EQ(Folder(), std::vector<std::string>{"Show_S01E01__720p__x.magnet"});
    EXPECT_EQ(box.Read("torrent/Show_S01E01__720p__x.magnet"), std::string(kMagnet) + "\n");
    struct stat st {};
    ASSERT_EQ(stat(box.File("torrent/Show_S01E01__720p__x.magnet").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Downloaded Magnet to " + box.File("torrent/Show_S01E01__720p__x.magnet")));
    ASSERT_EQ(frontEnd.Balloons().size(), 1u);
    EXPECT_EQ(Narrow(frontEnd.Balloons()[0]), "Downloaded Magnet to Show_S01E01__720p__x.magnet");
    // Dotted titles and hidden names.
    ASSERT_TRUE(HandleMagnet(kMagnet, "Show.S01E02.720p"));
    ASSERT_TRUE(HandleMagnet(kMagnet, "..hidden"));
    EXPECT_EQ(Folder(), (std::vector<std::string>{"Show.S01E02.720p.magnet", "Show_S01E01__720p__x.magnet",
                                                  "_.hidden.magnet"}));
}

TEST_F(Magnets, AnExistingFileIsNeverReplacedAndNothingIsLeftBehind) {
    box.Write("torrent/Show.S01E01.magnet", "mine\n");
    EXPECT_FALSE(HandleMagnet(kMagnet, "Show.S01E01"));
    EXPECT_EQ(box.Read("torrent/Show.S01E01.magnet"), "mine\n");
    EXPECT_EQ(Folder(), std::vector<std::string>{"Show.S01E01.magnet"});
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Error renaming temp file: File exists!"));
    // A missing folder fails with a line too.
    std::snprintf(g_settings.Torrent_Folder, sizeof g_settings.Torrent_Folder, "%s", box.File("gone/").c_str());
    EXPECT_FALSE(HandleMagnet(kMagnet, "Show.S01E02"));
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Error writing magnet file: No such file or directory!"));
}

TEST_F(Magnets, OnlyMagnetLinksOfOneLineAreTaken) {
    for (const char *uri : {"http://example.com/x.torrent", "file:///etc/passwd", "magnet:?xt=a\tb",
                            "magnet:?xt=a\nrm -rf", "magnet:?xt=\x7f", ""}) {
        EXPECT_FALSE(HandleMagnet(uri, "Show.S01E01")) << uri;
    }
    EXPECT_FALSE(HandleMagnet(nullptr, "Show.S01E01"));
    EXPECT_TRUE(Folder().empty());
    EXPECT_EQ(CountText(LogTarget::Downloads, "Refused a link that is not a magnet link"), 7);
    EXPECT_TRUE(HandleMagnet("MAGNET:?xt=urn:btih:aa&dn=Show Name \xc3\xa9", nullptr));
    EXPECT_EQ(Folder(), std::vector<std::string>{"magnet.magnet"});
    EXPECT_EQ(box.Read("torrent/magnet.magnet"), "MAGNET:?xt=urn:btih:aa&dn=Show%20Name%20\xc3\xa9\n");
}

TEST_F(Magnets, OpenModeHandsTheLinkToTheDesktopHandler) {
    box.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + box.File("opened.tmp") + "\"\nmv \"" +
                                  box.File("opened.tmp") + "\" \"" + box.File("opened") + "\"\n");
    chmod(box.File("bin/xdg-open").c_str(), 0755);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (box.File("bin") + ":" + oldPath).c_str(), 1);
    g_settings.Torrent_Exec = 1;
    EXPECT_TRUE(HandleMagnet(kMagnet, "Show.S01E01"));
    bool opened = WaitFor([&] { return box.Exists("opened"); });
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(opened);
    EXPECT_EQ(box.Read("opened"), kMagnet);
    EXPECT_TRUE(Folder().empty());
    EXPECT_TRUE(HasText(LogTarget::Downloads, "Opened magnet link for Show.S01E01"));
}

}  // namespace
