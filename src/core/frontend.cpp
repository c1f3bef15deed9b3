#include "frontend.h"

#include <atomic>
#include <cstdio>

#include "vorlo/memleak.h"
#include "vorlo/text.h"

namespace {

// What the core talks to before a front end is installed: nothing is shown,
// message boxes take their default answer.
class SilentFrontEnd : public FrontEnd {
public:
    void AppendLogLines(LogTarget, const std::vector<std::wstring> &) override {}
    void SetStatusText(int, const std::wstring &) override {}
    void ShowBalloon(const std::wstring &) override {}
    void SetStopScanEnabled(bool) override {}
    MessageAnswer ShowMessage(const std::wstring &, const std::wstring &, MessageIcon,
                              MessageButtons buttons) override {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
};

SilentFrontEnd g_silent;
std::atomic<FrontEnd *> g_frontEnd{nullptr};

const size_t kListBound = 250;

void EchoLine(const char *prefix, const std::wstring &line) {
    char *narrow = ToNarrow(line.c_str());
    std::printf("%s%s\n", prefix, narrow ? narrow : "");
    std::fflush(stdout);
    if (narrow)
        ZFREE(narrow);
}

}  // namespace

FrontEnd &GetFrontEnd() {
    FrontEnd *frontEnd = g_frontEnd.load();
    return frontEnd ? *frontEnd : g_silent;
}

void SetFrontEnd(FrontEnd *frontEnd) { g_frontEnd.store(frontEnd); }

void RecordingFrontEnd::AppendLogLines(LogTarget list, const std::vector<std::wstring> &newLines) {
    std::lock_guard<std::mutex> hold(mutex);
    int which = list == LogTarget::Downloads ? 1 : 0;
    while (lines[which].size() > kListBound)
        lines[which].pop_front();
    for (const std::wstring &line : newLines) {
        lines[which].push_back(line);
        allLines[which].push_back(line);
        if (echo)
            EchoLine(which ? "[Downloads] " : "[Log] ", line);
    }
}

void RecordingFrontEnd::SetStatusText(int part, const std::wstring &text) {
    if (part < 0 || part > 2)
        return;
    std::lock_guard<std::mutex> hold(mutex);
    status[part].push_back(text);
}

void RecordingFrontEnd::ShowBalloon(const std::wstring &text) {
    std::lock_guard<std::mutex> hold(mutex);
    balloons.push_back(text.substr(0, 255));
    if (echo)
        EchoLine("[Balloon] ", balloons.back());
}

void RecordingFrontEnd::SetStopScanEnabled(bool enabled) {
    std::lock_guard<std::mutex> hold(mutex);
    stopScan.push_back(enabled);
}

MessageAnswer RecordingFrontEnd::ShowMessage(const std::wstring &title, const std::wstring &text,
                                             MessageIcon icon, MessageButtons buttons) {
    std::lock_guard<std::mutex> hold(mutex);
    messages.push_back(Message{title, text, icon, buttons});
    if (echo)
        EchoLine("[Message] ", title + L": " + text);
    if (!answers.empty()) {
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

void RecordingFrontEnd::QueueAnswer(MessageAnswer answer) {
    std::lock_guard<std::mutex> hold(mutex);
    answers.push_back(answer);
}

void RecordingFrontEnd::SetEcho(bool on) {
    std::lock_guard<std::mutex> hold(mutex);
    echo = on;
}

std::vector<std::wstring> RecordingFrontEnd::Lines(LogTarget list) const {
    std::lock_guard<std::mutex> hold(mutex);
    const auto &l = lines[list == LogTarget::Downloads ? 1 : 0];
    return std::vector<std::wstring>(l.begin(), l.end());
}

std::vector<std::wstring> RecordingFrontEnd::AllLines(LogTarget list) const {
    std::lock_guard<std::mutex> hold(mutex);
    return allLines[list == LogTarget::Downloads ? 1 : 0];
}

std::wstring RecordingFrontEnd::Status(int part) const {
    std::lock_guard<std::mutex> hold(mutex);
    if (part < 0 || part > 2 || status[part].empty())
        return std::wstring();
    return status[part].back();
}

std::vector<std::wstring> RecordingFrontEnd::StatusHistory(int part) const {
    std::lock_guard<std::mutex> hold(mutex);
    if (part < 0 || part > 2)
        return {};
    return status[part];
}

std::vector<std::wstring> RecordingFrontEnd::Balloons() const {
    std::lock_guard<std::mutex> hold(mutex);
    return balloons;
}

std::vector<bool> RecordingFrontEnd::StopScanHistory() const {
    std::lock_guard<std::mutex> hold(mutex);
    return stopScan;
}

std::vector<RecordingFrontEnd::Message> RecordingFrontEnd::Messages() const {
    std::lock_guard<std::mutex> hold(mutex);
    return messages;
}

void RecordingFrontEnd::Clear() {
    std::lock_guard<std::mutex> hold(mutex);
    for (auto &l : lines)
        l.clear();
    for (auto &l : allLines)
        l.clear();
    for (auto &s : status)
        s.clear();
    balloons.clear();
    stopScan.clear();
    messages.clear();
    answers.clear();
}
