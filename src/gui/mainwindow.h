// The main window: the "Log" and "Downloads" lists, the three-part status bar,
// the menu of commands and the tray icon with its balloon. It presents what
// the core reports and hands each command to commands.h.
#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>

#include <string>
#include <vector>

#include "frontend.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;

// Whether the desktop offers a system tray. Tests may pretend either way with
// OverrideSystemTrayAvailable(0 or 1); -1 asks the desktop again.
bool SystemTrayAvailable();
void OverrideSystemTrayAvailable(int available);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static const int kMaxOldEntries = 250;

    // The program's icon, shared by the window and the tray.
    static QIcon ProgramIcon();

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Opening: caption, status bar, "Starting up...", tray icon, shown.
    void Open();

    // Window thread only (the front end queues calls from other threads).
    void AppendLines(LogTarget list, const std::vector<std::wstring> &lines);
    void SetStatusPart(int part, const QString &text);
    void ShowBalloon(const QString &text);
    void SetStopScanEnabled(bool enabled);

    // The menu command with this id, or nullptr.
    QAction *Action(int id) const;
    QListWidget *List(LogTarget list) const;
    QSystemTrayIcon *TrayIcon() const { return tray; }
    // The tray icon's menu: "Restore", "Scan Now", "Exit".
    QMenu *TrayMenu() const { return trayMenu; }
    // Whether minimising may hide the window: only with a working tray icon.
    bool CanHideToTray() const;

    // Ends the program as closing does, without asking (signals).
    void CloseWithoutConfirmation();
    bool IsClosed() const { return hasClosed; }

signals:
    // The window has closed; the event loop should end.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void BuildTemplate();
    void BuildMenu();
    QAction *AddCommand(QMenu *menu, int id, const QString &text, bool enabled = true);
    void OnCommand(int id);
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    bool AddTrayIcon();
    void BuildTrayMenu();
    void ToggleFromTray();
    void RestoreFromTray();

    QListWidget *logList = nullptr;
    QListWidget *downloadList = nullptr;
    QLabel *statusParts[3] = {nullptr, nullptr, nullptr};
    QSystemTrayIcon *tray = nullptr;
    QMenu *trayMenu = nullptr;
    QSystemTrayIcon::ActivationReason lastActivation = QSystemTrayIcon::Unknown;
    bool hasClosed = false;
    bool forceClose = false;
};
