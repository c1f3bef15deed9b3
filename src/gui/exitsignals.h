// SIGTERM, SIGINT and SIGHUP end the program the way closing the main window
// does, without the question: the handler only writes to a pipe, which the
// event loop watches.
#pragma once

#include <functional>

// Creates the pipe and installs the handlers; call first thing in main, so
// that a signal that comes early is kept until the event loop sees it.
bool InstallExitSignals();
// Calls `onSignal` on the window thread for each signal that arrives (needs
// the QApplication). Call once.
void WatchExitSignals(std::function<void()> onSignal);
