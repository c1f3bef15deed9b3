#include "host_fixture.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "checkstate.h"
#include "clock.h"
#include "loader.h"
#include "log.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"

namespace fs = std::filesystem;

namespace {

// The variable the system's temporary folder comes from.
#ifdef _WIN32
const char *const kTempVariable = "TMP";  // GetTempPathW reads it first
void SetVariable(const char *name, const char *value) { _putenv_s(name, value); }
void UnsetVariable(const char *name) { _putenv_s(name, ""); }
#else
const char *const kTempVariable = "TMPDIR";
void SetVariable(const char *name, const char *value) { setenv(name, value, 1); }
void UnsetVariable(const char *name) { unsetenv(name); }
#endif

}  // namespace

std::string Narrow(const std::wstring &text) {
    std::string out;
    for (wchar_t c : text)
        out += static_cast<char>(c);
    return out;
}

bool WaitFor(const std::function<bool()> &done, int seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void HostTest::SetUp() {
    const char *old = std::getenv(kTempVariable);
    hadTmp = old != nullptr;
    oldTmp = old ? old : "";
    fs::create_directories(box.File("tmp"));
    SetVariable(kTempVariable, box.File("tmp").c_str());
#ifndef _WIN32
    // Files handed to other programs are kept below the sandbox as well.
    const char *cache = std::getenv("XDG_CACHE_HOME");
    hadCache = cache != nullptr;
    oldCache = cache ? cache : "";
    SetVariable("XDG_CACHE_HOME", box.File("cache").c_str());
#endif
    SetFrontEnd(&frontEnd);
    ClearLogEntries();
    ResetCheckState();
    SetHostClockForTesting(nullptr);
    SetDefaultSettings();
    SetHostPaths(box.Path().c_str());
    ClearShows();
    MutexHold hold(SeenListLock);
    SeenList.clear();
}

void HostTest::TearDown() {
    shuttingDown = false;
    UnloadPlugins();
    ClearShows();
    ResetCheckState();
    SetHostClockForTesting(nullptr);
    SetFrontEnd(nullptr);
    if (hadTmp)
        SetVariable(kTempVariable, oldTmp.c_str());
    else
        UnsetVariable(kTempVariable);
#ifndef _WIN32
    if (hadCache)
        SetVariable("XDG_CACHE_HOME", oldCache.c_str());
    else
        UnsetVariable("XDG_CACHE_HOME");
#endif
}

std::string HostTest::CopyPlugin(const std::string &library, const std::string &folder,
                                 const std::string &asName) const {
    fs::create_directories(box.File(folder));
    std::string to = box.File(folder) + (folder.empty() || folder.back() == '/' ? "" : "/") + asName;
    fs::copy_file(std::string(QUILLON_TEST_PLUGIN_DIR) + library, to,
                  fs::copy_options::overwrite_existing);
    return to;
}

std::vector<std::string> HostTest::Texts(LogTarget list) const {
    std::vector<std::string> texts;
    for (const std::wstring &line : frontEnd.AllLines(list)) {
        std::string text = Narrow(line);
        size_t close = text.find("] ");
        texts.push_back(close == std::string::npos ? text : text.substr(close + 2));
    }
    return texts;
}

bool HostTest::HasText(LogTarget list, const std::string &text) const {
    return CountText(list, text) > 0;
}

int HostTest::CountText(LogTarget list, const std::string &text) const {
    int count = 0;
    for (const std::string &line : Texts(list))
        if (line == text)
            ++count;
    return count;
}
