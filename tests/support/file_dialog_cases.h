// What the suites of the file dialog library (Qt on Linux, the common dialogs
// on Windows) expect alike: the request the host makes, and the rules for the
// caller's buffer once a dialog has closed.
#pragma once

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "vorlocomdlg.h"

// The host's filter for show files: one "*.ext" pair, then everything.
inline constexpr wchar_t kShowFilter[] =
    L"Quillon Show Files (*.qlnshow)\0*.qlnshow\0All Files\0*\0";
inline constexpr char kShowFilterA[] = "Quillon Show Files (*.qlnshow)\0*.qlnshow\0All Files\0*\0";
inline constexpr wchar_t kDialogTitle[] = L"Select a file...";

// A wide request as the host makes it. `capacity` (default: `size`) is what
// is really allocated, so a test can check that nothing past `size` changes.
struct WideRequest {
    std::vector<wchar_t> buffer;
    FileDialogParams params{};
    explicit WideRequest(int size = 260, int capacity = -1)
        : buffer(capacity < 0 ? size : capacity, L'\0') {
        params.file.w = buffer.data();
        params.fileSize = size;
        params.title.w = kDialogTitle;
        params.filter.w = kShowFilter;
    }
    std::wstring Result() const { return buffer.data(); }
};

// Fills the characters of `request` past its size with a guard mark.
inline void MarkBeyondSize(WideRequest &request) {
    for (size_t i = static_cast<size_t>(request.params.fileSize); i < request.buffer.size(); ++i)
        request.buffer[i] = L'#';
}

// After a chosen path did not fit: the buffer holds as much of it as fits,
// NUL-terminated within its size, and nothing past the size was written.
inline void ExpectCutWithinSize(const WideRequest &request) {
    const size_t size = static_cast<size_t>(request.params.fileSize);
    EXPECT_EQ(request.buffer[size - 1], L'\0');
    EXPECT_EQ(request.Result().size(), size - 1);
    for (size_t i = size; i < request.buffer.size(); ++i)
        EXPECT_EQ(request.buffer[i], L'#') << "written past the size at " << i;
}

// Requests that must fail at once, without showing a dialog.
inline void ExpectBadRequestsRefused() {
    EXPECT_FALSE(ShowOpenFileW(nullptr));
    EXPECT_FALSE(ShowSaveFileW(nullptr));
    EXPECT_FALSE(ShowOpenFileA(nullptr));
    EXPECT_FALSE(ShowSaveFileA(nullptr));

    WideRequest zero(0, 4);
    EXPECT_FALSE(ShowOpenFileW(&zero.params));
    EXPECT_FALSE(ShowSaveFileW(&zero.params));
    WideRequest negative(-5, 4);
    EXPECT_FALSE(ShowSaveFileW(&negative.params));
    WideRequest noBuffer;
    noBuffer.params.file.w = nullptr;
    EXPECT_FALSE(ShowOpenFileW(&noBuffer.params));
    EXPECT_FALSE(ShowSaveFileA(&noBuffer.params));
}
