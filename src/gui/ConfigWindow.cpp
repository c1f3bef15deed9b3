#include "ConfigWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>
#include <QTreeWidget>

#include <string>

#include "commands.h"
#include "dialogkit.h"
#include "loader.h"
#include "mainwindow.h"
#include "settings.h"
#include "settingsform.h"
#include "vorlo/platform.h"

namespace {

const int kSlotRole = Qt::UserRole;

// The interval edit takes digits only, and no number above the largest
// interval; a number below the smallest is let through while it is typed
// ("1" on the way to "120") and refused, with a word why, by Save & Close.
class IntervalValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override {
        if (input.isEmpty())
            return Intermediate;
        if (input.size() > 10)
            return Invalid;
        for (QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        const qlonglong value = input.toLongLong();
        if (value > kIntervalMax)
            return Invalid;
        return value < kIntervalMin ? Intermediate : Acceptable;
    }
};

ConfigWindow::FolderPicker &PickerSlot() {
    static ConfigWindow::FolderPicker picker;
    return picker;
}

// The system's folder browser, owned by no window, folders only.
QString BrowseForFolder(const QString &title) {
    return QFileDialog::getExistingDirectory(nullptr, title, QString(),
                                             QFileDialog::ShowDirsOnly);
}

QPushButton *MakeButton(QWidget *parent, const QString &text) {
    auto *button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    return button;
}

PluginSlot *SlotOf(const QTreeWidgetItem *row) {
    if (!row)
        return nullptr;
    bool ok = false;
    const int index = row->data(0, kSlotRole).toInt(&ok);
    return ok ? PluginSlotAt(index) : nullptr;
}

}  // namespace

void ConfigWindow::SetFolderPicker(FolderPicker picker) { PickerSlot() = std::move(picker); }

ConfigWindow::ConfigWindow(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("105"));
    setWindowTitle(QStringLiteral("Quillon Settings"));
    // Tool window with caption and system menu; fixed size.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildTemplate();
    FillFromSettings();
    FillPluginList();
}

void ConfigWindow::BuildTemplate() {
    const DialogUnits du(font());
    setFixedSize(du.Size(225, 228));

    PlaceControl(new QGroupBox(QStringLiteral("Quillon Options"), this), du, -1, 7, 7, 214, 41);
    autoScan = PlaceControl(
        new QCheckBox(QStringLiteral("Automatically scan for new reports every"), this), du, 1006,
        10, 16, 144, 10);
    interval = PlaceControl(new QLineEdit(this), du, 1007, 155, 15, 28, 12);
    interval->setValidator(new IntervalValidator(interval));
    interval->setMaxLength(10);
    // As tall as the field beside it, so that its text sits on the field's line.
    PlaceControl(new QLabel(QStringLiteral("seconds."), this), du, -1, 186, 15, 30, 12);
    minimizeToTray = PlaceControl(new QCheckBox(QStringLiteral("Minimize to system tray"), this),
                                  du, 1012, 10, 26, 86, 10);
    // Without a tray minimising never hides the window: the box would promise
    // what cannot happen. It keeps the stored value for a desktop with a tray.
    if (!SystemTrayAvailable()) {
        minimizeToTray->setEnabled(false);
        minimizeToTray->setToolTip(QStringLiteral("This desktop has no system tray."));
    }
    confirmExit = PlaceControl(new QCheckBox(QStringLiteral("Confirm Exit"), this), du, 1009, 10,
                               36, 57, 10);

    PlaceControl(new QGroupBox(QStringLiteral("Search Plugins"), this), du, -1, 7, 48, 214, 90);
    plugins = PlaceControl(new QTreeWidget(this), du, 1018, 11, 57, 206, 61);
    plugins->setRootIsDecorated(false);
    plugins->setItemsExpandable(false);
    plugins->setSelectionMode(QAbstractItemView::ExtendedSelection);
    plugins->setEditTriggers(QAbstractItemView::NoEditTriggers);
    plugins->setHeaderLabels({QStringLiteral("Plugin"), QStringLiteral("Status")});
    plugins->header()->setSectionsClickable(false);
    plugins->header()->setStretchLastSection(false);
    plugins->viewport()->installEventFilter(this);
    connect(plugins, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *row, int) { ConfigurePlugin(row); });

    toggleButton = PlaceControl(MakeButton(this, QStringLiteral("Disable")), du, 1013, 62, 120, 50, 14);
    configureButton =
        PlaceControl(MakeButton(this, QStringLiteral("Configure")), du, 1014, 113, 120, 50, 14);
    connect(toggleButton, &QPushButton::clicked, this, &ConfigWindow::ToggleSelectedPlugin);
    connect(configureButton, &QPushButton::clicked, this, &ConfigWindow::ConfigureSelectedPlugin);

    // What "Execute" does here: the file goes to the program the desktop
    // associates with its type (xdg-open).
    const QString execute = QStringLiteral("Open with the default application");
    PlaceControl(new QGroupBox(QStringLiteral("NZB File Handling"), this), du, -1, 7, 138, 214, 34);
    nzbDownload = PlaceControl(new QRadioButton(QStringLiteral("Download NZBs to:"), this), du,
                               1005, 11, 148, 74, 10);
    // Both folder fields start at one position, after the longer of the two labels.
    nzbFolder = PlaceControl(new QLineEdit(this), du, 1003, 95, 147, 105, 12);
    nzbFolder->setReadOnly(true);
    QPushButton *nzbBrowse = PlaceControl(MakeButton(this, QStringLiteral("...")), du, 1010, 201,
                                          147, 18, 14);
    nzbExec = PlaceControl(new QRadioButton(execute, this), du, 1008, 11, 160, 174, 10);
    auto *nzbGroup = new QButtonGroup(this);
    nzbGroup->addButton(nzbDownload);
    nzbGroup->addButton(nzbExec);

    PlaceControl(new QGroupBox(QStringLiteral("BitTorrent File Handling"), this), du, -1, 7, 172,
                 214, 34);
    torrentDownload = PlaceControl(new QRadioButton(QStringLiteral("Download torrents to:"), this),
                                   du, 1016, 11, 183, 84, 10);
    torrentFolder = PlaceControl(new QLineEdit(this), du, 1004, 95, 182, 105, 12);
    torrentFolder->setReadOnly(true);
    QPushButton *torrentBrowse = PlaceControl(MakeButton(this, QStringLiteral("...")), du, 1015,
                                              201, 182, 18, 14);
    torrentExec = PlaceControl(new QRadioButton(execute, this), du, 1017, 11, 195, 174, 10);
    auto *torrentGroup = new QButtonGroup(this);
    torrentGroup->addButton(torrentDownload);
    torrentGroup->addButton(torrentExec);
    connect(nzbBrowse, &QPushButton::clicked, this, [this] { ChooseFolder(false); });
    connect(torrentBrowse, &QPushButton::clicked, this, [this] { ChooseFolder(true); });

    QPushButton *help = PlaceControl(MakeButton(this, QStringLiteral("Help")), du, 1011, 9, 209, 50, 14);
    QPushButton *close = PlaceControl(MakeButton(this, QStringLiteral("Close")), du, 2, 117, 209, 50, 14);
    QPushButton *save = PlaceControl(new QPushButton(QStringLiteral("Save && Close"), this), du, 1,
                                     167, 209, 54, 14);
    save->setDefault(true);
    connect(help, &QPushButton::clicked, this, &ConfigWindow::OpenHelp);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(save, &QPushButton::clicked, this, &ConfigWindow::SaveAndClose);

    FitTemplateToTexts(this, du, 225, 228);
    const int half = (plugins->width() - 2 * plugins->frameWidth()) / 2;
    plugins->setColumnWidth(0, half);
    plugins->setColumnWidth(1, half);
}

void ConfigWindow::FillFromSettings() {
    const SettingsForm form = SettingsFormFrom(g_settings);
    nzbFolder->setText(FromNarrow(form.nzbFolder.c_str(), form.nzbFolder.size()));
    torrentFolder->setText(FromNarrow(form.torrentFolder.c_str(), form.torrentFolder.size()));
    interval->setText(QString::fromLatin1(form.interval.c_str()));

    autoScan->setChecked(form.autoScan);
    confirmExit->setChecked(form.confirmExit);
    minimizeToTray->setChecked(form.minimizeToTray);
    (form.nzbExec ? nzbExec : nzbDownload)->setChecked(true);
    (form.torrentExec ? torrentExec : torrentDownload)->setChecked(true);
}

void ConfigWindow::FillPluginList() {
    toggleButton->setEnabled(false);
    configureButton->setEnabled(false);
    for (int index = 0; index < kPluginSlots; ++index) {
        const QLN_PLUGIN *plugin = g_pluginSlots[index].plugin;
        if (!plugin)
            continue;
        auto *row = new TextSortedItem();
        row->setText(0, FromNarrow(plugin->name));
        row->setData(0, kSlotRole, index);
        plugins->addTopLevelItem(row);
        RefreshRow(row);
    }
    // The list shows its rows in name order, whatever the slot order.
    plugins->sortItems(0, Qt::AscendingOrder);
}

void ConfigWindow::RefreshRow(QTreeWidgetItem *row) {
    PluginSlot *slot = SlotOf(row);
    if (!slot)
        return;
    toggleButton->setText(QString::fromLatin1(PluginStateText(*slot)));
    row->setText(1, FromNarrow(RefreshPluginSlot(*slot).c_str()));
}

bool ConfigWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == plugins->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton)
            OnListClick(mouse->position().toPoint());
    }
    return QDialog::eventFilter(watched, event);
}

void ConfigWindow::OnListClick(const QPoint &position) {
    QTreeWidgetItem *row = plugins->itemAt(position);
    toggleButton->setEnabled(row != nullptr);
    configureButton->setEnabled(row != nullptr);
    if (row)
        RefreshRow(row);
}

void ConfigWindow::ToggleSelectedPlugin() {
    QTreeWidgetItem *row = FirstSelectedRow(plugins);
    PluginSlot *slot = SlotOf(row);
    if (!slot)
        return;
    TogglePluginSlot(*slot);
    RefreshRow(row);
}

void ConfigWindow::ConfigureSelectedPlugin() { ConfigurePlugin(FirstSelectedRow(plugins)); }

void ConfigWindow::ConfigurePlugin(QTreeWidgetItem *row) {
    PluginSlot *slot = SlotOf(row);
    if (!slot || !slot->plugin)
        return;
    if (slot->plugin->Configure) {
        slot->plugin->Configure(static_cast<QWidget *>(this));
        RefreshRow(row);
    } else {
        AskUser(L"Information", kNoPluginConfiguration, MessageIcon::Information,
                MessageButtons::Ok);
    }
}

void ConfigWindow::ChooseFolder(bool torrent) {
    const QString title = QString::fromLatin1(torrent ? kTorrentFolderTitle : kNzbFolderTitle);
    const FolderPicker &picker = PickerSlot();
    const QString folder = picker ? picker(title) : BrowseForFolder(title);
    const std::string chosen = ChosenFolder(ToNarrowText(folder));
    if (chosen.empty())
        return;
    (torrent ? torrentFolder : nzbFolder)->setText(FromNarrow(chosen.c_str(), chosen.size()));
}

void ConfigWindow::OpenHelp() {
    PlatformOpen(SettingsHelpUrl(kWebsiteUrl).c_str());
}

void ConfigWindow::SaveAndClose() {
    SettingsForm form;
    form.autoScan = autoScan->isChecked();
    form.minimizeToTray = minimizeToTray->isChecked();
    form.confirmExit = confirmExit->isChecked();
    form.nzbExec = nzbExec->isChecked();
    form.torrentExec = torrentExec->isChecked();
    form.nzbFolder = ToNarrowText(nzbFolder->text());
    form.torrentFolder = ToNarrowText(torrentFolder->text());
    form.interval = ToNarrowText(interval->text());
    const std::wstring refused = ApplySettingsForm(form, g_settings);
    if (!refused.empty())
        AskUser(L"Notice", refused.c_str(), MessageIcon::Information, MessageButtons::Ok);
    accept();
}
