// The Windows implementation of the core's FrontEnd: updates from any thread
// are queued, in call order, and applied on the window thread, which a posted
// message wakes; message boxes are MessageBoxW (or a test's answerer).
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "frontend.h"

class MainWindow;

class Win32FrontEnd : public FrontEnd {
public:
    using Answerer = std::function<MessageAnswer(const std::wstring &title, const std::wstring &text,
                                                 MessageIcon icon, MessageButtons buttons)>;

    // Create on the window thread.
    Win32FrontEnd();
    ~Win32FrontEnd() override;

    // The window the updates go to (updates made before there is one wait
    // for it); nullptr drops what is queued and every later update.
    void SetWindow(MainWindow *window);

    void AppendLogLines(LogTarget list, const std::vector<std::wstring> &lines) override;
    void SetStatusText(int part, const std::wstring &text) override;
    void ShowBalloon(const std::wstring &text) override;
    void SetStopScanEnabled(bool enabled) override;
    MessageAnswer ShowMessage(const std::wstring &title, const std::wstring &text,
                              MessageIcon icon, MessageButtons buttons) override;
    MessageAnswer AskDefaultNo(const std::wstring &title, const std::wstring &text) override;

    // Applies every queued update now (window thread only).
    void Flush();

    // With an answerer installed no box is shown; an empty one restores them.
    static void SetAnswerer(Answerer answerer);
    // The answer a box gets when nobody can click it: Ok, or No for a question.
    static MessageAnswer DefaultAnswer(MessageButtons buttons);

private:
    MessageAnswer Ask(const std::wstring &title, const std::wstring &text, MessageIcon icon,
                      MessageButtons buttons, bool defaultNo);
    void Post(std::function<void(MainWindow *)> update);
    bool OnWindowThread() const;

    unsigned long threadId;
    std::mutex mutex;
    std::deque<std::function<void(MainWindow *)>> pending;
    bool flushPosted = false;  // a kFlushMessage is on its way
    bool draining = false;     // Flush runs (window thread only)
    bool detached = false;     // SetWindow(nullptr) was called
    MainWindow *window = nullptr;
};
