#include "win32frontend.h"

#include <utility>

#include "mainwindow.h"

namespace {

Win32FrontEnd::Answerer &AnswererSlot() {
    static Win32FrontEnd::Answerer answerer;
    return answerer;
}

UINT IconFlag(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::Warning: return MB_ICONWARNING;
    case MessageIcon::Error: return MB_ICONERROR;
    }
    return 0;
}

}  // namespace

Win32FrontEnd::Win32FrontEnd() : threadId(GetCurrentThreadId()) {}

Win32FrontEnd::~Win32FrontEnd() {
    if (&GetFrontEnd() == this)
        SetFrontEnd(nullptr);
}

bool Win32FrontEnd::OnWindowThread() const { return GetCurrentThreadId() == threadId; }

void Win32FrontEnd::SetWindow(MainWindow *newWindow) {
    HWND target = nullptr;
    {
        std::lock_guard<std::mutex> hold(mutex);
        window = newWindow;
        detached = newWindow == nullptr;
        if (detached) {
            pending.clear();
        } else if (!pending.empty() && !flushPosted) {
            flushPosted = true;
            target = window->Handle();
        }
        if (newWindow)
            newWindow->SetFlushHandler([this] { Flush(); });
    }
    if (target && !PostMessageW(target, MainWindow::kFlushMessage, 0, 0)) {
        std::lock_guard<std::mutex> hold(mutex);
        flushPosted = false;
    }
}

void Win32FrontEnd::Post(std::function<void(MainWindow *)> update) {
    bool flushNow = false;
    HWND target = nullptr;
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (detached)
            return;
        pending.push_back(std::move(update));
        if (OnWindowThread()) {
            flushNow = !draining && window;
        } else if (!flushPosted && window) {
            flushPosted = true;
            target = window->Handle();
        }
    }
    // Never waits for the window thread (PostMessage, not SendMessage): the
    // caller may hold LogLock or CheckLock while the window thread waits
    // for them.
    if (target && !PostMessageW(target, MainWindow::kFlushMessage, 0, 0)) {
        // A full queue: the next update tries again.
        std::lock_guard<std::mutex> hold(mutex);
        flushPosted = false;
    }
    if (flushNow)
        Flush();
}

void Win32FrontEnd::Flush() {
    if (!OnWindowThread())
        return;
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (draining || !window)
            return;  // the outer Flush picks the new updates up
        draining = true;
    }
    for (;;) {
        std::deque<std::function<void(MainWindow *)>> batch;
        MainWindow *target;
        {
            std::lock_guard<std::mutex> hold(mutex);
            flushPosted = false;
            if (pending.empty() || !window) {
                draining = false;
                return;
            }
            batch.swap(pending);
            target = window;
        }
        for (auto &update : batch)
            update(target);
    }
}

void Win32FrontEnd::AppendLogLines(LogTarget list, const std::vector<std::wstring> &lines) {
    Post([list, lines](MainWindow *w) { w->AppendLines(list, lines); });
}

void Win32FrontEnd::SetStatusText(int part, const std::wstring &text) {
    Post([part, text](MainWindow *w) { w->SetStatusPart(part, text); });
}

void Win32FrontEnd::ShowBalloon(const std::wstring &text) {
    Post([text](MainWindow *w) { w->ShowBalloon(text); });
}

void Win32FrontEnd::SetStopScanEnabled(bool enabled) {
    Post([enabled](MainWindow *w) { w->SetStopScanEnabled(enabled); });
}

MessageAnswer Win32FrontEnd::ShowMessage(const std::wstring &title, const std::wstring &text,
                                         MessageIcon icon, MessageButtons buttons) {
    return Ask(title, text, icon, buttons, false);
}

MessageAnswer Win32FrontEnd::AskDefaultNo(const std::wstring &title, const std::wstring &text) {
    return Ask(title, text, MessageIcon::Question, MessageButtons::YesNo, true);
}

MessageAnswer Win32FrontEnd::Ask(const std::wstring &title, const std::wstring &text,
                                 MessageIcon icon, MessageButtons buttons, bool defaultNo) {
    if (!OnWindowThread()) {
        // Boxes belong to the window thread; waiting for it from here could
        // wait for a lock this thread holds. Answered as nobody clicked.
        return DefaultAnswer(buttons);
    }
    Flush();  // the box comes after every update made before it
    if (const Answerer &answerer = AnswererSlot())
        return answerer(title, text, icon, buttons);
    HWND owner = nullptr;
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (window && IsWindowVisible(window->Handle()))
            owner = window->Handle();
    }
    UINT style = IconFlag(icon) | (buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK);
    if (defaultNo && buttons == MessageButtons::YesNo)
        style |= MB_DEFBUTTON2;
    // Without an owner (start-up failures) the box must still come to the front.
    if (!owner)
        style |= MB_SETFOREGROUND;
    const int result = MessageBoxW(owner, text.c_str(), title.c_str(), style);
    if (buttons == MessageButtons::YesNo)
        return result == IDYES ? MessageAnswer::Yes : MessageAnswer::No;
    return MessageAnswer::Ok;
}

void Win32FrontEnd::SetAnswerer(Answerer answerer) { AnswererSlot() = std::move(answerer); }

MessageAnswer Win32FrontEnd::DefaultAnswer(MessageButtons buttons) {
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}
