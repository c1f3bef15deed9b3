// The settings dialog "Quillon Settings": the main settings (automatic scan
// and its interval, tray, exit confirmation, NZB and torrent handling) and the
// plugin list, where each plugin is enabled, disabled or configured. Plugin
// states are saved to plugins.ini at once; the main settings change only with
// Save & Close. Runs modally while the caller holds CheckLock.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class ConfigWindow : public QDialog {
    Q_OBJECT
public:
    // Shows the system's folder browser with a title; the chosen folder, or an
    // empty text when the user cancelled.
    using FolderPicker = std::function<QString(const QString &title)>;

    // Builds the dialog and fills it from the main settings and the plugin slots.
    explicit ConfigWindow(QWidget *owner = nullptr);

    // Replaces the folder browser (tests); an empty picker restores it.
    static void SetFolderPicker(FolderPicker picker);

    // The commands of the dialog's buttons and list.
    void SaveAndClose();
    void ToggleSelectedPlugin();
    void ConfigureSelectedPlugin();
    void ConfigurePlugin(QTreeWidgetItem *row);
    void ChooseFolder(bool torrent);
    void OpenHelp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildTemplate();
    void FillFromSettings();
    void FillPluginList();
    void RefreshRow(QTreeWidgetItem *row);
    void OnListClick(const QPoint &position);

    QCheckBox *autoScan = nullptr;
    QLineEdit *interval = nullptr;
    QCheckBox *minimizeToTray = nullptr;
    QCheckBox *confirmExit = nullptr;
    QTreeWidget *plugins = nullptr;
    QPushButton *toggleButton = nullptr;
    QPushButton *configureButton = nullptr;
    QRadioButton *nzbDownload = nullptr;
    QLineEdit *nzbFolder = nullptr;
    QRadioButton *nzbExec = nullptr;
    QRadioButton *torrentDownload = nullptr;
    QLineEdit *torrentFolder = nullptr;
    QRadioButton *torrentExec = nullptr;
};
