#include "EditSeenWindow.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

#include <string>

#include "dialogkit.h"
#include "seenform.h"
#include "seenlist.h"

namespace {

// Each row keeps its entry's key byte for byte, so that a name the display
// cannot convert exactly is still erased by its own key.
const int kKeyRole = Qt::UserRole;

}  // namespace

EditSeenWindow::EditSeenWindow(QWidget *owner) : QDialog(owner) {
    setObjectName(QStringLiteral("106"));
    setWindowTitle(QStringLiteral("Dialog"));
    // Caption, system menu and modal frame; fixed size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildTemplate();
    FillList();
}

void EditSeenWindow::BuildTemplate() {
    const DialogUnits du(font());
    setFixedSize(du.Size(316, 194));

    PlaceControl(new QLabel(QStringLiteral("Seen Items List - Entries will be automatically "
                                           "cleared after 60 days."),
                            this),
                 du, -1, 7, 8, 302, 8);
    entries = PlaceControl(new QTreeWidget(this), du, 1026, 7, 17, 302, 153);
    entries->setRootIsDecorated(false);
    entries->setItemsExpandable(false);
    entries->setSelectionMode(QAbstractItemView::ExtendedSelection);
    entries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    entries->setWordWrap(false);
    entries->setHeaderLabels({QStringLiteral("Seen Item"), QStringLiteral("Time")});
    entries->header()->setSectionsClickable(false);
    entries->header()->setStretchLastSection(false);
    entries->installEventFilter(this);

    auto *remove = PlaceControl(new QPushButton(QStringLiteral("Del. Selected"), this), du, 1025,
                                105, 173, 53, 14);
    auto *close = PlaceControl(new QPushButton(QStringLiteral("Close"), this), du, 1, 160, 173, 50, 14);
    remove->setAutoDefault(false);
    close->setDefault(true);
    connect(remove, &QPushButton::clicked, this, &EditSeenWindow::DeleteSelected);
    connect(close, &QPushButton::clicked, this, &EditSeenWindow::SaveAndClose);

    FitTemplateToTexts(this, du, 316, 194);
    // The client width without the vertical scroll bar, which comes as soon
    // as the rows outgrow the list: columns sized on the whole width would
    // then no longer fit and bring a horizontal bar with them.
    const int bar = entries->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                  entries->verticalScrollBar());
    const int client = entries->width() - 2 * entries->frameWidth() - bar;
    entries->setColumnWidth(0, static_cast<int>(client * 0.66));
    entries->setColumnWidth(1, static_cast<int>(client * 0.33));
    connect(entries->header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int) {
                if (column == 0)
                    UpdateToolTips();
            });
}

void EditSeenWindow::UpdateToolTips() {
    // A name wider than its column is shown cut; the tool tip shows all of it.
    const int margin = 2 * (entries->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr,
                                                          entries) + 1);
    const int room = entries->columnWidth(0) - margin;
    const QFontMetrics metrics(entries->font());
    for (int i = 0; i < entries->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = entries->topLevelItem(i);
        const QString name = row->text(0);
        row->setToolTip(0, metrics.horizontalAdvance(name) > room ? name : QString());
    }
}

QString EditSeenWindow::TimeText(int64_t when) {
    const std::string text = SeenTimeText(when);
    return FromNarrow(text.c_str(), text.size());
}

void EditSeenWindow::FillList() {
    QList<QTreeWidgetItem *> rows;
    for (const SeenRow &entry : SeenRows()) {
        auto *row = new TextSortedItem();
        row->setText(0, FromNarrow(entry.key.c_str(), entry.key.size()));
        row->setData(0, kKeyRole,
                     QByteArray(entry.key.data(), static_cast<qsizetype>(entry.key.size())));
        row->setText(1, FromNarrow(entry.time.c_str(), entry.time.size()));
        rows.append(row);
    }
    entries->addTopLevelItems(rows);
    entries->sortItems(0, Qt::AscendingOrder);
    UpdateToolTips();
}

void EditSeenWindow::DeleteSelected() {
    while (QTreeWidgetItem *row = FirstSelectedRow(entries)) {
        const QByteArray key = row->data(0, kKeyRole).toByteArray();
        EraseSeenEntry(std::string(key.constData(), static_cast<size_t>(key.size())));
        delete row;
    }
}

void EditSeenWindow::SaveAndClose() {
    SaveSeen();
    accept();
}

bool EditSeenWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == entries && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
