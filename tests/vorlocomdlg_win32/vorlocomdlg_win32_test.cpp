// vorlocomdlg.dll driven through its real common dialogs: a driver thread
// finds each dialog the library shows, types into its file name box and
// presses its buttons by posting their commands, as a user would.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "file_dialog_cases.h"
#include "sandbox.h"
#include "vorlocomdlg.h"

namespace {

std::wstring Wide(const std::string &text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::string Utf8(const std::wstring &text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &narrow[0], n, nullptr, nullptr);
    narrow.resize(std::strlen(narrow.c_str()));
    return narrow;
}

std::wstring TextOf(HWND window) {
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

// The file name box of a file dialog (an edit or, in the explorer style, a
// combo box), or null for any other window.
HWND FileNameBox(HWND dialog) {
    HWND box = GetDlgItem(dialog, cmb13);
    return box ? box : GetDlgItem(dialog, edt1);
}

bool IsMessageBox(HWND window) {
    return GetDlgItem(window, 0xFFFF) != nullptr && FileNameBox(window) == nullptr;
}

struct DialogSearch {
    const std::function<bool(HWND)> *match;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM data) {
    auto *search = reinterpret_cast<DialogSearch *>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[32] = L"";
    GetClassNameW(window, cls, 32);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0 &&
        (*search->match)(window))
        search->found.push_back(window);
    return TRUE;
}

// This process's visible dialog windows that `match` accepts.
std::vector<HWND> Dialogs(const std::function<bool(HWND)> &match) {
    DialogSearch search{&match, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Plays a user at the dialogs the test's call shows, on a thread of its own.
// Steps record what they saw; a step that waits in vain ends the script and
// cancels whatever is open, so the call under test returns.
class User {
public:
    explicit User(std::function<void(User &)> script)
        : thread([this, script] {
              script(*this);
              while (!Dialogs([](HWND) { return true; }).empty() && !failed.empty()) {
                  for (HWND open : Dialogs([](HWND) { return true; }))
                      PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
                  Sleep(50);
              }
          }) {}
    ~User() { Join(); }

    void Join() {
        if (thread.joinable())
            thread.join();
    }

    // Waits for a window that `match` accepts; null after 60 s (a loaded
    // machine can take long to fill a file dialog's folder view).
    HWND Wait(const std::function<bool(HWND)> &match, const char *what) {
        if (!failed.empty())
            return nullptr;
        for (int i = 0; i < 1200; ++i) {
            const std::vector<HWND> found = Dialogs(match);
            if (!found.empty())
                return found.front();
            Sleep(50);
        }
        failed = std::string("no ") + what + " appeared";
        return nullptr;
    }

    HWND WaitForFileDialog() {
        return Wait([](HWND w) { return FileNameBox(w) != nullptr; }, "file dialog");
    }

    // Types `name` into the file dialog's name box and presses OK.
    void Choose(const std::wstring &name) {
        HWND dialog = WaitForFileDialog();
        if (!dialog)
            return;
        titles.push_back(TextOf(dialog));
        SendMessageW(FileNameBox(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
        Press(dialog, IDOK);
    }

    // Presses OK with the name the dialog was opened with.
    void Accept() {
        if (HWND dialog = WaitForFileDialog()) {
            names.push_back(TextOf(FileNameBox(dialog)));
            Press(dialog, IDOK);
        }
    }

    void Cancel() {
        if (HWND dialog = WaitForFileDialog())
            Press(dialog, IDCANCEL);
    }

    // Waits for a message box, keeps its text and presses `button`.
    void Answer(int button) {
        HWND box = Wait(IsMessageBox, "message box");
        if (!box)
            return;
        boxes.push_back(TextOf(GetDlgItem(box, 0xFFFF)));
        Press(box, button);
    }

    std::string failed;
    std::vector<std::wstring> titles;  // of each file dialog a name was typed into
    std::vector<std::wstring> names;   // each name a dialog was opened with
    std::vector<std::wstring> boxes;   // each message box's text

private:
    // Posts the button's command, then waits until the window is gone (a
    // file dialog that refuses the name stays: then after 1 s).
    void Press(HWND window, int button) {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
        for (int i = 0; i < 20 && IsWindow(window) && IsWindowVisible(window); ++i)
            Sleep(50);
    }

    std::thread thread;
};

// A file made with a wide name, so names outside the code page can be tested.
void MakeFile(const std::wstring &path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

}  // namespace

TEST(VorloComDlgWin32, BadRequestsFailAtOnceWithoutADialog) {
    ExpectBadRequestsRefused();  // a dialog shown here would never close
    VorloComDlgInit();           // a second install of the same table is harmless
    EXPECT_TRUE(Dialogs([](HWND) { return true; }).empty());
}

TEST(VorloComDlgWin32, CancelReturnsFalseAndLeavesTheBuffer) {
    using Show = bool (*)(FileDialogParams *);
    for (Show show : {ShowOpenFileW, ShowSaveFileW}) {
        WideRequest request;
        wcscpy(request.buffer.data(), L"shows.qlnshow");
        User user([](User &u) { u.Cancel(); });
        EXPECT_FALSE(show(&request.params));
        user.Join();
        EXPECT_EQ(user.failed, "");
        EXPECT_EQ(request.Result(), L"shows.qlnshow");
    }
    for (Show show : {ShowOpenFileA, ShowSaveFileA}) {
        char narrow[64] = "main.qlnconfig";
        FileDialogParams params{};
        params.file.a = narrow;
        params.fileSize = sizeof narrow;
        params.filter.a = kShowFilterA;
        User user([](User &u) { u.Cancel(); });
        EXPECT_FALSE(show(&params));
        user.Join();
        EXPECT_EQ(user.failed, "");
        EXPECT_STREQ(narrow, "main.qlnconfig");
    }
}

TEST(VorloComDlgWin32, OpenWantsAnExistingFileAndReturnsItsPath) {
    Sandbox box;
    box.Write("shows.qlnshow", "x");
    const std::wstring existing = Wide(box.File("shows.qlnshow"));
    WideRequest request;
    request.params.filterIndex = 1;
    User user([&](User &u) {
        u.Choose(Wide(box.File("missing.qlnshow")));
        u.Answer(IDOK);  // the system's word that the file does not exist
        u.Choose(existing);
    });
    ASSERT_TRUE(ShowOpenFileW(&request.params));
    user.Join();
    EXPECT_EQ(user.failed, "");
    EXPECT_EQ(user.boxes.size(), 1u);
    ASSERT_EQ(user.titles.size(), 2u);
    EXPECT_EQ(user.titles[0], kDialogTitle);
    EXPECT_EQ(request.Result(), existing);
}

TEST(VorloComDlgWin32, SaveAddsTheFiltersExtensionAndAsksAboutThatName) {
    Sandbox box;
    box.Write("mine.qlnshow", "old");
    box.Write("plain", "not the file that is written");
    // "mine" is asked about as mine.qlnshow; No shows the dialog again.
    for (int answer : {IDNO, IDYES}) {
        WideRequest request;
        request.params.filterIndex = 1;
        User user([&](User &u) {
            u.Choose(Wide(box.File("mine")));
            u.Answer(answer);
            if (answer == IDNO)
                u.Cancel();
        });
        EXPECT_EQ(ShowSaveFileW(&request.params), answer == IDYES);
        user.Join();
        EXPECT_EQ(user.failed, "");
        ASSERT_EQ(user.boxes.size(), 1u);
        EXPECT_EQ(user.boxes[0].rfind(L"mine.qlnshow already exists.", 0), 0u);
        if (answer == IDYES) {
            EXPECT_EQ(request.Result(), Wide(box.File("mine.qlnshow")));
        }
    }
    // An existing file of the typed name is not the one written: no question.
    {
        WideRequest request;
        request.params.filterIndex = 1;
        User user([&](User &u) { u.Choose(Wide(box.File("plain"))); });
        ASSERT_TRUE(ShowSaveFileW(&request.params));
        user.Join();
        EXPECT_EQ(user.failed, "");
        EXPECT_EQ(request.Result(), Wide(box.File("plain.qlnshow")));
        EXPECT_TRUE(Dialogs(IsMessageBox).empty());
    }
    // With "All Files" selected the name stays as typed.
    {
        WideRequest request;
        request.params.filterIndex = 2;
        User user([&](User &u) { u.Choose(Wide(box.File("backup"))); });
        ASSERT_TRUE(ShowSaveFileW(&request.params));
        user.Join();
        EXPECT_EQ(request.Result(), Wide(box.File("backup")));
    }
}

TEST(VorloComDlgWin32, NarrowFormTakesAndReturnsUtf8) {
    Sandbox box;
    const std::wstring name = L"S\u00e9ries \u65e5\u672c.qlnshow";
    MakeFile(Wide(box.Path()) + name);
    char buffer[300];
    std::memset(buffer, 'Z', sizeof buffer);
    std::strcpy(buffer, Utf8(name).c_str());
    const std::string folder = box.Path();
    FileDialogParams params{};
    params.file.a = buffer;
    params.fileSize = sizeof buffer;
    params.initialFolder.a = folder.c_str();
    params.filter.a = kShowFilterA;
    params.filterIndex = 1;
    User user([](User &u) { u.Accept(); });
    ASSERT_TRUE(ShowOpenFileA(&params));
    user.Join();
    EXPECT_EQ(user.failed, "");
    ASSERT_EQ(user.names.size(), 1u);
    EXPECT_EQ(user.names[0], name);
    EXPECT_EQ(std::string(buffer), folder + Utf8(name));
}

TEST(VorloComDlgWin32, APathLongerThanTheBufferIsCutSafelyAndRefused) {
    Sandbox box;
    WideRequest request(8, 12);
    MarkBeyondSize(request);
    request.params.filterIndex = 2;
    User user([&](User &u) { u.Choose(Wide(box.File("long-name"))); });
    EXPECT_FALSE(ShowSaveFileW(&request.params));
    user.Join();
    EXPECT_EQ(user.failed, "");
    ExpectCutWithinSize(request);

    // A narrow buffer is never cut inside a character.
    const std::wstring name = L"\u00e9\u00e9\u00e9";
    MakeFile(Wide(box.Path()) + name);
    const std::string full = box.Path() + Utf8(name);
    std::vector<char> narrow(full.size() + 8, 'Z');
    FileDialogParams params{};
    params.file.a = narrow.data();
    params.fileSize = static_cast<int32_t>(full.size());  // one byte short
    User again([&](User &u) { u.Choose(Wide(full)); });
    EXPECT_FALSE(ShowOpenFileA(&params));
    again.Join();
    EXPECT_EQ(again.failed, "");
    EXPECT_EQ(std::string(narrow.data()), full.substr(0, full.size() - 2));

    params.fileSize = 1;  // room for the terminator only
    User third([&](User &u) { u.Choose(Wide(full)); });
    EXPECT_FALSE(ShowOpenFileA(&params));
    third.Join();
    EXPECT_EQ(narrow[0], '\0');
}
