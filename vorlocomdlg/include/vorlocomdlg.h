/* vorlocomdlg: the open and save file dialogs behind five plain exported
 * functions, each in a wide-text (W) and a narrow-text (A) form. The caller
 * owns the request record and the result buffer. */
#ifndef VORLOCOMDLG_H
#define VORLOCOMDLG_H

#include <stdbool.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VORLOCOMDLG_BUILD) && defined(_WIN32)
#define VORLOCOMDLG_API __declspec(dllexport)
#elif defined(VORLOCOMDLG_BUILD)
#define VORLOCOMDLG_API __attribute__((visibility("default")))
#else
#define VORLOCOMDLG_API
#endif

/* A text of the request: wide (w) for the W functions, narrow (a, in the
 * locale's encoding; UTF-8 on Windows) for the A functions. */
typedef union FileDialogText {
    const wchar_t *w;
    const char *a;
} FileDialogText;

/* The caller's result buffer, in the same two forms. */
typedef union FileDialogBuffer {
    wchar_t *w;
    char *a;
} FileDialogBuffer;

typedef struct FileDialogParams {
    /* Window that owns the dialog (a QWidget *; an HWND on Windows), or NULL. */
    void *owner;
    /* On entry the initial file name (may be empty); on return the chosen
     * path, always NUL-terminated within fileSize characters. */
    FileDialogBuffer file;
    /* Capacity of the file buffer in characters (not bytes); at least 1. */
    int32_t fileSize;
    /* Dialog title, or NULL for the default one. */
    FileDialogText title;
    /* Folder shown first, or NULL. */
    FileDialogText initialFolder;
    /* Pairs of texts (description, then patterns such as "*.qlnshow", several
     * separated by ';'), each NUL-terminated, the list ended by an extra NUL;
     * or NULL for no filter. */
    FileDialogText filter;
    /* 1-based index of the pair selected at first; 0 selects none. */
    int32_t filterIndex;
} FileDialogParams;

/* Installs the library's handler table (optional: every Show function does it
 * on its first call). */
VORLOCOMDLG_API void VorloComDlgInit(void);

/* Each shows a modal dialog on the calling thread (which must be the thread of
 * the running QApplication; on Windows any thread) and returns true when the
 * user chose a file name.
 * False at once, showing nothing, for a NULL request, a NULL buffer or a size
 * below 1. False as well on cancel, an empty result, or a path that does not
 * fit the buffer (the buffer then holds as much of it as fits; on a cancel it
 * is left as it was). Open accepts only an existing file; save asks before
 * replacing an existing one. When the filter selected in a save dialog is a
 * single pattern "*.ext", the result is the typed name with ".ext" appended
 * unless the text from its last '.' already is ".ext" (letter case ignored),
 * and the question about replacing a file is about that name. */
VORLOCOMDLG_API bool ShowOpenFileW(FileDialogParams *params);
VORLOCOMDLG_API bool ShowSaveFileW(FileDialogParams *params);
VORLOCOMDLG_API bool ShowOpenFileA(FileDialogParams *params);
VORLOCOMDLG_API bool ShowSaveFileA(FileDialogParams *params);

#ifdef __cplusplus
}
#endif

#endif
