#include "EditItems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include <string>

#include "dialogkit.h"
#include "showform.h"
#include "showlist.h"

namespace {

QLabel *RightLabel(QWidget *parent, const QString &text) {
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit *DigitsEdit(QWidget *parent) {
    auto *edit = new QLineEdit(parent);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

}  // namespace

EditItems::EditItems(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("104"));
    setWindowTitle(QStringLiteral("Edit Shows"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildTemplate();
    FillList();
    ShowSelected();
}

void EditItems::BuildTemplate() {
    const DialogUnits du(font());
    setFixedSize(du.Size(316, 126));

    shows = PlaceControl(new QComboBox(this), du, 1012, 61, 7, 143, 119);
    shows->setEditable(false);
    // The template's height is the dropped-down list's; the closed box keeps its own.
    shows->resize(shows->width(), shows->sizeHint().height());
    shows->setMaxVisibleItems(qMax(1, du.Y(119 - 14) / qMax(1, shows->sizeHint().height())));
    connect(shows, &QComboBox::currentIndexChanged, this, [this](int) { ShowSelected(); });

    auto *addNew = PlaceControl(new QPushButton(QStringLiteral("Add New"), this), du, 1013, 207, 7, 40, 14);
    auto *remove = PlaceControl(new QPushButton(QStringLiteral("Del. Sel."), this), du, 1018, 247, 7, 40, 14);
    PlaceControl(new QGroupBox(QStringLiteral("Show Settings"), this), du, -1, 7, 20, 302, 89);
    PlaceControl(RightLabel(this, QStringLiteral("Show Name:")), du, -1, 10, 32, 63, 8);
    name = PlaceControl(new QLineEdit(this), du, 1014, 75, 30, 227, 12);
    PlaceControl(RightLabel(this, QStringLiteral("Extra Keywords:")), du, -1, 9, 46, 63, 8);
    keywords = PlaceControl(new QLineEdit(this), du, 1008, 75, 44, 227, 12);
    PlaceControl(new QGroupBox(QStringLiteral("TV Show Settings"), this), du, 1017, 14, 57, 288, 49);
    PlaceControl(RightLabel(this, QStringLiteral("Current Season #:")), du, 1021, 20, 70, 61, 8);
    season = PlaceControl(DigitsEdit(this), du, 1019, 82, 67, 45, 12);
    PlaceControl(RightLabel(this, QStringLiteral("Next Episode #:")), du, 1022, 20, 83, 61, 8);
    episode = PlaceControl(DigitsEdit(this), du, 1020, 82, 81, 45, 12);
    hdOnly = PlaceControl(new QCheckBox(QStringLiteral("HD Only (720p/1080p)"), this), du, 1023,
                          130, 65, 170, 10);
    skip = PlaceControl(new QCheckBox(QStringLiteral("Skip searching for 6 days when match found"), this),
                        du, 1016, 130, 75, 169, 10);
    catchup = PlaceControl(
        new QCheckBox(QStringLiteral("Full Series / Catchup Mode (does not save)"), this), du, 1024,
        130, 85, 168, 10);
    pause = PlaceControl(new QCheckBox(QStringLiteral("Pause (ie. between seasons)"), this), du,
                         1025, 130, 95, 168, 10);
    auto *save = PlaceControl(new QPushButton(QStringLiteral("Save Changes"), this), du, 1, 123, 110, 68, 14);
    saveButton = save;

    // No default button (Enter is keyPressEvent's): the dialog has no OK or
    // Cancel, only its close box.
    for (QPushButton *button : {addNew, remove, save}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(addNew, &QPushButton::clicked, this, &EditItems::AddNew);
    connect(remove, &QPushButton::clicked, this, &EditItems::DeleteSelected);
    connect(save, &QPushButton::clicked, this, &EditItems::SaveChanges);

    FitTemplateToTexts(this, du, 316, 126);
}

void EditItems::keyPressEvent(QKeyEvent *event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        (focused && focused->isEnabled() ? focused : saveButton)->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EditItems::FillList() {
    const QSignalBlocker quiet(shows);
    shows->clear();
    const std::vector<std::string> names = ShowNames();
    for (const std::string &showName : names)
        shows->addItem(FromNarrow(showName.c_str(), showName.size()));
    shows->setCurrentIndex(names.empty() ? -1 : 0);
}

void EditItems::ShowSelected() {
    const Show *show = GetShow(shows->currentIndex());
    if (!show)
        return;
    const ShowFields fields = ShowFieldsOf(*show);
    name->setText(FromNarrow(fields.name.c_str(), fields.name.size()));
    keywords->setText(FromNarrow(fields.keywords.c_str(), fields.keywords.size()));
    season->setText(QString::fromLatin1(fields.season.c_str()));
    episode->setText(QString::fromLatin1(fields.episode.c_str()));
    skip->setChecked(fields.skip);
    hdOnly->setChecked(fields.hdOnly);
    catchup->setChecked(fields.catchup);
    pause->setChecked(fields.pause);
}

void EditItems::ClearFields() {
    for (QLineEdit *edit : {name, keywords, season, episode})
        edit->clear();
    for (QCheckBox *box : {hdOnly, skip, catchup, pause})
        box->setChecked(false);
}

void EditItems::AddNew() {
    const int index = AddNewShow();
    if (index < 0)
        return;
    FillList();
    {
        const QSignalBlocker quiet(shows);
        shows->setCurrentIndex(index);
    }
    ShowSelected();
}

void EditItems::DeleteSelected() {
    if (!ConfirmAndDeleteShow(shows->currentIndex()))
        return;
    FillList();
    // With the last show gone the fields would still show it; they are emptied.
    if (shows->count() == 0)
        ClearFields();
    ShowSelected();
}

void EditItems::SaveChanges() {
    const int index = shows->currentIndex();
    if (!GetShow(index))
        return;
    ShowFields fields;
    fields.name = ToNarrowText(name->text());
    fields.keywords = ToNarrowText(keywords->text().left(kMaxKeywordChars));
    fields.season = ToNarrowText(season->text());
    fields.episode = ToNarrowText(episode->text());
    fields.hdOnly = hdOnly->isChecked();
    fields.skip = skip->isChecked();
    fields.catchup = catchup->isChecked();
    fields.pause = pause->isChecked();
    bool renamed = false;
    SaveShowFields(index, fields, &renamed);
    if (renamed) {
        FillList();
        ShowSelected();
    } else if (const Show *show = GetShow(index)) {
        // A change of letter case only keeps the list order; the entry shows it.
        shows->setItemText(index, FromNarrow(show->ShowName, sizeof show->ShowName));
    }
}
