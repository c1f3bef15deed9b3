// The host's steps around the window: what start-up does once the window is
// shown, and the exit sequence after the event loop. The only place the front
// end calls the host's plugin and check-thread steps.
#pragma once

#include <functional>

// Plugins, the start-up hints, "Ready." and the check thread.
void HostStartAfterWindow();
// Exit: shutdown flag, waiting for the check thread while `pumpEvents` keeps
// the window thread's queue moving, saving the settings, unloading the plugins
// and releasing everything. Returns the exit code.
int HostExit(const std::function<void()> &pumpEvents);
