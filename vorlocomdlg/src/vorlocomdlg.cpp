// The open and save file dialogs of libvorlocomdlg.so: QFileDialog behind the
// five exported functions. The library keeps no state besides the pointer to
// its handler table.
#include "vorlocomdlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

using Handler = bool (*)(FileDialogParams *);

struct HandlerTable {
    Handler openW;
    Handler saveW;
    Handler openA;
    Handler saveA;
};

// What one request asks for, after its texts were read in either form.
struct Request {
    QWidget *owner = nullptr;
    QString initialFile;
    QString title;
    QString folder;
    QStringList filters;
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
QStringList ReadFilters(const Char *list, Convert convert) {
    QStringList filters;
    if (!list)
        return filters;
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
        filters << NameFilter(convert(description), convert(pattern));
    }
    return filters;
}

// Shows the dialog; returns the chosen path or an empty text.
QString Run(const Request &request) {
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return QString();  // a widget dialog needs the GUI thread of a QApplication

    QPointer<QFileDialog> dialog = new QFileDialog(request.owner);
    dialog->setWindowTitle(request.title);
    if (request.save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
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
    if (dialog->exec() == QDialog::Accepted && dialog) {
        const QStringList files = dialog->selectedFiles();
        if (!files.isEmpty())
            chosen = files.first();
    }
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

bool ShowWide(FileDialogParams *params, bool save) {
    Request request;
    request.owner = static_cast<QWidget *>(params->owner);
    params->file.w[params->fileSize - 1] = L'\0';  // the initial name may fill the buffer
    request.initialFile = FromWide(params->file.w);
    request.title = FromWide(params->title.w);
    request.folder = FromWide(params->initialFolder.w);
    request.filters = ReadFilters(params->filter.w, FromWide);
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
    request.filters = ReadFilters(params->filter.a, FromNarrow);
    request.filterIndex = params->filterIndex;
    request.save = save;
    const QString chosen = Run(request);
    if (chosen.isEmpty())
        return false;
    return StoreNarrow(chosen, params->file.a, params->fileSize);
}

bool OpenW(FileDialogParams *params) { return ShowWide(params, false); }
bool SaveW(FileDialogParams *params) { return ShowWide(params, true); }
bool OpenA(FileDialogParams *params) { return ShowNarrow(params, false); }
bool SaveA(FileDialogParams *params) { return ShowNarrow(params, true); }

const HandlerTable kHandlers = {OpenW, SaveW, OpenA, SaveA};
std::atomic<const HandlerTable *> g_handlers{nullptr};

const HandlerTable *Handlers() {
    const HandlerTable *table = g_handlers.load();
    if (!table) {
        VorloComDlgInit();
        table = g_handlers.load();
    }
    return table;
}

bool Valid(const FileDialogParams *params) {
    return params && params->file.w && params->fileSize >= 1;
}

}  // namespace

extern "C" {

void VorloComDlgInit(void) { g_handlers.store(&kHandlers); }

bool ShowOpenFileW(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->openW(params);
}

bool ShowSaveFileW(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->saveW(params);
}

bool ShowOpenFileA(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->openA(params);
}

bool ShowSaveFileA(FileDialogParams *params) {
    const HandlerTable *table = Handlers();
    return Valid(params) && table->saveA(params);
}

}  // extern "C"
