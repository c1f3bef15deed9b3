// The program: start-up, the main window, the event loop and the exit.
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QTimer>

#include "exitsignals.h"
#include "host.h"
#include "lifecycle.h"
#include "log.h"
#include "mainwindow.h"
#include "qtfrontend.h"

int main(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
    InstallExitSignals();

    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");  // Qt may have touched it; narrow texts use the user's locale
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setDesktopFileName(QStringLiteral("quillon"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(MainWindow::ProgramIcon());

    QtFrontEnd frontEnd;
    SetFrontEnd(&frontEnd);
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        // Nobody can click a box nobody sees: answer each as if dismissed.
        QtFrontEnd::SetAnswerer([](const std::wstring &, const std::wstring &, MessageIcon,
                                   MessageButtons buttons) { return QtFrontEnd::DefaultAnswer(buttons); });
    }

    // A signal closes the window; before there is one (a start-up box is
    // open) it ends whatever loop runs, and start-up goes on to its end.
    MainWindow *openWindow = nullptr;
    WatchExitSignals([&openWindow] {
        if (openWindow)
            openWindow->CloseWithoutConfirmation();
        else
            QCoreApplication::exit(0);
    });

    int code = StartupBeforeWindow(argc, argv);
    if (code >= 0) {
        SetFrontEnd(nullptr);
        return code;
    }

    MainWindow window;
    frontEnd.SetWindow(&window);
    QObject::connect(&window, &MainWindow::closed, &app, [] { QCoreApplication::exit(0); });
    openWindow = &window;

    window.Open();
    HostAfterWindow();
    // Start-up timing (scripts/bench): with QUILLON_TRACE_READY set, "Ready."
    // goes to standard error once the event loop runs with the window up.
    if (std::getenv("QUILLON_TRACE_READY"))
        QTimer::singleShot(0, [] {
            std::fputs("Ready.\n", stderr);
            std::fflush(stderr);
        });
    if (!window.IsClosed())
        QApplication::exec();

    // The check thread may still be handing updates to the window thread;
    // they are applied while the exit waits for it.
    code = HostExit(
        [](void *context) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            static_cast<QtFrontEnd *>(context)->Flush();
        },
        &frontEnd);
    frontEnd.SetWindow(nullptr);
    SetFrontEnd(nullptr);
    return code;
}
