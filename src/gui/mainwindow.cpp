#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include "checkcycle.h"
#include "commands.h"
#include "dialoghooks.h"
#include "dialogunits.h"
#include "log.h"
#include "settings.h"

// The resources live in a static library: registered by hand.
static void InitProgramResources() { Q_INIT_RESOURCE(quillon); }

namespace {

const char kCaption[] = "Quillon " QUILLON_VERSION_TEXT;
const int kBalloonMaxChars = 255;
const int kBalloonMilliseconds = 10000;

int g_trayOverride = -1;

}  // namespace

bool SystemTrayAvailable() {
    if (g_trayOverride >= 0)
        return g_trayOverride != 0;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void OverrideSystemTrayAvailable(int available) { g_trayOverride = available < 0 ? -1 : available != 0; }

QIcon MainWindow::ProgramIcon() {
    InitProgramResources();
    return QIcon(QStringLiteral(":/quillon/quillon.png"));
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("101"));
    // Caption, system menu and minimise box; no maximise, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(ProgramIcon());
    BuildTemplate();
    BuildMenu();
}

MainWindow::~MainWindow() {
    if (tray)
        tray->hide();
}

void MainWindow::BuildTemplate() {
    const DialogUnits du(font());
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));

    auto *logBox = new QGroupBox(QStringLiteral("Log"), client);
    logBox->setGeometry(du.Rect(7, 7, 563, 158));
    logList = new QListWidget(client);
    logList->setObjectName(QStringLiteral("1004"));
    logList->setGeometry(du.Rect(11, 17, 552, 144));

    auto *downloadBox = new QGroupBox(QStringLiteral("Downloads"), client);
    downloadBox->setGeometry(du.Rect(7, 165, 563, 106));
    downloadList = new QListWidget(client);
    downloadList->setObjectName(QStringLiteral("1003"));
    downloadList->setGeometry(du.Rect(11, 175, 552, 92));

    for (QListWidget *list : {logList, downloadList}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setUniformItemSizes(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->raise();  // above the group box frames
    }

    // The template is 577 by 285 units; the status bar takes the bottom strip
    // below the "Downloads" box.
    client->setFixedSize(du.X(577), du.Y(275));
    setCentralWidget(client);
}

QAction *MainWindow::AddCommand(QMenu *menu, int id, const QString &text, bool enabled) {
    QAction *action = menu->addAction(text);
    action->setObjectName(QString::number(id));
    action->setData(id);
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    return action;
}

void MainWindow::BuildMenu() {
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("103"));
    bar->setNativeMenuBar(false);

    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    AddCommand(file, IDM_SCAN_NOW, QStringLiteral("Sca&n Now"));
    AddCommand(file, IDM_STOP_SCAN, QStringLiteral("S&top Scan"), false);
    file->addSeparator();
    AddCommand(file, IDM_EDIT_SHOWS, QStringLiteral("E&dit shows..."));
    AddCommand(file, IDM_SETTINGS, QStringLiteral("&Settings..."));
    file->addSeparator();
    QMenu *import = file->addMenu(QStringLiteral("Im&port"));
    AddCommand(import, IDM_IMPORT_SHOWS, QStringLiteral("Shows..."));
    AddCommand(import, IDM_IMPORT_SETTINGS, QStringLiteral("Settings..."));
    import->addSeparator();
    AddCommand(import, IDM_IMPORT_TVRAGE, QStringLiteral("Shows from TVRage \"My Schedule\""));
    QMenu *exportMenu = file->addMenu(QStringLiteral("E&xport"));
    AddCommand(exportMenu, IDM_EXPORT_SHOWS, QStringLiteral("Shows..."));
    AddCommand(exportMenu, IDM_EXPORT_SETTINGS, QStringLiteral("Settings..."));
    file->addSeparator();
    AddCommand(file, IDM_EXIT, QStringLiteral("&Exit..."));

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    AddCommand(help, IDM_WEBSITE, QStringLiteral("&Website..."));
    AddCommand(help, IDM_ABOUT, QStringLiteral("&About..."));
    help->addSeparator();
    AddCommand(help, IDM_EDIT_SEEN, QStringLiteral("Ed&it seen list..."));
}

void MainWindow::Open() {
    setWindowTitle(QString::fromLatin1(kCaption));

    // Three parts ending at one half, three quarters and the whole width.
    QStatusBar *bar = statusBar();
    bar->setSizeGripEnabled(false);
    bar->setContentsMargins(0, 0, 0, 0);
    auto *parts = new QWidget(bar);
    auto *layout = new QHBoxLayout(parts);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const int width = centralWidget()->width();
    const int edges[3] = {width / 2, width * 3 / 4, width};
    int left = 0;
    for (int i = 0; i < 3; ++i) {
        statusParts[i] = new QLabel(parts);
        statusParts[i]->setObjectName(QStringLiteral("statusPart%1").arg(i));
        statusParts[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusParts[i]->setTextFormat(Qt::PlainText);
        statusParts[i]->setFixedWidth(edges[i] - left);
        layout->addWidget(statusParts[i]);
        left = edges[i];
    }
    bar->addWidget(parts, 1);
    setFixedSize(sizeHint());

    SetStatus(L"Starting up...");

    AddTrayIcon();

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
}

bool MainWindow::AddTrayIcon() {
    if (!SystemTrayAvailable())
        return false;
    if (!tray) {
        tray = new QSystemTrayIcon(ProgramIcon(), this);
        tray->setObjectName(QStringLiteral("trayIcon"));
        tray->setToolTip(QStringLiteral("Quillon"));
        connect(tray, &QSystemTrayIcon::activated, this, &MainWindow::OnTrayActivated);
        BuildTrayMenu();
        tray->setContextMenu(trayMenu);
    }
    tray->show();
    return true;
}

// Trays that only report single clicks (StatusNotifierItem) also need a menu
// to reach the window and the two commands that matter while it is hidden.
void MainWindow::BuildTrayMenu() {
    trayMenu = new QMenu(this);
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    QAction *restore = trayMenu->addAction(QStringLiteral("&Restore"));
    restore->setObjectName(QStringLiteral("trayRestore"));
    connect(restore, &QAction::triggered, this, &MainWindow::RestoreFromTray);
    QAction *scan = trayMenu->addAction(QStringLiteral("Sca&n Now"));
    scan->setObjectName(QStringLiteral("trayScanNow"));
    scan->setData(IDM_SCAN_NOW);
    connect(scan, &QAction::triggered, this, [this] { OnCommand(IDM_SCAN_NOW); });
    trayMenu->addSeparator();
    QAction *exit = trayMenu->addAction(QStringLiteral("&Exit"));
    exit->setObjectName(QStringLiteral("trayExit"));
    exit->setData(IDM_EXIT);
    connect(exit, &QAction::triggered, this, [this] { OnCommand(IDM_EXIT); });
    // While a dialog runs (holding CheckLock) the menu bar cannot be reached
    // either: ending the program or asking for a pass then waits for it.
    connect(trayMenu, &QMenu::aboutToShow, this, [scan, exit] {
        const bool free = QApplication::activeModalWidget() == nullptr;
        scan->setEnabled(free);
        exit->setEnabled(free);
    });
}

bool MainWindow::CanHideToTray() const {
    return tray && tray->isVisible() && SystemTrayAvailable();
}

void MainWindow::AppendLines(LogTarget which, const std::vector<std::wstring> &lines) {
    QListWidget *list = List(which);
    if (!list || lines.empty())
        return;
    while (list->count() > kMaxOldEntries)
        delete list->takeItem(0);
    for (const std::wstring &line : lines)
        list->addItem(QString::fromStdWString(line));
    list->setCurrentRow(list->count() - 1);
    list->scrollToBottom();
}

QListWidget *MainWindow::List(LogTarget which) const {
    return which == LogTarget::Downloads ? downloadList : logList;
}

void MainWindow::SetStatusPart(int part, const QString &text) {
    if (part >= 0 && part < 3 && statusParts[part])
        statusParts[part]->setText(text);
}

void MainWindow::ShowBalloon(const QString &text) {
    if (hasClosed)
        return;
    // The tray may have come (back) since: the icon is added again first.
    if (!tray || !tray->isVisible()) {
        if (!AddTrayIcon())
            return;
    }
    QString shown = text.left(kBalloonMaxChars);
    if (shown.size() < text.size() && !shown.isEmpty() && shown.back().isHighSurrogate())
        shown.chop(1);  // never half a character
    tray->showMessage(QStringLiteral("Quillon"), shown, QSystemTrayIcon::Information,
                      kBalloonMilliseconds);
}

void MainWindow::SetStopScanEnabled(bool enabled) {
    if (QAction *stop = Action(IDM_STOP_SCAN))
        stop->setEnabled(enabled);
}

QAction *MainWindow::Action(int id) const {
    return menuBar()->findChild<QAction *>(QString::number(id));
}

void MainWindow::OnCommand(int id) {
    switch (id) {
    case IDM_EXIT: close(); break;
    case IDM_SETTINGS: UnderCheckLock(kNoticeSettings, [this] { RunSettingsDialog(this); }); break;
    case IDM_EDIT_SHOWS: UnderCheckLock(kNoticeShowEditor, [this] { RunShowEditor(this); }); break;
    case IDM_SCAN_NOW: RequestScanNow(); break;
    case IDM_ABOUT:
        GetFrontEnd().ShowMessage(AboutTitle(), AboutText(), MessageIcon::Information,
                                  MessageButtons::Ok);
        break;
    case IDM_STOP_SCAN: RequestStopScan(); break;
    case IDM_WEBSITE: OpenWebsite(); break;
    case IDM_EDIT_SEEN: UnderCheckLock(kNoticeSeenList, [this] { RunSeenListEditor(this); }); break;
    case IDM_EXPORT_SETTINGS: ExportSettings(this); break;
    case IDM_IMPORT_SHOWS: ImportShows(this); break;
    case IDM_IMPORT_SETTINGS: ImportSettings(this); break;
    case IDM_EXPORT_SHOWS: ExportShows(this); break;
    case IDM_IMPORT_TVRAGE: break;  // listed, but there is nothing to import from
    default: break;
    }
}

void MainWindow::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    const QSystemTrayIcon::ActivationReason previous = lastActivation;
    lastActivation = reason;
    if (reason == QSystemTrayIcon::Trigger) {
        ToggleFromTray();
    } else if (reason == QSystemTrayIcon::DoubleClick && previous != QSystemTrayIcon::Trigger) {
        // Trays that report double-clicks report their first click as a
        // single activation, which has toggled the window already.
        ToggleFromTray();
    }
}

void MainWindow::RestoreFromTray() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::ToggleFromTray() {
    if (isMinimized() || isHidden()) {
        RestoreFromTray();
    } else {
        showMinimized();
        if (g_settings.minimizeToTray && CanHideToTray())
            hide();
    }
}

void MainWindow::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() &&
        g_settings.minimizeToTray && CanHideToTray()) {
        // Hidden once the state change is complete, leaving only the icon.
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && CanHideToTray())
                hide();
        });
    }
}

void MainWindow::CloseWithoutConfirmation() {
    forceClose = true;
    if (!hasClosed)
        close();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    if (hasClosed) {
        event->accept();
        return;
    }
    if (!forceClose && g_settings.confirmExit) {
        const MessageAnswer answer =
            GetFrontEnd().ShowMessage(L"Confirmation", L"Are you sure you want to exit Quillon?",
                                      MessageIcon::Question, MessageButtons::YesNo);
        // A signal that arrived while the question was open ends the program anyway.
        if (hasClosed) {  // closed for a signal while the question was open
            event->accept();
            return;
        }
        if (answer != MessageAnswer::Yes && !forceClose) {
            event->ignore();
            return;
        }
    }
    hasClosed = true;
    if (tray)
        tray->hide();
    event->accept();
    emit closed();
}
