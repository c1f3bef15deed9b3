#include "EditItems.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>
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

// The pick list of a Find: the matches best first; Link takes the selected
// one, "Keep as typed" (or closing) none. The chosen match's index, or -1.
int PickMatch(QWidget *owner, const std::vector<TvSearchHit> &hits, const std::string &error) {
    QDialog pick(owner);
    pick.setObjectName(QStringLiteral("FindShow"));
    pick.setWindowTitle(QStringLiteral("Find Show"));
    auto *layout = new QVBoxLayout(&pick);
    QString heading = hits.empty() ? (error.empty() ? QStringLiteral("TVmaze knows no show of that name.")
                                                    : QStringLiteral("TVmaze could not be asked: ") +
                                                          QString::fromStdString(error))
                                   : QStringLiteral("Show information from TVmaze.com:");
    layout->addWidget(new QLabel(heading, &pick));
    auto *list = new QListWidget(&pick);
    list->setObjectName(QStringLiteral("matches"));
    for (const TvSearchHit &hit : hits)
        list->addItem(QString::fromStdString(FindHitText(hit)));
    if (!hits.empty())
        list->setCurrentRow(0);
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(&pick);
    QPushButton *link = buttons->addButton(QStringLiteral("Link"), QDialogButtonBox::AcceptRole);
    link->setObjectName(QStringLiteral("link"));
    link->setEnabled(!hits.empty());
    buttons->addButton(QString::fromLatin1(kKeepAsTyped), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("keep"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &pick, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &pick, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &pick, &QDialog::accept);
    layout->addWidget(buttons);
    pick.resize(pick.sizeHint().expandedTo(QSize(420, 240)));
    if (pick.exec() != QDialog::Accepted || hits.empty())
        return -1;
    return list->currentRow();
}

void Pump() { QApplication::processEvents(QEventLoop::AllEvents, 20); }

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
    setFixedSize(du.Size(316, 136));

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
    name = PlaceControl(new QLineEdit(this), du, 1014, 75, 30, 185, 12);
    findButton = PlaceControl(new QPushButton(QStringLiteral("Find"), this), du, 1030, 262, 29, 40, 14);
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
    schedule = PlaceControl(new QLabel(this), du, 1031, 7, 126, 302, 8);

    // No default button (Enter is keyPressEvent's): the dialog has no OK or
    // Cancel, only its close box.
    for (QPushButton *button : {addNew, remove, save, findButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(addNew, &QPushButton::clicked, this, &EditItems::AddNew);
    connect(remove, &QPushButton::clicked, this, &EditItems::DeleteSelected);
    connect(save, &QPushButton::clicked, this, &EditItems::SaveChanges);
    connect(findButton, &QPushButton::clicked, this, &EditItems::Find);

    FitTemplateToTexts(this, du, 316, 136);
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
    ShowSchedule();
}

void EditItems::ShowSchedule() {
    const std::string text = ShowScheduleText(shows->currentIndex());
    schedule->setText(QString::fromStdString(text));
}

void EditItems::Find() {
    const int index = shows->currentIndex();
    if (!GetShow(index))
        return;
    const std::string typed = ToNarrowText(name->text());
    if (typed.empty())
        return;
    // The dialog takes no input while TVmaze is asked; the window stays alive.
    setEnabled(false);
    schedule->setText(QStringLiteral("Asking TVmaze..."));
    FindResult found = FindShowOnTvmaze(typed, &Pump);
    setEnabled(true);
    const int picked = PickMatch(this, found.hits, found.error);
    if (picked < 0 || static_cast<size_t>(picked) >= found.hits.size()) {
        ShowSchedule();
        return;
    }
    setEnabled(false);
    schedule->setText(QStringLiteral("Asking TVmaze..."));
    const int now = LinkShowToHit(index, found.hits[static_cast<size_t>(picked)], &Pump);
    setEnabled(true);
    FillList();
    {
        const QSignalBlocker quiet(shows);
        shows->setCurrentIndex(now);
    }
    ShowSelected();
}

void EditItems::ClearFields() {
    for (QLineEdit *edit : {name, keywords, season, episode})
        edit->clear();
    schedule->clear();
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
