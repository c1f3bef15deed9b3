#include "program_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "vorlo/platform.h"

namespace fs = std::filesystem;

const char *const kEzRssId = "{6E0B3C1A-9D42-4F7B-A8E5-2C71D94B0F63}";
const char *const kGenericId = "{B4F19E27-53C8-4A06-9D1E-7A8C02E6F5B9}";
const char *const kNewzbinId = "{3C9E5A71-0B2D-4E8F-9A16-D47B28C05E93}";
const char *const kNzbMatrixId = "{A81F4D26-7C3B-4B95-8E02-5D6F19B3C7A4}";

#ifdef _WIN32
const char *const kPluginSuffix = ".dll";
#else
const char *const kPluginSuffix = ".so";
#endif

namespace {

bool EqualsNoCase(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsPluginName(const std::string &name) {
    size_t dot = name.rfind('.');
    return name.size() >= 7 && EqualsNoCase(name.substr(0, 4), "qln_") && dot != std::string::npos &&
           EqualsNoCase(name.substr(dot), kPluginSuffix);
}

}  // namespace

std::string PluginFile(const std::string &name) { return "qln_" + name + kPluginSuffix; }

// The directory iterator lists a folder in the system's own order (readdir,
// FindFirstFileW), as the host's loader does.
std::vector<std::string> PluginLoadOrder(const std::string &program) {
    std::vector<std::string> order;
    std::error_code error;
    for (auto &entry : fs::directory_iterator(fs::u8path(program).parent_path() / "plugins", error)) {
        std::string name = entry.path().filename().u8string();
        if (IsPluginName(name))
            order.push_back(name);
    }
    return order;
}

Home::Home(const std::string &inner) : root(inner.empty() ? inner : inner + "/") {
    data = Below("xdg/Quillon/");
    nzb = Below("nzb/");
    torrents = Below("torrents/");
    tmp = Below("tmp/");
    work = Below("work/");
    xdgLog = Below("xdg-open.log");
    for (const std::string &folder : {data, nzb, torrents, tmp, work, Below("bin/"), Below("run/")})
        fs::create_directories(fs::u8path(folder));
    InstallOpenRecorder();
}

std::string Home::Below(const std::string &relative) const {
    std::string path = box.Path() + root + relative;
    std::replace(path.begin(), path.end(), '/', kPathSeparator);
    return path;
}

std::vector<std::string> Home::AllFiles() const {
    std::vector<std::string> files;
    std::error_code error;
    for (auto &entry : fs::recursive_directory_iterator(fs::u8path(box.Path()), error)) {
        if (!entry.is_regular_file())
            continue;
        std::string relative = fs::relative(entry.path(), fs::u8path(box.Path())).generic_u8string();
        if (relative.rfind("bin/", 0) == 0 || relative == "xdg-open.log")
            continue;
        files.push_back(relative);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> Home::List(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto &entry : fs::directory_iterator(fs::u8path(folder), error))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Home::FilesBelow(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto &entry : fs::recursive_directory_iterator(fs::u8path(folder), error))
        if (!entry.is_directory())
            names.push_back(fs::relative(entry.path(), fs::u8path(folder)).generic_u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Home::XdgOpenCalls() const {
    std::vector<std::string> calls;
    std::istringstream in(ReadAll(xdgLog));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        calls.push_back(line);
    }
    return calls;
}

std::string ShowsConfText(const std::vector<ShowEntry> &shows) {
    std::string text = "Shows {\n";
    for (size_t i = 0; i < shows.size(); ++i) {
        const ShowEntry &s = shows[i];
        text += "\tShow" + std::to_string(i) + " {\n";
        text += "\t\tShowName " + s.name + "\n";
        if (!s.keywords.empty())
            text += "\t\tKeywords " + s.keywords + "\n";
        text += "\t\tSkip " + std::to_string(s.skip) + "\n";
        text += "\t\tPause " + std::to_string(s.pause) + "\n";
        text += "\t\tHD_Only " + std::to_string(s.hd) + "\n";
        text += "\t\tSeason " + std::to_string(s.season) + "\n";
        text += "\t\tEpisode " + std::to_string(s.episode) + "\n";
        if (s.nextSearch != 0)
            text += "\t\tNextSearch " + std::to_string(static_cast<int32_t>(s.nextSearch)) + "\n";
        text += "\t};\n";
    }
    text += "};\n\n";
    return text;
}

std::string MainConfText(int autoScan, int interval, int nzbExec, int torrentExec,
                         const std::string &nzbFolder, const std::string &torrentFolder) {
    return "Quill {\n\tAutoScan " + std::to_string(autoScan) + "\n\tSecondsBetweenScans " +
           std::to_string(interval) + "\n\tminimizeToTray 0\n\tconfirmExit 1\n\tNZB_Exec " +
           std::to_string(nzbExec) + "\n\tTorrent_Exec " + std::to_string(torrentExec) +
           "\n\tNZB_Folder " + nzbFolder + "\n\tTorrent_Folder " + torrentFolder + "\n};\n\n";
}

std::string PluginsIniText(const PluginSetup &s) {
    std::string text = "[plugins]\n";
    text += std::string(kEzRssId) + "=" + (s.ezrss ? "1" : "0") + "\n";
    text += std::string(kGenericId) + "=" + (s.generic ? "1" : "0") + "\n";
    text += std::string(kNewzbinId) + "=" + (s.newzbin ? "1" : "0") + "\n";
    text += std::string(kNzbMatrixId) + "=" + (s.nzbmatrix ? "1" : "0") + "\n";
    text += "\n[ezrss]\nurl=" + s.address + "\n";
    text += "\n[generic]\nurl=" + s.address + "\n";
    text += "\n[newzbin]\nurl=" + s.address + "\nuser=" + s.newzbinUser + "\npass=" + s.newzbinPass +
            "\nmode=" + s.newzbinMode + "\n";
    text += "\n[nzbmatrix]\nurl=" + s.address + "\nuser=" + s.matrixUser + "\nkey=" + s.matrixKey + "\n";
    return text;
}

bool Program::WaitForInstanceLock(double seconds) {
    const std::string lock = home.Data("Varnek_Quillon.lock");
    return WaitUntil(
        [&] {
            if (!Running())
                return true;
            if (!PlatformFileExists(lock.c_str()))
                return false;
            int fd = PlatformAcquireInstanceLock(lock.c_str());
            if (fd < 0)
                return true;
            PlatformReleaseInstanceLock(fd);
            return false;
        },
        seconds) &&
           Running();
}

std::string Program::Out() const {
    std::lock_guard<std::mutex> hold(outputLock);
    return out;
}
std::string Program::Err() const {
    std::lock_guard<std::mutex> hold(outputLock);
    return err;
}

bool WaitUntil(const std::function<bool()> &done, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string FileStamp(const std::string &path) {
    std::error_code error;
    fs::path file = fs::u8path(path);
    uintmax_t size = fs::file_size(file, error);
    if (error)
        return "";
    auto time = fs::last_write_time(file, error);
    if (error)
        return "";
    return std::to_string(size) + "@" + std::to_string(time.time_since_epoch().count());
}

// Through std::filesystem paths: the narrow names of the C library would be
// read in the system code page on Windows.
void WriteAll(const std::string &path, const std::string &content) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush())
        ADD_FAILURE() << "cannot write " << path;
}
bool Exists(const std::string &path) {
    std::error_code error;
    return fs::exists(fs::u8path(path), error);
}

std::vector<std::string> LinesWith(const std::string &output, const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos)
            lines.push_back(line);
    return lines;
}

void Program::Append(bool toErr, const char *data, size_t size) {
    std::lock_guard<std::mutex> hold(outputLock);
    (toErr ? err : out).append(data, size);
}
