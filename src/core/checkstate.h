// The check-state flags shared by the window, the check thread and the plugin
// services, and CheckLock, the gate between passes and the editing dialogs.
#pragma once

#include <atomic>
#include <cstdint>

#include "vorlo/lock.h"

// Guards checkNow, checking, the reset of abortCheck and lastCheckEnd. The
// window holds it while a settings, show or seen-list editor is open and
// during imports and exports; the check thread holds it only for moments.
extern Mutex CheckLock;

extern std::atomic<bool> checkNow;      // the user asked for a pass
extern std::atomic<bool> checking;      // a pass is running
extern std::atomic<bool> abortCheck;    // the user asked to abort the pass
extern std::atomic<bool> shuttingDown;  // the main window has closed
extern std::atomic<int64_t> lastCheckEnd;  // end of the last pass; 0 before the first
extern std::atomic<bool> savePending;   // the last pass could not save the lists

// The moment a pass is due after `end` with `interval` seconds between passes,
// held within 64 bits whatever the two values.
int64_t NextPassDue(int64_t end, int64_t interval);

// Clears every flag (start-up, tests).
void ResetCheckState();

// The process's command line, passed on to plugins.
void SetHostArgs(int argc, char **argv);
int HostArgCount();
const char *HostArg(int index);
