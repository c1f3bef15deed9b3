// Start-up of the real program (bin/quillon, Qt's offscreen platform) with a
// full data folder: 64 shows, 10,000 seen entries and every plugin library
// of bin/plugins/ enabled. Timed from the moment the program is started to
// its "Ready." line: with QUILLON_TRACE_READY set, the program writes that
// line to standard error once its event loop runs with the window up. Then
// the program is left idle for two seconds (its check thread wakes each
// second; auto scan is off, so no pass runs) and its peak resident memory
// (VmHWM of /proc/<pid>/status) is read before it is asked to exit.
//
// Reported: StartupToReady measured = ms to "Ready."; PeakMemoryIdle
// measured = VmHWM in MB (medians over the runs).
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "quillon/plugin.h"

extern char **environ;

namespace {

constexpr int kRuns = 7;
constexpr int kShows = 64;
constexpr int kSeen = 10000;

// Ids of the plugins in the program's plugin folder, read from their
// descriptors without initialising them.
std::vector<std::string> PluginIds(const std::string &folder) {
    std::vector<std::string> ids;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return ids;
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind("qln_", 0) != 0 || name.size() < 3 || name.substr(name.size() - 3) != ".so")
            continue;
        void *library = dlopen((folder + name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            continue;
        auto count = reinterpret_cast<QLN_NumPluginsFn>(dlsym(library, QLN_NUM_PLUGINS_EXPORT));
        auto get = reinterpret_cast<QLN_GetPluginFn>(dlsym(library, QLN_GET_PLUGIN_EXPORT));
        for (int i = 0; count && get && i < count(); ++i)
            if (QLN_PLUGIN *plugin = get(i))
                ids.push_back(plugin->id);
        dlclose(library);
    }
    closedir(dir);
    return ids;
}

// $XDG_DATA_HOME/Quillon/ with the lists and every plugin enabled.
void FillDataFolder(const std::string &data, const std::vector<std::string> &ids) {
    std::string shows = "Shows {\n";
    for (int i = 0; i < kShows; ++i) {
        shows += "\tShow" + std::to_string(i) + " {\n\t\tShowName Followed Show " + std::to_string(i) +
                 "\n\t\tSkip 0\n\t\tPause 0\n\t\tHD_Only 0\n\t\tSeason 2\n\t\tEpisode " +
                 std::to_string(1 + i % 20) + "\n\t};\n";
    }
    bench::WriteFile(data + "shows.conf", shows + "};\n");
    std::string seen;
    time_t now = time(nullptr);
    for (int i = 0; i < kSeen; ++i) {
        seen += "Followed.Show." + std::to_string(i % kShows) + ".S02E" + std::to_string(i) +
                ".720p.HDTV.x264-GROUP=" + std::to_string(static_cast<long long>(now - i)) + "\r\n";
    }
    bench::WriteFile(data + "seen.conf", seen);
    // Nothing may reach a real service: every address points at a closed port.
    std::string ini = "[plugins]\n";
    for (const std::string &id : ids)
        ini += id + "=1\n";
    for (const char *section : {"ezrss", "generic", "newzbin", "nzbmatrix"})
        ini += std::string("[") + section + "]\nurl=http://127.0.0.1:9\n";
    bench::WriteFile(data + "plugins.ini", ini);
}

struct Run {
    double readyMs = -1;
    double peakMB = -1;
};

double StatusMB(pid_t pid, const char *field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::strtod(line.c_str() + std::strlen(field), nullptr) / 1024.0;  // kB -> MB
    return -1;
}

Run StartOnce(const bench::TempFolder &home) {
    Run run;
    int err[2];
    if (pipe(err) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    posix_spawn_file_actions_addclose(&actions, err[1]);

    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "QUILLON_TRACE_READY=1",
                                    "HOME=" + home.Path(), "XDG_DATA_HOME=" + home / "xdg",
                                    "XDG_CONFIG_HOME=" + home / "config",
                                    "XDG_RUNTIME_DIR=" + home / "runtime", "LANG=C.UTF-8"};
    for (const char *keep : {"PATH"})
        if (const char *value = std::getenv(keep))
            env.push_back(std::string(keep) + "=" + value);
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = QUILLON_PROGRAM_PATH;
    char *argv[] = {program.data(), nullptr};

    pid_t pid = 0;
    auto start = bench::Clock::now();
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(err[1]);
    if (spawned != 0) {
        close(err[0]);
        return run;
    }

    // Read standard error until the "Ready." line (at most 20 seconds).
    std::string text;
    char buffer[4096];
    while (text.find("Ready.\n") == std::string::npos) {
        pollfd wait = {err[0], POLLIN, 0};
        if (poll(&wait, 1, 20000) <= 0)
            break;
        ssize_t got = read(err[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    if (text.find("Ready.\n") != std::string::npos) {
        run.readyMs = bench::Seconds(start, bench::Clock::now()) * 1e3;
        std::this_thread::sleep_for(std::chrono::seconds(2));
        run.peakMB = StatusMB(pid, "VmHWM:");
    } else {
        std::fprintf(stderr, "quillon did not report \"Ready.\":\n%s\n", text.c_str());
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(err[0]);
    return run;
}

struct Measurements {
    std::vector<double> ready, peak;
    size_t plugins = 0;
    bool ok = false;
};

const Measurements &Measure() {
    static Measurements m = [] {
        Measurements result;
        bench::TempFolder home;
        std::string program = QUILLON_PROGRAM_PATH;
        std::string folder = program.substr(0, program.rfind('/') + 1) + "plugins/";
        std::vector<std::string> ids = PluginIds(folder);
        result.plugins = ids.size();
        std::string data = home / "xdg/Quillon/";
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(home / "runtime");
        std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
        FillDataFolder(data, ids);
        for (int i = 0; i < kRuns; ++i) {
            Run run = StartOnce(home);
            if (run.readyMs < 0 || run.peakMB < 0)
                return result;
            result.ready.push_back(run.readyMs);
            result.peak.push_back(run.peakMB);
            // Each run's automatic backups and settings go; the lists stay.
            std::error_code ignored;
            std::filesystem::remove_all(data + "backup", ignored);
        }
        result.ok = true;
        return result;
    }();
    return m;
}

void StartupToReady(benchmark::State &state) {
    const Measurements &m = Measure();
    for (auto _ : state) {
        if (!m.ok) {
            state.SkipWithError("the program did not start up");
            return;
        }
        state.SetIterationTime(bench::Median(m.ready) / 1e3);
    }
    bench::Report(state, bench::Median(m.ready));
    state.counters["plugins"] = static_cast<double>(m.plugins);
    state.counters["runs"] = static_cast<double>(m.ready.size());
}
BENCHMARK(StartupToReady)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void PeakMemoryIdle(benchmark::State &state) {
    const Measurements &m = Measure();
    for (auto _ : state) {
        if (!m.ok) {
            state.SkipWithError("the program did not start up");
            return;
        }
        state.SetIterationTime(0.001);
    }
    bench::Report(state, bench::Median(m.peak));
    state.counters["plugins"] = static_cast<double>(m.plugins);
}
BENCHMARK(PeakMemoryIdle)->UseManualTime()->Iterations(1);

}  // namespace
