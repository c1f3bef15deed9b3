// Platform layer on Windows: where the folders are, names beyond the system
// code page, the LockFileEx instance lock, replacing writes and the loader.
#include "vorlo/config.h"
#include "vorlo/folder.h"
#include "vorlo/ini.h"
#include "vorlo/library.h"
#include "vorlo/platform.h"

#include "sandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace {

std::string Utf8(const std::wstring &wide) { return std::filesystem::path(wide).u8string(); }

std::string RoamingAppData() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &path)))
        folder = Utf8(path);
    CoTaskMemFree(path);
    return folder;
}

}  // namespace

TEST(WindowsFolders, DataFolderIsQuillonInRoamingAppData) {
    std::string base = RoamingAppData();
    ASSERT_FALSE(base.empty());
    char out[1024];
    ASSERT_TRUE(PlatformDataFolder("Quillon", out, sizeof out));
    EXPECT_EQ(std::string(out), base + "\\Quillon\\");
    EXPECT_TRUE(PlatformFolderExists(out));
    char tiny[8];
    EXPECT_FALSE(PlatformDataFolder("Quillon", tiny, sizeof tiny));
    EXPECT_STREQ(tiny, ".\\");
}

TEST(WindowsFolders, TempProgramAndPrivateTempFolders) {
    char out[1024];
    PlatformTempFolder(out, sizeof out);
    wchar_t temp[MAX_PATH + 1];
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    EXPECT_EQ(std::string(out), Utf8(temp));
    EXPECT_EQ(std::string(out).back(), '\\');

    PlatformProgramFolder(out, sizeof out);
    EXPECT_TRUE(PlatformFileExists((std::string(out) + "vorlo_tests.exe").c_str())) << out;

    // "<temp>quillon\<pid>\": this process's own; ended runs' folders go.
    std::string root = std::string(temp[0] ? Utf8(temp) : "") + "quillon\\";
    ASSERT_TRUE(PlatformPrivateTempFolder(out, sizeof out));
    EXPECT_EQ(std::string(out), root + std::to_string(GetCurrentProcessId()) + "\\");
    std::string file = std::string(out) + "a.nzb";
    FILE *f = PlatformCreateFile(file.c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(fwrite("a\nb", 1, 3, f), 3u);
    std::fclose(f);
    EXPECT_EQ(ReadFileBytes(file), "a\nb");  // binary: no CR added
    errno = 0;
    EXPECT_EQ(PlatformCreateFile(file.c_str()), nullptr);
    EXPECT_EQ(errno, EEXIST);

    ASSERT_TRUE(PlatformMakeFolder((root + "4000000000").c_str()));
    WriteFileBytes(root + "4000000000\\left.nzb", "x");
    PlatformRemoveStaleTempFolders();
    EXPECT_FALSE(PlatformFolderExists((root + "4000000000").c_str()));
    EXPECT_TRUE(PlatformFileExists(file.c_str()));
    PlatformRemovePrivateTempFolder();
    EXPECT_FALSE(PlatformFolderExists(out));
}

// Names are UTF-8 inside and reach the system as UTF-16, whatever the code page.
TEST(WindowsFiles, NamesBeyondTheCodePage) {
    Sandbox box;
    const std::string name = "Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5.nzb";  // "Café ✓ 日.nzb"
    const std::wstring wideName = L"Caf\u00e9 \u2713 \u65e5.nzb";
    FILE *f = PlatformCreateFile(box.File(name).c_str());
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(box.Path()) / wideName));
    EXPECT_TRUE(PlatformFileExists(box.File(name).c_str()));
    ASSERT_TRUE(PlatformMakeFolder(box.File("\xE6\x97\xA5").c_str()));
    EXPECT_EQ(PlatformMoveFile(box.File(name).c_str(), box.File("\xE6\x97\xA5\\" + name).c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(box.Path()) / L"\u65e5" / wideName));
    EXPECT_TRUE(PlatformWriteFileAtomic(box.File(name).c_str(), "new", 3));
    EXPECT_EQ(PlatformMoveFile(box.File(name).c_str(), box.File("\xE6\x97\xA5\\" + name).c_str()), EEXIST);

    // The folder lister, the configuration reader and the INI calls take the
    // same names.
    FileFinder finder(box.File("\xE6\x97\xA5").c_str());
    char entry[1024];
    bool found = false;
    while (finder.Next(entry))
        found = found || name == entry;
    EXPECT_TRUE(found);
    ASSERT_TRUE(PlatformWriteFileAtomic(box.File(name + ".conf").c_str(), "Quill {\n};\n", 12));
    Universal_Config config;
    EXPECT_TRUE(config.LoadFile(box.File(name + ".conf").c_str(), nullptr));
    EXPECT_NE(config.GetSection(nullptr, "Quill"), nullptr);
    EXPECT_EQ(IniWriteString(box.File(name + ".ini").c_str(), "plugins", "ezrss", "1"), 0);
    EXPECT_EQ(IniReadInt(box.File(name + ".ini").c_str(), "plugins", "ezrss", 0), 1);
}

// The replacing write goes through MoveFileExW: the C library's rename
// refuses to replace there.
TEST(WindowsFiles, AtomicWriteReplacesAndLeavesNothingElse) {
    Sandbox box;
    box.Write("main.conf", "old contents, longer than the new\r\n");
    ASSERT_TRUE(PlatformWriteFileAtomic(box.File("main.conf").c_str(), "new\n", 4));
    EXPECT_EQ(box.Read("main.conf"), "new\n");
    size_t entries = 0;
    for (auto &entry : std::filesystem::directory_iterator(box.Path())) {
        (void)entry;
        entries++;
    }
    EXPECT_EQ(entries, 1u);
    box.Write("folder/keep", "x");
    EXPECT_FALSE(PlatformWriteFileAtomic(box.File("folder").c_str(), "x", 1));
    EXPECT_FALSE(PlatformWriteFileAtomic(box.File("none/new.conf").c_str(), "x", 1));
}

// LockFileEx locks belong to one handle: a second open, in this process or
// another, cannot take the lock until the first lets it go.
TEST(WindowsInstanceLock, OneHolderAtATime) {
    Sandbox box;
    std::string lock = box.File("Varnek_Quillon.lock");
    int fd = PlatformAcquireInstanceLock(lock.c_str());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(PlatformAcquireInstanceLock(lock.c_str()), -1);
    PlatformReleaseInstanceLock(fd);
    int again = PlatformAcquireInstanceLock(lock.c_str());
    EXPECT_GE(again, 0);
    PlatformReleaseInstanceLock(again);
    EXPECT_EQ(PlatformAcquireInstanceLock(box.File("no\\such\\folder\\lock").c_str()), -1);
}

// The installer finds a running copy by the named mutex: it exists while an
// instance lock is held, also after a second lock (another data folder) has
// been let go. (Whether it is gone afterwards depends on the other suites
// running beside this one; the installer check covers that.)
TEST(WindowsInstanceLock, TheNamedMutexExistsWhileALockIsHeld) {
    const auto mutexExists = [] {
        HANDLE found = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Varnek_Quillon");
        if (found)
            CloseHandle(found);
        return found != nullptr;
    };
    Sandbox box;
    int first = PlatformAcquireInstanceLock(box.File("one.lock").c_str());
    ASSERT_GE(first, 0);
    EXPECT_TRUE(mutexExists());
    int second = PlatformAcquireInstanceLock(box.File("two.lock").c_str());
    ASSERT_GE(second, 0);
    EXPECT_EQ(PlatformAcquireInstanceLock(box.File("one.lock").c_str()), -1);  // refused: no hold
    PlatformReleaseInstanceLock(second);
    EXPECT_TRUE(mutexExists());
    PlatformReleaseInstanceLock(first);
}

TEST(WindowsLibrary, LoadsBySystemNameAndReportsFailures) {
    LibraryHandle kernel = LibLoad("kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_NE(LibEntry(kernel, "GetCurrentProcessId"), nullptr);
    EXPECT_EQ(LibEntry(kernel, "NoSuchEntryPoint"), nullptr);
    LibFree(kernel);
    Sandbox box;
    EXPECT_EQ(LibLoad(box.File("qln_missing.dll").c_str()), nullptr);
    EXPECT_STRNE(LibError(), "");
}
