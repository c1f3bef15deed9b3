// The Qt implementation of the core's FrontEnd: updates from any thread are
// queued, in call order, to the window thread and applied there; message boxes
// are QMessageBoxes (or a test's answerer).
#pragma once

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "frontend.h"

class MainWindow;

class QtFrontEnd : public QObject, public FrontEnd {
    Q_OBJECT
public:
    // Answers a message box instead of the user (tests, headless runs).
    using Answerer = std::function<MessageAnswer(const std::wstring &title, const std::wstring &text,
                                                 MessageIcon icon, MessageButtons buttons)>;

    // Create on the window thread, after the QApplication.
    explicit QtFrontEnd(QObject *parent = nullptr);
    ~QtFrontEnd() override;

    // The window the updates go to; updates made while there is none are dropped.
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

    // With an answerer installed no message box is shown; an empty one
    // restores the real boxes.
    static void SetAnswerer(Answerer answerer);
    // The answer a box gets when nobody can click it: Ok, or No for a question.
    static MessageAnswer DefaultAnswer(MessageButtons buttons);

private:
    MessageAnswer Ask(const std::wstring &title, const std::wstring &text, MessageIcon icon,
                      MessageButtons buttons, bool defaultNo);
    void Post(std::function<void(MainWindow *)> update);
    bool OnWindowThread() const;

    std::mutex mutex;
    std::deque<std::function<void(MainWindow *)>> pending;
    bool drainPosted = false;  // a queued Flush is on its way
    bool draining = false;     // Flush runs (window thread only)
    QPointer<MainWindow> window;
};
