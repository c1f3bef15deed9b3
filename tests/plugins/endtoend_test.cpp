// The whole road of an episode: quillon-headless with the real qln_ezRSS.so
// and qln_generic.so from its plugin folder, a local index server, and two
// due shows, one found on the torrent feed and one on the NZB index.
#include "fake_host.h"
#include "feed_server.h"

#include <sandbox.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

// Runs quillon-headless with `args` and TMPDIR set to `tempFolder`; returns
// its standard output once it has exited, and its exit status.
std::string RunHeadless(const std::vector<std::string> &args, const std::string &tempFolder, int *status) {
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        setenv("TMPDIR", tempFolder.c_str(), 1);
        std::vector<std::string> copy = args;
        std::string program = QUILLON_HEADLESS_PATH;
        std::vector<char *> argv{program.data()};
        for (std::string &arg : copy)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string output;
    char block[4096];
    ssize_t n;
    while ((n = read(fds[0], block, sizeof block)) > 0)
        output.append(block, size_t(n));
    close(fds[0]);
    waitpid(pid, status, 0);
    return output;
}

// The single regular file in `folder`, or an empty path.
fs::path OnlyFile(const std::string &folder) {
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    return files.size() == 1 ? files[0] : fs::path();
}

TEST(EndToEnd, DueShowsAreFoundDeliveredMarkedAndAdvanced) {
    Sandbox box;
    FeedServer server;
    const std::string ezId = LoadPluginLibrary(QLN_EZRSS_PATH).getPlugin(0)->id;
    const std::string genericId = LoadPluginLibrary(QLN_GENERIC_PATH).getPlugin(0)->id;
    const std::string torrent = "d8:announce9:127.0.0.1e";
    const std::string nzb = "<?xml version=\"1.0\"?><nzb/>";

    // The torrent feed lists Alpha 1x02 whatever it is asked; the NZB index
    // knows only Beta S02E05 and answers every other query with no items.
    server.Serve("/search/index.php",
                 RssFeed({RssItem("Alpha 1x01 HDTV", (server.Address() + "/files/old.torrent").c_str()),
                          RssItem("Alpha 1x02 HDTV", (server.Address() + "/files/alpha.torrent").c_str())}));
    server.Serve("/rss/", RssFeed({}));
    server.ServeTarget("/rss/?q=Beta%20S02E05&sort=agedesc&max=25&minsize=100&complete=1&more=1&hidespam=1",
                       RssFeed({"<item><title>Beta.S02E05.720p</title><link>" + server.Address() +
                                "/nowhere</link><enclosure url=\"" + server.Address() +
                                "/files/beta.nzb\" type=\"application/x-nzb\"/></item>"}));
    server.Serve("/files/alpha.torrent", torrent);
    server.Serve("/files/beta.nzb", nzb);

    for (const char *folder : {"torrents", "nzbs", "tmp"})
        fs::create_directories(box.File(folder));
    box.Write("data/main.conf", "Quill {\n\tAutoScan 0\n\tNZB_Exec 0\n\tTorrent_Exec 0\n"
                                "\tNZB_Folder " + box.File("nzbs/") + "\n"
                                "\tTorrent_Folder " + box.File("torrents/") + "\n};\n");
    box.Write("data/shows.conf", "Shows {\n"
                                 "\tShow0 {\n\t\tShowName Alpha\n\t\tSeason 1\n\t\tEpisode 2\n\t};\n"
                                 "\tShow1 {\n\t\tShowName Beta\n\t\tSeason 2\n\t\tEpisode 5\n\t};\n"
                                 "};\n");
    box.Write("data/plugins.ini", "[plugins]\r\n" + ezId + "=1\r\n" + genericId + "=1\r\n"
                                  "[ezrss]\r\nurl=" + server.Address() + "\r\n"
                                  "[generic]\r\nurl=" + server.Address() + "/\r\n");

    int status = -1;
    std::string output =
        RunHeadless({"--data", box.File("data"), "--scan-now", "--passes", "1"}, box.File("tmp"), &status);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_THAT(output, HasSubstr("Torrent downloaded!"));
    EXPECT_THAT(output, HasSubstr("NZB downloaded!"));
    EXPECT_THAT(output, HasSubstr("Checking complete!"));

    // The files were moved into the user's folders.
    fs::path torrentFile = OnlyFile(box.File("torrents"));
    fs::path nzbFile = OnlyFile(box.File("nzbs"));
    ASSERT_FALSE(torrentFile.empty()) << output;
    ASSERT_FALSE(nzbFile.empty()) << output;
    EXPECT_EQ(ReadFileBytes(torrentFile.string()), torrent);
    EXPECT_EQ(ReadFileBytes(nzbFile.string()), nzb);
    EXPECT_EQ(torrentFile.extension(), ".torrent");
    EXPECT_EQ(nzbFile.extension(), ".nzb");

    // Seen list and show list were saved, each show one episode further.
    std::string seen = box.Read("data/seen.conf");
    EXPECT_THAT(seen, HasSubstr("Alpha 1x02 HDTV="));
    EXPECT_THAT(seen, HasSubstr("Beta.S02E05.720p="));
    EXPECT_THAT(seen, ::testing::Not(HasSubstr("Alpha 1x01")));
    std::string shows = box.Read("data/shows.conf");
    EXPECT_THAT(shows, HasSubstr("\t\tShowName Alpha\n\t\tSkip 0\n\t\tPause 0\n\t\tHD_Only 0\n\t\tSeason 1\n"
                                 "\t\tEpisode 3\n"));
    EXPECT_THAT(shows, HasSubstr("\t\tShowName Beta\n\t\tSkip 0\n\t\tPause 0\n\t\tHD_Only 0\n\t\tSeason 2\n"
                                 "\t\tEpisode 6\n"));

    // The torrent plugin kept its last answer in the data folder.
    EXPECT_THAT(box.Read("data/out.txt"), HasSubstr("Alpha 1x02 HDTV"));
}

} // namespace
