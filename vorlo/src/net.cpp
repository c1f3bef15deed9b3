// Counted network start-up and clean-up. Windows starts Winsock 2.2 on the
// first call and stops it on the last; POSIX sockets need no start-up, so
// there the first start-up always succeeds. The count pairs the calls.
#include "vorlo/net.h"

#include "vorlo/lock.h"

#include <cstdio>

#ifdef _WIN32
#include <winsock2.h>
#endif

namespace {

struct NetState {
    Mutex lock{"vrl_init"};
    int count = 0;
    bool ready = false;
    bool verbose = false;
};

NetState &TheState() {
    static NetState *state = new NetState();
    return *state;
}

#ifdef _WIN32
// Winsock 2.2.
bool StartSockets() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}
void StopSockets() { WSACleanup(); }
#else
// Stands for the system's socket start-up; nothing to do on POSIX.
bool StartSockets() { return true; }
void StopSockets() {}
#endif

}  // namespace

bool vrl_init() {
    NetState &s = TheState();
    MutexHold hold(s.lock);
    s.count += 1;
    if (s.verbose) {
        printf("vrl_init: %d\n", s.count);
        fflush(stdout);
    }
    if (s.count == 1) {
        s.ready = false;
        if (!StartSockets()) {
            printf("VRL: Error initializing Winsock!\n");
            fflush(stdout);
            return false;
        }
        s.ready = true;
    }
    return s.ready;
}

void vrl_cleanup() {
    NetState &s = TheState();
    MutexHold hold(s.lock);
    if (s.count > 0) {
        s.count -= 1;
        if (s.verbose) {
            printf("vrl_cleanup: %d\n", s.count);
            fflush(stdout);
        }
        if (s.count <= 0) {
            StopSockets();
            s.ready = false;
        }
    }
}

int vrl_init_count() {
    NetState &s = TheState();
    MutexHold hold(s.lock);
    return s.count;
}

void vrl_set_verbose(bool on) {
    NetState &s = TheState();
    MutexHold hold(s.lock);
    s.verbose = on;
}
