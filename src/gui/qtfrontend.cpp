#include "qtfrontend.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <utility>

#include "mainwindow.h"

namespace {

QtFrontEnd::Answerer &AnswererSlot() {
    static QtFrontEnd::Answerer answerer;
    return answerer;
}

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

MessageAnswer RunBox(QWidget *parent, const std::wstring &title, const std::wstring &text,
                     MessageIcon icon, MessageButtons buttons, bool defaultNo) {
    const QMessageBox::StandardButtons qtButtons =
        buttons == MessageButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
    QMessageBox box(ToQt(icon), QString::fromStdWString(title), QString::fromStdWString(text),
                    qtButtons, parent);
    box.setTextFormat(Qt::PlainText);
    if (defaultNo && buttons == MessageButtons::YesNo)
        box.setDefaultButton(QMessageBox::No);
    const int result = box.exec();
    if (buttons == MessageButtons::YesNo)
        return result == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    return MessageAnswer::Ok;
}

}  // namespace

QtFrontEnd::QtFrontEnd(QObject *parent) : QObject(parent) {}

QtFrontEnd::~QtFrontEnd() {
    if (&GetFrontEnd() == this)
        SetFrontEnd(nullptr);
}

void QtFrontEnd::SetWindow(MainWindow *newWindow) {
    std::lock_guard<std::mutex> hold(mutex);
    window = newWindow;
}

bool QtFrontEnd::OnWindowThread() const { return QThread::currentThread() == thread(); }

void QtFrontEnd::Post(std::function<void(MainWindow *)> update) {
    bool flushNow = false;
    bool postFlush = false;
    {
        std::lock_guard<std::mutex> hold(mutex);
        pending.push_back(std::move(update));
        if (OnWindowThread()) {
            flushNow = !draining;
        } else if (!drainPosted) {
            drainPosted = true;
            postFlush = true;
        }
    }
    // Never waits for the window thread: the caller may hold LogLock or
    // CheckLock while the window thread waits for them.
    if (postFlush)
        QMetaObject::invokeMethod(this, [this] { Flush(); }, Qt::QueuedConnection);
    if (flushNow)
        Flush();
}

void QtFrontEnd::Flush() {
    if (!OnWindowThread())
        return;
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (draining)
            return;  // the outer Flush picks the new updates up
        draining = true;
    }
    for (;;) {
        std::deque<std::function<void(MainWindow *)>> batch;
        MainWindow *target;
        {
            std::lock_guard<std::mutex> hold(mutex);
            drainPosted = false;
            if (pending.empty()) {
                draining = false;
                return;
            }
            batch.swap(pending);
            target = window.data();
        }
        for (auto &update : batch)
            if (target)
                update(target);
    }
}

void QtFrontEnd::AppendLogLines(LogTarget list, const std::vector<std::wstring> &lines) {
    Post([list, lines](MainWindow *w) { w->AppendLines(list, lines); });
}

void QtFrontEnd::SetStatusText(int part, const std::wstring &text) {
    Post([part, text](MainWindow *w) { w->SetStatusPart(part, QString::fromStdWString(text)); });
}

void QtFrontEnd::ShowBalloon(const std::wstring &text) {
    Post([text](MainWindow *w) { w->ShowBalloon(QString::fromStdWString(text)); });
}

void QtFrontEnd::SetStopScanEnabled(bool enabled) {
    Post([enabled](MainWindow *w) { w->SetStopScanEnabled(enabled); });
}

MessageAnswer QtFrontEnd::ShowMessage(const std::wstring &title, const std::wstring &text,
                                      MessageIcon icon, MessageButtons buttons) {
    return Ask(title, text, icon, buttons, false);
}

MessageAnswer QtFrontEnd::AskDefaultNo(const std::wstring &title, const std::wstring &text) {
    return Ask(title, text, MessageIcon::Question, MessageButtons::YesNo, true);
}

MessageAnswer QtFrontEnd::Ask(const std::wstring &title, const std::wstring &text,
                              MessageIcon icon, MessageButtons buttons, bool defaultNo) {
    if (!OnWindowThread()) {
        // Boxes belong to the window thread. Asking it from elsewhere would
        // block this thread on the window thread, which may be waiting for a
        // lock this thread holds; answer as nobody clicked instead.
        return DefaultAnswer(buttons);
    }
    Flush();  // the box comes after every update made before it
    if (const Answerer &answerer = AnswererSlot())
        return answerer(title, text, icon, buttons);
    QWidget *parent = nullptr;
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (window && window->isVisible())
            parent = window.data();
    }
    return RunBox(parent, title, text, icon, buttons, defaultNo);
}

void QtFrontEnd::SetAnswerer(Answerer answerer) { AnswererSlot() = std::move(answerer); }

MessageAnswer QtFrontEnd::DefaultAnswer(MessageButtons buttons) {
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}
