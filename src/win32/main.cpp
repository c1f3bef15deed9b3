// The Windows program: start-up, the main window, the message loop and the
// exit, in the order the Qt program keeps (src/gui/main.cpp).
#include <cstdlib>

#include "host.h"
#include "lifecycle.h"
#include "mainwindow.h"
#include "win32frontend.h"

namespace {

void Pump(void *context) {
    auto *window = static_cast<MainWindow *>(context);
    DispatchWaitingMessages(window->Handle());
}

}  // namespace

int main(int argc, char **argv) {
    Win32FrontEnd frontEnd;
    SetFrontEnd(&frontEnd);

    int code = StartupBeforeWindow(argc, argv);
    if (code >= 0) {
        SetFrontEnd(nullptr);
        return code;
    }

    MainWindow window;
    if (!window.Create(GetModuleHandleW(nullptr))) {
        frontEnd.ShowMessage(L"Fatal Error", L"Error: the main window could not be created!",
                             MessageIcon::Error, MessageButtons::Ok);
        ExitBeginShutdown();
        ExitRelease();
        SetFrontEnd(nullptr);
        return 1;
    }
    frontEnd.SetWindow(&window);
    // Ending the session (log off, shut down, `wineboot -e`) closes the
    // window without the question; the exit then runs to its end here,
    // because the system may end the process once the message is answered.
    window.SetEndSessionHandler([&window, &frontEnd] {
        const int exitCode = HostExit(Pump, &window);
        frontEnd.SetWindow(nullptr);
        SetFrontEnd(nullptr);
        std::exit(exitCode);
    });

    window.Open();
    HostAfterWindow();
    if (!window.IsClosed())
        RunMessageLoop(window.Handle());

    // The check thread may still be handing updates to the window; they are
    // applied while the exit waits for it.
    code = HostExit(Pump, &window);
    frontEnd.SetWindow(nullptr);
    SetFrontEnd(nullptr);
    return code;
}
