// Download services: the temporary name, fetching with redirects and
// errors, and handing the file on by opening or moving it.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cerrno>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>

#include "checkcycle.h"
#include "checkstate.h"
#include "hostapi.h"
#include "host_fixture.h"
#include "plugapi.h"
#include "settings.h"
#include "test_servers.h"
#include "vorlo/platform.h"

namespace fs = std::filesystem;

namespace {

TEST(DownloadName, Crc32MatchesZlib) {
    for (std::string text : std::vector<std::string>{"", "a", "http://example.com/get.php?id=12345&x=%20",
                             std::string(1000, '\xff')}) {
        uLong expected = crc32(0L, reinterpret_cast<const Bytef *>(text.data()),
                               static_cast<uInt>(text.size()));
        EXPECT_EQ(static_cast<uint32_t>(expected), Crc32(text.data(), text.size())) << text;
    }
}

TEST(DownloadName, ProcessIdCrcOfLowerCasedUrlAndKind) {
    std::string url = "http://Example.COM/Get?ID=7";
    std::string lower = "http://example.com/get?id=7";
    uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(lower.data()),
                      static_cast<uInt>(lower.size()));
    std::string name = "quillon_dl." + std::to_string(getpid()) + "." + std::to_string(crc);
    // This process's private folder: nobody else can create names in it.
    char temp[1024];
    ASSERT_TRUE(PlatformPrivateTempFolder(temp, sizeof temp));
    EXPECT_EQ(temp + name + ".nzb", DownloadTempPath(url.c_str(), false));
    EXPECT_EQ(temp + name + ".torrent", DownloadTempPath(url.c_str(), true));
    EXPECT_EQ(DownloadTempPath(url.c_str(), false), DownloadTempPath(lower.c_str(), false));
}

TEST(DownloadName, LongNamesAreCutAtACharacterBoundaryKeepingTheExtension) {
    std::string title;
    for (int i = 0; i < 150; ++i)
        title += "\xC3\xA9";  // two bytes each
    // 123 whole characters (246 bytes) and the extension.
    EXPECT_EQ(CutFileName(title + ".torrent", 255), title.substr(0, 246) + ".torrent");
    EXPECT_EQ(CutFileName("short.nzb", 255), "short.nzb");

    // A plugin's file name for a 300-byte title is one the file system takes.
    std::vector<char> name(400);
    std::snprintf(name.data(), name.size(), "12345_%s", std::string(300, 'T').c_str());
    GetHostApi()->MakeFileName(name.data(), ".nzb");
    char temp[1024];
    ASSERT_TRUE(PlatformPrivateTempFolder(temp, sizeof temp));
    std::string path = temp + std::string(name.data());
    FILE *file = PlatformCreateFile(path.c_str());
    ASSERT_NE(file, nullptr) << std::strerror(errno);
    std::fclose(file);
    EXPECT_EQ(path.substr(path.size() - 4), ".nzb");
    std::remove(path.c_str());
}

// Every download test gets its own NZB and torrent folders and an HTTP
// server (and, from HostTest, its own $TMPDIR).
class Downloads : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        fs::create_directories(box.File("nzb"));
        fs::create_directories(box.File("torrent"));
        g_settings.NZB_Exec = 0;
        g_settings.Torrent_Exec = 0;
        std::snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "%s", box.File("nzb/").c_str());
        std::snprintf(g_settings.Torrent_Folder, sizeof g_settings.Torrent_Folder, "%s",
                      box.File("torrent/").c_str());
        server.Routes().Get("/file", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(content, "application/x-nzb");
        });
        server.Routes().Get("/missing", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("no such file", "text/plain");
        });
        server.Routes().Get("/FILE", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("upper", "text/plain");
        });
        // /hop/N redirects N times before reaching /file.
        server.Routes().Get(R"(/hop/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
            int n = std::stoi(req.matches[1]);
            res.set_redirect(n > 1 ? server.Url("/hop/" + std::to_string(n - 1)) : server.Url("/file"));
        });
        server.Start();
    }
    static std::string TempFolder() { return fs::path(DownloadTempPath("x", false)).parent_path().string(); }
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (auto &entry : fs::directory_iterator(TempFolder(), ec))
            names.push_back(entry.path().filename().string());
        return names;
    }
    std::string LastDownloadLine() const {
        std::vector<std::string> lines = Texts(LogTarget::Downloads);
        return lines.empty() ? "" : lines.back();
    }

    // Where a file handed to the desktop's program is kept.
    static std::string Handed(const std::string &name) {
        char folder[1024];
        EXPECT_TRUE(PlatformHandedFolder("Quillon", folder, sizeof folder));
        return folder + name;
    }

    std::string content = "<nzb>one</nzb>";
    TestHttpServer server;
};

TEST_F(Downloads, NzbIsMovedIntoTheFolder) {
    std::string url = server.Url("/file");
    ASSERT_TRUE(DownloadFile(url.c_str(), false));
    std::string name = fs::path(DownloadTempPath(url.c_str(), false)).filename().string();
    EXPECT_EQ(content, box.Read("nzb/" + name));
    EXPECT_TRUE(TempFiles().empty());
    std::vector<std::string> lines = Texts(LogTarget::Downloads);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Downloaded " + url, lines[0]);
    EXPECT_EQ("Downloaded NZB to " + box.File("nzb/" + name), lines[1]);
    EXPECT_EQ(std::vector<std::wstring>{L"Downloaded NZB to " + std::wstring(name.begin(), name.end())},
              frontEnd.Balloons());
}

TEST_F(Downloads, TorrentGoesToTheTorrentFolder) {
    std::string url = server.Url("/file");
    ASSERT_TRUE(DownloadFile(url.c_str(), true));
    std::string name = fs::path(DownloadTempPath(url.c_str(), true)).filename().string();
    EXPECT_EQ(".torrent", fs::path(name).extension().string());
    EXPECT_EQ(content, box.Read("torrent/" + name));
    EXPECT_EQ("Downloaded Torrent to " + box.File("torrent/" + name), LastDownloadLine());
    ASSERT_EQ(1u, frontEnd.Balloons().size());
    EXPECT_EQ(L"Downloaded Torrent to " + std::wstring(name.begin(), name.end()), frontEnd.Balloons()[0]);
}

TEST_F(Downloads, HttpErrorLeavesNoTemporaryFile) {
    EXPECT_FALSE(DownloadFile(server.Url("/missing").c_str(), false));
    EXPECT_EQ(std::string("Error downloading file: ") +
                  curl_easy_strerror(CURLE_HTTP_RETURNED_ERROR) + "!",
              LastDownloadLine());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(fs::is_empty(box.File("nzb")));
}

TEST_F(Downloads, ThreeRedirectsFollowedFourRefused) {
    EXPECT_TRUE(DownloadFile(server.Url("/hop/3").c_str(), false));
    EXPECT_FALSE(DownloadFile(server.Url("/hop/4").c_str(), false));
    EXPECT_EQ(std::string("Error downloading file: ") + curl_easy_strerror(CURLE_TOO_MANY_REDIRECTS) + "!",
              LastDownloadLine());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(Downloads, SameUrlTwiceKeepsTheFirstFile) {
    std::string url = server.Url("/file");
    std::string name = fs::path(DownloadTempPath(url.c_str(), false)).filename().string();
    ASSERT_TRUE(DownloadFile(url.c_str(), false));
    content = "<nzb>two</nzb>";
    EXPECT_FALSE(DownloadFile(url.c_str(), false));
    EXPECT_EQ(std::string("Error renaming temp file: ") + std::strerror(EEXIST) + "!", LastDownloadLine());
    EXPECT_EQ("<nzb>one</nzb>", box.Read("nzb/" + name));
    // The second copy stays in the temporary folder.
    EXPECT_EQ("<nzb>two</nzb>", ReadFileBytes(TempFolder() + "/" + name));
    EXPECT_EQ(1u, frontEnd.Balloons().size());
}

TEST_F(Downloads, UrlsDifferingInCaseShareTheTemporaryFile) {
    std::string lower = server.Url("/file"), upper = server.Url("/FILE");
    ASSERT_TRUE(DownloadFile(lower.c_str(), false));
    EXPECT_FALSE(DownloadFile(upper.c_str(), false));  // the same name in the NZB folder
    std::string name = fs::path(DownloadTempPath(lower.c_str(), false)).filename().string();
    EXPECT_EQ("upper", ReadFileBytes(TempFolder() + "/" + name));
}

TEST_F(Downloads, FileUrlIsRefused) {
    box.Write("secret.nzb", "secret");
    EXPECT_FALSE(DownloadFile(FileUrl(box.File("secret.nzb")).c_str(), false));
    EXPECT_EQ(std::string("Error downloading file: ") + curl_easy_strerror(CURLE_UNSUPPORTED_PROTOCOL) + "!",
              LastDownloadLine());
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(fs::is_empty(box.File("nzb")));
}

TEST_F(Downloads, MissingFolderFailsAndKeepsTheTemporaryFile) {
    std::snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "%s",
                  box.File("gone/").c_str());
    std::string url = server.Url("/file");
    EXPECT_FALSE(DownloadFile(url.c_str(), false));
    EXPECT_EQ(std::string("Error renaming temp file: ") + std::strerror(ENOENT) + "!", LastDownloadLine());
    EXPECT_EQ(1u, TempFiles().size());
    EXPECT_TRUE(frontEnd.Balloons().empty());
}

#ifdef _WIN32
// A recording stand-in for the program Windows associates with .nzb files,
// registered for this user while it lives: it writes the path it was asked
// to open into `record`. Wine reads associations only from the machine's
// classes, not the user's: there (and only when the user's registration is
// not seen) it registers in HKEY_CLASSES_ROOT of the test prefix.
class NzbHandler {
public:
    explicit NzbHandler(const std::string &record) {
        std::string command = "cmd.exe /c echo \"%1\">\"" + record + "\"";
        Register(HKEY_CURRENT_USER, L"Software\\Classes\\", command);
        wchar_t seen[512];
        DWORD size = sizeof seen;
        machine = RegGetValueW(HKEY_CLASSES_ROOT, L"QuillonTest.nzb\\shell\\open\\command", nullptr,
                               RRF_RT_REG_SZ, nullptr, seen, &size) != ERROR_SUCCESS;
        if (machine)
            Register(HKEY_CLASSES_ROOT, L"", command);
    }
    ~NzbHandler() {
        Unregister(HKEY_CURRENT_USER, L"Software\\Classes\\");
        if (machine)
            Unregister(HKEY_CLASSES_ROOT, L"");
    }

private:
    static void Register(HKEY root, const std::wstring &base, const std::string &command) {
        Set(root, base + L".nzb", "QuillonTest.nzb");
        Set(root, base + L"QuillonTest.nzb\\shell\\open\\command", command);
    }
    static void Unregister(HKEY root, const std::wstring &base) {
        RegDeleteTreeW(root, (base + L"QuillonTest.nzb").c_str());
        RegDeleteTreeW(root, (base + L".nzb").c_str());
    }
    static void Set(HKEY root, const std::wstring &key, const std::string &value) {
        std::wstring wide(value.begin(), value.end());  // ASCII paths only: the sandbox's
        RegSetKeyValueW(root, key.c_str(), nullptr, REG_SZ, wide.c_str(),
                        static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }

    bool machine = false;
};

TEST_F(Downloads, OpenHandsTheTemporaryFileToItsAssociatedProgram) {
    NzbHandler handler(box.File("opened"));
    g_settings.NZB_Exec = 1;
    std::string url = server.Url("/file");
    EXPECT_TRUE(DownloadFile(url.c_str(), false));
    // The handler's echo line: the quoted path, a line end.
    ASSERT_TRUE(WaitFor([&] { return box.Read("opened").find('\n') != std::string::npos; }));
    std::string kept = Handed(fs::path(DownloadTempPath(url.c_str(), false)).filename().string());
    EXPECT_EQ("\"" + kept + "\"", box.Read("opened").substr(0, kept.size() + 2));
    PlatformRemovePrivateTempFolder();  // what exit does
    EXPECT_EQ(content, ReadFileBytes(kept));
    fs::remove(kept);
    EXPECT_TRUE(fs::is_empty(box.File("nzb")));
    EXPECT_EQ("Opened NZB with the default application: " + kept, LastDownloadLine());
    EXPECT_EQ(1u, frontEnd.Balloons().size());
}
#else
// A recording stand-in for xdg-open, first on PATH while it lives: it writes
// its argument to <sandbox>/opened and ends with `status` (3: no program).
class XdgOpenStandIn {
public:
    XdgOpenStandIn(const Sandbox &box, int status) {
        box.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + box.File("opened.tmp") + "\"\nmv \"" +
                                      box.File("opened.tmp") + "\" \"" + box.File("opened") + "\"\nexit " +
                                      std::to_string(status) + "\n");
        chmod(box.File("bin/xdg-open").c_str(), 0755);
        oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (box.File("bin") + ":" + oldPath).c_str(), 1);
    }
    ~XdgOpenStandIn() { setenv("PATH", oldPath.c_str(), 1); }

private:
    std::string oldPath;
};

TEST_F(Downloads, OpenHandsOverAFileThatOutlivesTheProgram) {
    XdgOpenStandIn opener(box, 0);
    g_settings.NZB_Exec = 1;
    std::string url = server.Url("/file");
    EXPECT_TRUE(DownloadFile(url.c_str(), false));
    ASSERT_TRUE(box.Exists("opened"));  // its verdict was awaited
    std::string kept = Handed(fs::path(DownloadTempPath(url.c_str(), false)).filename().string());
    EXPECT_EQ(kept, box.Read("opened"));
    PlatformRemovePrivateTempFolder();  // what exit does
    EXPECT_EQ(content, ReadFileBytes(kept));
    struct stat st;
    ASSERT_EQ(0, stat(fs::path(kept).parent_path().c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777);
    EXPECT_TRUE(fs::is_empty(box.File("nzb")));
    EXPECT_EQ("Opened NZB with the default application: " + kept, LastDownloadLine());
    std::string name = fs::path(kept).filename().string();
    EXPECT_EQ(std::vector<std::wstring>{L"Opened NZB with the default application: " +
                                        std::wstring(name.begin(), name.end())},
              frontEnd.Balloons());

    // Files handed over days ago are removed at a later start; newer ones stay.
    box.Write("cache/Quillon/opened/old.nzb", "old");
    fs::last_write_time(Handed("old.nzb"), fs::file_time_type::clock::now() - std::chrono::hours(24 * 8));
    RemoveOldHandedFiles(std::time(nullptr));
    EXPECT_FALSE(fs::exists(Handed("old.nzb")));
    EXPECT_TRUE(fs::exists(kept));
}

#endif

TEST_F(Downloads, OpenWithoutAProgramFailsLoudlyAndKeepsTheFile) {
#ifdef _WIN32
    const std::string name = "release.qlnnoprogram";  // no program is associated with it
#else
    const std::string name = "release.nzb";
    XdgOpenStandIn opener(box, 3);  // xdg-open's answer when nothing handles the type
#endif
    g_settings.NZB_Exec = 1;
    box.Write("work/" + name, "nzb");
    EXPECT_FALSE(HandleNzbFile(Native(box.File("work/" + name)).c_str()));
    std::string line = "Error opening NZB with the default application: no program took " + Handed(name);
    EXPECT_EQ(line, LastDownloadLine());
    EXPECT_TRUE(HasText(LogTarget::Log, line));
    EXPECT_EQ("nzb", ReadFileBytes(Handed(name)));
    EXPECT_TRUE(frontEnd.Balloons().empty());
    fs::remove(Handed(name));
}

TEST_F(Downloads, HandleNzbFileWithABarePath) {
    // A name without any folder is moved under its whole text.
    box.Write("work/bare.nzb", "bare");
    std::string cwd = fs::current_path().string();
    fs::current_path(box.File("work"));
    bool moved = HandleNzbFile("bare.nzb");
    fs::current_path(cwd);
    EXPECT_TRUE(moved);
    EXPECT_EQ("bare", box.Read("nzb/bare.nzb"));
}

TEST_F(Downloads, MoveAcrossFileSystems) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a second file system at a known place (/dev/shm on Linux)";
#else
    // /dev/shm is a separate tmpfs on most Linux systems.
    struct stat shm {}, sandbox {};
    if (stat("/dev/shm", &shm) != 0 || stat(box.Path().c_str(), &sandbox) != 0 ||
        shm.st_dev == sandbox.st_dev || access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system to move from";
    std::string source = "/dev/shm/quillon_test." + std::to_string(getpid()) + ".nzb";
    WriteFileBytes(source, "across");
    ASSERT_TRUE(HandleNzbFile(source.c_str()));
    std::string name = fs::path(source).filename().string();
    EXPECT_EQ("across", box.Read("nzb/" + name));
    EXPECT_FALSE(fs::exists(source));

    // An existing file is not replaced across file systems either.
    WriteFileBytes(source, "second");
    EXPECT_FALSE(HandleNzbFile(source.c_str()));
    EXPECT_EQ("across", box.Read("nzb/" + name));
    EXPECT_EQ("second", ReadFileBytes(source));
    fs::remove(source);
#endif
}

TEST_F(Downloads, ShutdownEndsAStalledDownload) {
    StalledServer stalled;
    auto download = std::async(std::launch::async, [&] {
        return DownloadFile(stalled.Url("/x.nzb").c_str(), false);
    });
    ASSERT_TRUE(WaitFor([&] { return stalled.Accepted() > 0; }));
    shuttingDown = true;
    // Generously bounded: it ends within about a second.
    ASSERT_EQ(std::future_status::ready, download.wait_for(std::chrono::seconds(60)));
    EXPECT_FALSE(download.get());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(Downloads, StopScanEndsAStalledDownload) {
    StalledServer stalled;
    auto download = std::async(std::launch::async, [&] {
        return DownloadFile(stalled.Url("/x.nzb").c_str(), false);
    });
    ASSERT_TRUE(WaitFor([&] { return stalled.Accepted() > 0; }));
    RequestStopScan();
    // Generously bounded: it ends within about a second (not the 300-second stall guard).
    ASSERT_EQ(std::future_status::ready, download.wait_for(std::chrono::seconds(60)));
    EXPECT_FALSE(download.get());
    EXPECT_TRUE(TempFiles().empty());
    // A plugin's wait for a service's pause ends as well.
    auto sleep = std::async(std::launch::async, [] { GetHostApi()->SleepSeconds(600); });
    EXPECT_EQ(std::future_status::ready, sleep.wait_for(std::chrono::seconds(60)));
}

TEST_F(Downloads, NamesOthersPlantedInTheSharedTemporaryFolderAreNotUsed) {
#ifdef _WIN32
    GTEST_SKIP() << "the temporary folder is the user's own on Windows (no shared /tmp where "
                    "others could plant links), and symbolic links need a privilege there";
#else
    std::string url = server.Url("/file");
    std::string name = fs::path(DownloadTempPath(url.c_str(), false)).filename().string();
    // Another local user's link under the name the download would have in
    // the shared folder, pointing at one of this user's files.
    box.Write("victim", "mine");
    ASSERT_EQ(0, symlink(box.File("victim").c_str(), box.File("tmp/" + name).c_str()));
    mode_t old = umask(022);
    ASSERT_TRUE(DownloadFile(url.c_str(), false));
    umask(old);
    EXPECT_EQ("mine", box.Read("victim"));
    EXPECT_EQ(content, box.Read("nzb/" + name));
    struct stat st;
    ASSERT_EQ(0, stat(box.File("nzb/" + name).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
#endif
}

}  // namespace
