// Small pieces the editing dialogs share: building a control at a dialog-unit
// position with its id as object name, narrow/wide text at the window
// boundary, list rows that sort by text like the system's list views, and
// message boxes through the front end (so tests can answer them).
#pragma once

#include <QByteArray>
#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <QWidget>

#include <cstring>
#include <string>

#include "dialogunits.h"
#include "frontend.h"

// Places `widget` at the template position and names it after its id (ids
// below 0 mark controls without one).
template <typename W>
W *PlaceControl(W *widget, const DialogUnits &du, int id, int x, int y, int width, int height) {
    if (id >= 0)
        widget->setObjectName(QString::number(id));
    widget->setGeometry(du.Rect(x, y, width, height));
    return widget;
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
