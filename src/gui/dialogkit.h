// Small pieces the editing dialogs share: building a control at a dialog-unit
// position with its id as object name, narrow/wide text at the window
// boundary, list rows that sort by text like the system's list views, and
// message boxes through the front end (so tests can answer them).
#pragma once

#include <QAbstractButton>
#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QWidget>

#include <cstring>
#include <string>

#include "dialogunits.h"
#include "frontend.h"

// The dynamic property that keeps a control's template position.
inline const char *TemplateRectProperty() { return "quillonTemplateRect"; }

// Places `widget` at the template position and names it after its id (ids
// below 0 mark controls without one).
template <typename W>
W *PlaceControl(W *widget, const DialogUnits &du, int id, int x, int y, int width, int height) {
    if (id >= 0)
        widget->setObjectName(QString::number(id));
    widget->setProperty(TemplateRectProperty(), QRect(x, y, width, height));
    widget->setGeometry(du.Rect(x, y, width, height));
    return widget;
}

// The desktop's font is usually wider for its average character than the
// template's font was, which would cut the end off some labels. The dialog is
// widened as a whole, every control keeping its place in the template, by the
// smallest factor at which every check box, radio button, label and push
// button shows its whole text.
inline void FitTemplateToTexts(QWidget *dialog, const DialogUnits &du, int width, int height) {
    double factor = 1.0;
    const QList<QWidget *> controls = dialog->findChildren<QWidget *>();
    for (QWidget *control : controls) {
        const QRect units = control->property(TemplateRectProperty()).toRect();
        if (units.isNull() || du.X(units.width()) <= 0)
            continue;
        int needed = 0;
        if (qobject_cast<QCheckBox *>(control) || qobject_cast<QRadioButton *>(control) ||
            qobject_cast<QLabel *>(control)) {
            needed = control->sizeHint().width();
        } else if (auto *button = qobject_cast<QPushButton *>(control)) {
            QString text = button->text();
            text.replace(QStringLiteral("&&"), QStringLiteral("&"));
            needed = button->fontMetrics().horizontalAdvance(text) + du.X(4);
        }
        factor = qMax(factor, static_cast<double>(needed) / du.X(units.width()));
    }
    factor = qMin(factor, 2.0);
    if (factor <= 1.0)
        return;
    const double unit = du.X(400) / 400.0 * factor;
    auto x = [unit](int units) { return static_cast<int>(units * unit + 0.5); };
    for (QWidget *control : controls) {
        const QRect units = control->property(TemplateRectProperty()).toRect();
        if (units.isNull())
            continue;
        const int left = x(units.x());
        const int h = qobject_cast<QComboBox *>(control) ? control->height() : du.Y(units.height());
        control->setGeometry(left, du.Y(units.y()), x(units.x() + units.width()) - left, h);
    }
    dialog->setFixedSize(x(width), du.Y(height));
}

// Narrow program text (the locale's encoding) for display; at most `size`
// bytes are read, so fixed buffers need no terminator.
inline QString FromNarrow(const char *text, size_t size = std::string::npos) {
    if (!text)
        return QString();
    const size_t length = size == std::string::npos ? std::strlen(text) : strnlen(text, size);
    return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

// The control's text in the locale's narrow encoding, cut to at most
// `maxBytes` bytes without splitting a multi-byte character.
inline std::string ToNarrowText(const QString &text, size_t maxBytes = std::string::npos) {
    QByteArray bytes = text.toLocal8Bit();
    size_t length = static_cast<size_t>(bytes.size());
    if (length > maxBytes) {
        length = maxBytes;
        // Back over continuation bytes of a character the cut would split.
        while (length > 0 && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
            --length;
    }
    return std::string(bytes.constData(), length);
}

// Copies a narrow text into a fixed field, always terminated.
template <size_t N>
void CopyToField(char (&field)[N], const std::string &text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// A list row ordered by the text of its first column, letter case ignored
// first, as the system's sorted list views order their rows.
class TextSortedItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem &other) const override {
        const QString a = text(0), b = other.text(0);
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    }
};

// The first selected row, searching from the top; nullptr when none is.
inline QTreeWidgetItem *FirstSelectedRow(const QTreeWidget *list) {
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = list->topLevelItem(i);
        if (row->isSelected())
            return row;
    }
    return nullptr;
}

inline MessageAnswer AskUser(const wchar_t *title, const wchar_t *text, MessageIcon icon,
                             MessageButtons buttons) {
    return GetFrontEnd().ShowMessage(title, text, icon, buttons);
}
