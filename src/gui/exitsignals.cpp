#include "exitsignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>

namespace {

int g_pipe[2] = {-1, -1};

void OnExitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    ssize_t written = write(g_pipe[1], &byte, 1);  // non-blocking; a full pipe already holds a request
    (void)written;
    errno = saved;
}

}  // namespace

bool InstallExitSignals() {
    if (g_pipe[0] >= 0)
        return true;
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    return true;
}

void WatchExitSignals(std::function<void()> onSignal) {
    if (g_pipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal] {
        char bytes[64];
        while (read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        onSignal();
    });
}
