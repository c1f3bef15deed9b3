#include "dialoghooks.h"

#include "ConfigWindow.h"
#include "EditItems.h"
#include "EditSeenWindow.h"

void RunSettingsDialog(QWidget *owner) {
    ConfigWindow dialog(owner);
    dialog.exec();
}

void RunShowEditor(QWidget *owner) {
    EditItems dialog(owner);
    dialog.exec();
}

void RunSeenListEditor(QWidget *owner) {
    EditSeenWindow dialog(owner);
    dialog.exec();
}
