#include "hostglue.h"

#include <unistd.h>

#include "lifecycle.h"
#include "vorlo/thread.h"

void HostStartAfterWindow() {}

int HostExit(const std::function<void()> &pumpEvents) {
    ExitBeginShutdown();
    while (ThreadCount() != 0) {
        pumpEvents();
        usleep(10 * 1000);
    }
    ExitSaveSettings();
    return ExitRelease();
}
