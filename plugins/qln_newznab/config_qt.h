// The Newznab/Torznab indexer row's Qt settings dialog (Linux).
#pragma once

#include "config.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

// Controls by objectName, with the ids of config.h. "OK" writes every key to
// the section at once; Cancel and closing save nothing.
class NewznabSettingsDialog : public QDialog {
public:
    NewznabSettingsDialog(QWidget *parent, const char *iniPath, std::string section,
                          const IndexerSettings &settings, IndexerTest test);
    // The settings as the fields describe them now.
    IndexerSettings Fields() const;

private:
    IndexerFields Texts() const;
    void Save();
    void Test();

    const char *iniPath;
    std::string section;
    IndexerTest test;
    QLineEdit *name, *url, *apipath, *apikey, *categories, *hdcategories;
    QLineEdit *minseeders, *dailyapi, *dailygrabs;
    QComboBox *kind;
};
