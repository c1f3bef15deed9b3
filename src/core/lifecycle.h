// Start-up and exit of the host, as steps a front end (the Qt program or the
// headless host) calls in order. The window's own steps (creating it, its
// status bar and tray icon, pumping events) belong to the front end; the
// plugin steps (loading, the check thread, unloading) to host.h.
//
// The whole sequence, in order:
//   clear the plugin slots (plugin host), StartupBeforeWindow;
//   the window: title, status bar, "Starting up...", tray icon, plugins from
//   both plugin folders, the start-up notes, "Ready.", the check thread;
//   the message loop;
//   ExitBeginShutdown; pump events until ThreadCount() is 0; ExitSaveSettings;
//   each plugin's Shutdown and the libraries unloaded (plugin host);
//   ExitRelease.
// A "Fatal Error" box shown here is also written to standard error by the
// core, so a front end need not echo it again.
#pragma once

// Start-up steps up to the window: clears the state, vrl_init, defaults, data
// folder and paths, the single-instance lock ("Error: Quillon is already
// running!" in a "Fatal Error" box, exit code 0; a lock file that cannot be
// opened names its path and the system's reason, exit code 1), the removal of
// what an interrupted save or an earlier run's downloads left behind, main
// settings, download
// folders, show and seen lists, libcurl ("Error initializing libCURL! (%s)",
// exit code 1). Returns -1 when start-up goes on, otherwise the exit code the
// program must end with now. `dataFolder` replaces the per-user data folder
// when not null (tests, headless runs).
int StartupBeforeWindow(int argc, char **argv, const char *dataFolder = nullptr);

// Exit step 1: from now on the check thread, IsShuttingDown and SleepSeconds
// see the shutdown.
void ExitBeginShutdown();
// Exit step 3: backs up and writes main.conf.
void ExitSaveSettings();
// Exit steps 5 to 8: clears the show list, cleans up libcurl and the network
// layer, releases the single-instance lock. Returns the exit code (0).
int ExitRelease();
