// The seen list editor: every release name in the seen list with the local
// time at which it was marked; deleting rows erases their entries at once,
// "Close" saves the seen list, the close box leaves the file as it is. Runs
// modally while the caller holds CheckLock.
#pragma once

#include <QDialog>

#include <cstdint>

class QTreeWidget;

class EditSeenWindow : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog and lists the seen list as it is now.
    explicit EditSeenWindow(QWidget *owner = nullptr);

    // Erases the entries of every selected row and deletes the rows.
    void DeleteSelected();
    // "Close": saves the seen list and ends the dialog.
    void SaveAndClose();

    // The "Time" column's text for a time: ctime's form of the local time,
    // without the line end; empty when the time cannot be shown.
    static QString TimeText(int64_t when);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildTemplate();
    void FillList();
    void UpdateToolTips();

    QTreeWidget *entries = nullptr;
};
