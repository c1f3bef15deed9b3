// The show editor "Edit Shows": pick a show from the drop-down list, edit its
// name, extra keywords, season, next episode and options, save them to the
// show list file, add a new show or delete the selected one. It works directly
// on the process-wide show list (an entry's position is the show's index) and
// runs modally while the caller holds CheckLock.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class EditItems : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog, fills the list and shows the first show.
    explicit EditItems(QWidget *owner = nullptr);

    // The commands of the dialog's buttons.
    void AddNew();
    void DeleteSelected();
    void SaveChanges();
    // Find: lists TVmaze's matches for the name; picking one fills the name
    // and links the show, "Keep as typed" leaves it as it is.
    void Find();

protected:
    // Enter runs Save Changes (or presses the push button that has the
    // focus), as in the window this editor imitates; Escape closes.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void BuildTemplate();
    // Refills the drop-down list from the show list and selects the first entry.
    void FillList();
    // Puts the selected show into the fields (nothing without a selection).
    void ShowSelected();
    void ClearFields();
    // The schedule line of the selected show.
    void ShowSchedule();

    QComboBox *shows = nullptr;
    QLineEdit *name = nullptr;
    QLineEdit *keywords = nullptr;
    QLineEdit *season = nullptr;
    QLineEdit *episode = nullptr;
    QCheckBox *hdOnly = nullptr;
    QCheckBox *skip = nullptr;
    QCheckBox *catchup = nullptr;
    QCheckBox *pause = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *findButton = nullptr;
    QLabel *schedule = nullptr;
};
