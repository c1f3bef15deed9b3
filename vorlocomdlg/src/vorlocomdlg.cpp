// The open and save file dialogs of libvorlocomdlg.so: QFileDialog behind the
// five exported functions. The library keeps no state besides the pointer to
// its handler table.
#include "dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QShowEvent>
#include <QString>
#include <QStringList>
#include <QStyle>
#include <QThread>
#include <QTreeView>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// What one request asks for, after its texts were read in either form.
struct Request {
    QWidget *owner = nullptr;
    QString initialFile;
    QString title;
    QString folder;
    QStringList filters;
    QStringList patterns;  // each filter's patterns, ';'-separated as given
    int filterIndex = 0;
    bool save = false;
};

QString FromWide(const wchar_t *text) {
    return text ? QString::fromWCharArray(text) : QString();
}

QString FromNarrow(const char *text) {
    return text ? QString::fromLocal8Bit(text) : QString();
}

// One Qt name filter from a description and its ';'-separated patterns. A
// description that already names exactly those patterns in parentheses at its
// end (as "Quillon Show Files (*.qlnshow)" does) is used as it is.
QString NameFilter(const QString &description, const QString &patterns) {
    QString spaced = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    spaced = spaced.trimmed();
    if (spaced.isEmpty())
        spaced = QStringLiteral("*");
    if (description.endsWith(QLatin1Char('(') + spaced + QLatin1Char(')')))
        return description;
    return description + QStringLiteral(" (") + spaced + QLatin1Char(')');
}

// Reads the NUL-separated (description, pattern) pairs, which end with an
// empty text. An unpaired description at the end is dropped.
template <typename Char, typename Convert>
void ReadFilters(const Char *list, Convert convert, Request &request) {
    if (!list)
        return;
    const Char *p = list;
    while (*p) {
        const Char *description = p;
        while (*p)
            ++p;
        ++p;
        if (!*p)
            break;
        const Char *pattern = p;
        while (*p)
            ++p;
        ++p;
        request.filters << NameFilter(convert(description), convert(pattern));
        request.patterns << convert(pattern);
    }
}

// The extension a filter of exactly one pattern "*.ext" stands for (".ext"),
// else an empty text.
QString ExtensionOf(const QString &patterns) {
    const QString pattern = patterns.trimmed();
    if (!pattern.startsWith(QStringLiteral("*.")) || pattern.size() < 3)
        return QString();
    for (QChar c : pattern.mid(2))
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char(';') ||
            c == QLatin1Char('[') || c == QLatin1Char('.') || c.isSpace())
            return QString();
    return pattern.mid(1);
}

// The name a caller writes when it adds the filter's extension to a chosen
// name: unchanged when the text from its last '.' already is the extension
// (letter case ignored), else with the extension appended.
QString WithExtension(const QString &path, const QString &extension) {
    if (extension.isEmpty())
        return path;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && path.mid(dot).compare(extension, Qt::CaseInsensitive) == 0)
        return path;
    return path + extension;
}

// The details view sizes its "Date Modified" column for a short date of its
// own, narrower than the column's title and than the dates the file list
// shows in the user's format: both were cut.
void WidenDateColumn(QFileDialog *dialog) {
    const int column = 3;
    auto *details = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!details || details->header()->count() <= column)
        return;
    const QString widest =
        QLocale::system().toString(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
    const int margin = 2 * details->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, details) +
                       details->fontMetrics().averageCharWidth();
    QHeaderView *header = details->header();
    header->resizeSection(column, std::max(header->sectionSizeHint(column),
                                           details->fontMetrics().horizontalAdvance(widest) + margin));
}

// The file dialog. Saving, it asks before replacing the file that will really
// be written: the typed name with the selected filter's extension ("mine"
// with "*.qlnshow" selected is mine.qlnshow), which is also the name it
// returns. The toolkit's own question would be about the name as typed.
class FileDialog : public QFileDialog {
public:
    FileDialog(QWidget *owner, const QStringList &patterns)
        : QFileDialog(owner), patterns(patterns) {}

    // The path chosen, once the dialog was accepted.
    QString Chosen() const { return chosen.isEmpty() ? selectedFiles().value(0) : chosen; }

protected:
    // The toolkit makes the dialog's views only when it is shown.
    void showEvent(QShowEvent *event) override {
        QFileDialog::showEvent(event);
        WidenDateColumn(this);
    }

    void accept() override {
        chosen.clear();
        const QStringList files = selectedFiles();
        if (acceptMode() != AcceptSave || files.isEmpty() || QFileInfo(files.first()).isDir()) {
            QFileDialog::accept();  // opens, or enters a folder
            return;
        }
        const qsizetype index = nameFilters().indexOf(selectedNameFilter());
        const QString extension = ExtensionOf(patterns.value(index < 0 ? 0 : index));
        const QString written = WithExtension(files.first(), extension);
        const QFileInfo info(written);
        if (info.exists() &&
            QMessageBox::warning(this, windowTitle(),
                                 QFileDialog::tr("%1 already exists.\nDo you want to replace it?")
                                     .arg(info.fileName()),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) != QMessageBox::Yes)
            return;
        chosen = written;
        // Past QFileDialog's own checks, whose question is about the name
        // as typed.
        QDialog::accept();
    }

private:
    QStringList patterns;
    QString chosen;
};

// Shows the dialog; returns the chosen path or an empty text.
QString Run(const Request &request) {
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return QString();  // a widget dialog needs the GUI thread of a QApplication

    QPointer<FileDialog> dialog = new FileDialog(request.owner, request.patterns);
    dialog->setWindowTitle(request.title);
    if (request.save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        // The question about replacing a file is FileDialog's, which the
        // desktop's native dialog would bypass.
        dialog->setOption(QFileDialog::DontUseNativeDialog);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.filters.isEmpty()) {
        dialog->setNameFilters(request.filters);
        if (request.filterIndex >= 1 && request.filterIndex <= request.filters.size())
            dialog->selectNameFilter(request.filters.at(request.filterIndex - 1));
    }
    if (!request.folder.isEmpty())
        dialog->setDirectory(request.folder);
    if (!request.initialFile.isEmpty())
        dialog->selectFile(request.initialFile);

    QString chosen;
    if (dialog->exec() == QDialog::Accepted && dialog)
        chosen = dialog->Chosen();
    delete dialog.data();
    return chosen;
}

// Copies the result into the caller's buffer, NUL-terminated within `size`
// characters. False when it does not fit whole: a cut path names another file.
bool StoreWide(const QString &path, wchar_t *buffer, int size) {
    const std::wstring text = path.toStdWString();
    const size_t room = static_cast<size_t>(size) - 1;
    const size_t n = text.size() < room ? text.size() : room;
    std::wmemcpy(buffer, text.data(), n);
    buffer[n] = L'\0';
    return text.size() <= room;
}

bool StoreNarrow(const QString &path, char *buffer, int size) {
    const QByteArray text = path.toLocal8Bit();
    const size_t length = static_cast<size_t>(text.size());
    const size_t room = static_cast<size_t>(size) - 1;
    const size_t n = length < room ? length : room;
    std::memcpy(buffer, text.constData(), n);
    buffer[n] = '\0';
    return length <= room;
}

}  // namespace

namespace vorlocomdlg {

bool ShowWide(FileDialogParams *params, bool save) {
    Request request;
    request.owner = static_cast<QWidget *>(params->owner);
    params->file.w[params->fileSize - 1] = L'\0';  // the initial name may fill the buffer
    request.initialFile = FromWide(params->file.w);
    request.title = FromWide(params->title.w);
    request.folder = FromWide(params->initialFolder.w);
    ReadFilters(params->filter.w, FromWide, request);
    request.filterIndex = params->filterIndex;
    request.save = save;
    const QString chosen = Run(request);
    if (chosen.isEmpty())
        return false;
    return StoreWide(chosen, params->file.w, params->fileSize);
}

bool ShowNarrow(FileDialogParams *params, bool save) {
    Request request;
    request.owner = static_cast<QWidget *>(params->owner);
    params->file.a[params->fileSize - 1] = '\0';
    request.initialFile = FromNarrow(params->file.a);
    request.title = FromNarrow(params->title.a);
    request.folder = FromNarrow(params->initialFolder.a);
    ReadFilters(params->filter.a, FromNarrow, request);
    request.filterIndex = params->filterIndex;
    request.save = save;
    const QString chosen = Run(request);
    if (chosen.isEmpty())
        return false;
    return StoreNarrow(chosen, params->file.a, params->fileSize);
}

}  // namespace vorlocomdlg
