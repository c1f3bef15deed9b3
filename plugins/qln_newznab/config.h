// The settings dialog of one Newznab/Torznab indexer row: every key of its
// section in plugins.ini, the API key masked, and a Test button that asks the
// indexer for its capabilities and shows the answer in plain words.
#pragma once

#include "settings.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLineEdit;

using IndexerTest = std::function<std::string(const IndexerSettings &)>;

// Controls, by objectName: name 1001, url 1002, apipath 1003, apikey 1004,
// kind 1005, categories 1006, hdcategories 1007, minseeders 1008, dailyapi
// 1009, dailygrabs 1010, Test 1011, OK 1, Cancel 2. "OK" writes every key
// to the section at once; Cancel and closing save nothing.
class NewznabSettingsDialog : public QDialog {
public:
    NewznabSettingsDialog(QWidget *parent, const char *iniPath, std::string section,
                          const IndexerSettings &settings, IndexerTest test);
    // The settings as the fields describe them now.
    IndexerSettings Fields() const;

private:
    void Save();
    void Test();

    const char *iniPath;
    std::string section;
    IndexerTest test;
    QLineEdit *name, *url, *apipath, *apikey, *categories, *hdcategories;
    QLineEdit *minseeders, *dailyapi, *dailygrabs;
    QComboBox *kind;
};

// Runs the dialog modally over `parent` (a QWidget *); true when it saved.
bool RunNewznabSettingsDialog(void *parent, const char *iniPath, const std::string &section,
                              const IndexerSettings &settings, IndexerTest test);
