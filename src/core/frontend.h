// The core's only view of the window: log lines, status text, the tray
// balloon, the Stop Scan state and message boxes. The Qt front end implements
// it; tests and the headless host use RecordingFrontEnd.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

enum class LogTarget { Log = 0, Downloads = 1 };
enum class MessageIcon { Information, Question, Warning, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Every call may come from any thread. All calls but ShowMessage must return
// without waiting for the window thread (queue the work, keeping its order):
// callers may hold LogLock or CheckLock, and the window thread may be waiting
// for those very locks.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // New entries of one list, oldest first, each already "[stamp] line".
    // Before adding them the list drops its oldest entries while it holds
    // more than 250; the newest entry becomes the selected one.
    virtual void AppendLogLines(LogTarget list, const std::vector<std::wstring> &lines) = 0;
    // Status-bar part 0, 1 or 2.
    virtual void SetStatusText(int part, const std::wstring &text) = 0;
    // Tray notification: title "Quillon", text cut at 255 characters.
    virtual void ShowBalloon(const std::wstring &text) = 0;
    virtual void SetStopScanEnabled(bool enabled) = 0;
    // Window thread only; waits for the user's answer.
    virtual MessageAnswer ShowMessage(const std::wstring &title, const std::wstring &text,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    // A Yes/No question with the question icon whose Yes destroys data: its
    // default button (the one Enter presses) is No. Window thread only.
    virtual MessageAnswer AskDefaultNo(const std::wstring &title, const std::wstring &text) {
        return ShowMessage(title, text, MessageIcon::Question, MessageButtons::YesNo);
    }
};

// The installed front end; a silent one until SetFrontEnd is called.
FrontEnd &GetFrontEnd();
void SetFrontEnd(FrontEnd *frontEnd);  // nullptr restores the silent one

// Records everything it is told, thread-safely, for tests and the headless
// host. Message boxes are answered from a queue of scripted answers (Ok / Yes
// when the queue is empty). With echo on, every line is also written to
// standard output.
class RecordingFrontEnd : public FrontEnd {
public:
    struct Message {
        std::wstring title, text;
        MessageIcon icon;
        MessageButtons buttons;
    };

    void AppendLogLines(LogTarget list, const std::vector<std::wstring> &lines) override;
    void SetStatusText(int part, const std::wstring &text) override;
    void ShowBalloon(const std::wstring &text) override;
    void SetStopScanEnabled(bool enabled) override;
    MessageAnswer ShowMessage(const std::wstring &title, const std::wstring &text,
                              MessageIcon icon, MessageButtons buttons) override;

    void QueueAnswer(MessageAnswer answer);
    void SetEcho(bool echo);

    std::vector<std::wstring> Lines(LogTarget list) const;  // bounded like the window's list
    std::vector<std::wstring> AllLines(LogTarget list) const;  // everything ever appended
    std::wstring Status(int part) const;
    std::vector<std::wstring> StatusHistory(int part) const;
    std::vector<std::wstring> Balloons() const;
    std::vector<bool> StopScanHistory() const;
    std::vector<Message> Messages() const;
    void Clear();

private:
    mutable std::mutex mutex;
    std::deque<std::wstring> lines[2];
    std::vector<std::wstring> allLines[2];
    std::vector<std::wstring> status[3];
    std::vector<std::wstring> balloons;
    std::vector<bool> stopScan;
    std::vector<Message> messages;
    std::deque<MessageAnswer> answers;
    bool echo = false;
};
