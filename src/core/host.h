// The plugin host's part of start-up and exit, as a front end calls it: after
// its window exists, HostAfterWindow loads the plugins, writes the start-up
// hints and starts the check thread; on close, HostExit waits for the check
// thread (pumping the front end's events meanwhile) and tears everything down.
#pragma once

// Start-up once the window exists: "Loading plugins...", the program's then
// the data folder's plugins, the hints for no enabled plugin and no shows,
// "Ready.", then the check thread. Returns whether the check thread started.
bool HostAfterWindow();

// Exit: shuttingDown, then while a worker thread runs: `pump` (may be null)
// and 10 ms of sleep; then main.conf, the plugins unloaded, and the rest of
// the exit steps. Returns the exit code.
int HostExit(void (*pump)(void *context), void *context);
