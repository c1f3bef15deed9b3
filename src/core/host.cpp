#include "host.h"

#include <chrono>
#include <thread>

#include "checkcycle.h"
#include "lifecycle.h"
#include "loader.h"
#include "log.h"
#include "settings.h"
#include "showlist.h"
#include "tvmaze.h"
#include "vorlo/thread.h"

bool HostAfterWindow() {
    SetStatus(L"Loading plugins...");
    LoadPluginFolder(g_paths.ProgramPlugins);
    LoadPluginFolder(g_paths.DataPlugins);
    if (CountEnabledPlugins() == 0)
        Log("No plugins enabled, configure & enable at least 1 plugin to use Quillon.");
    if (ShowCount() == 0)
        Log("Since you don't have any shows defined, you may want to go to File -> Edit shows... "
            "to add some.");
    SetStatus(L"Ready.");
    bool started = StartCheckThread();
    // Schedules are fetched beside the passes; without the worker the cached
    // ones still serve.
    StartTvmazeThread();
    return started;
}

int HostExit(void (*pump)(void *context), void *context) {
    ExitBeginShutdown();
    while (ThreadCount() != 0) {
        if (pump)
            pump(context);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ExitSaveSettings();
    UnloadPlugins();
    return ExitRelease();
}
