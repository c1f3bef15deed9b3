// A real pass of the check thread, run by a scripted plugin registered in
// process, seen through the main window.
#include <dlfcn.h>

#include <QAction>
#include <QLabel>

#include <atomic>
#include <functional>

#include "checkcycle.h"
#include "commands.h"
#include "gui_fixture.h"
#include "loader.h"
#include "showlist.h"
#include "vorlo/thread.h"

namespace {

std::atomic<bool> searchEntered{false};
std::atomic<bool> searchReleased{false};

// Blocks the pass inside the plugin until the test releases it.
bool ScriptedSearch(const Show *, int, int) {
    searchEntered = true;
    while (!searchReleased)
        usleep(1000);
    return false;
}

QLN_PLUGIN scriptedPlugin = {QLN_INTERFACE_VERSION, "{00000000-0000-0000-0000-0000000000a1}",
                             "Scripted", "Tests", "NZB", nullptr, nullptr, nullptr, nullptr,
                             ScriptedSearch, nullptr};

class PassTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        searchEntered = false;
        searchReleased = false;
        // The program's own image stands in for the plugin's library.
        library = dlopen(nullptr, RTLD_NOW);
        g_pluginSlots[0] = {&scriptedPlugin, library, 1};
    }

    void TearDown() override {
        searchReleased = true;
        ExitBeginShutdown();
        PumpUntil([] { return ThreadCount() == 0; });
        g_pluginSlots[0] = {};
        dlclose(library);
        WindowTest::TearDown();
    }

    // Keeps the window thread's events moving until `done` (a hang guard
    // ends the wait after a few minutes; it is not a timing assertion).
    bool PumpUntil(const std::function<bool()> &done) {
        for (int i = 0; i < 30000; ++i) {
            if (done())
                return true;
            QCoreApplication::processEvents();
            frontEnd.Flush();
            usleep(10000);
        }
        return done();
    }

    void *library = nullptr;
};

}  // namespace

TEST_F(PassTest, StopScanIsEnabledExactlyWhileAPassRuns) {
    Show *show = NewShow();
    std::snprintf(show->ShowName, sizeof show->ShowName, "%s", "100% Real %s");
    show->Season = 1;
    show->Episode = 3;
    AddShow(show);
    QAction *stop = window->Action(IDM_STOP_SCAN);
    ASSERT_TRUE(StartCheckThread());
    EXPECT_FALSE(stop->isEnabled());

    Choose(IDM_SCAN_NOW);
    ASSERT_TRUE(PumpUntil([] { return searchEntered.load(); }));
    frontEnd.Flush();
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("statusPart0"))->text(),
              QStringLiteral("Checking for shows..."));
    bool searched = false;
    for (const std::wstring &line : Entries(LogTarget::Log))
        searched |= line.find(L"] Searching for 100% Real %s 1x03 ...") != std::wstring::npos;
    EXPECT_TRUE(searched);

    // The commands that wait for a pass refuse while it runs.
    Choose(IDM_EDIT_SHOWS);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, std::wstring(kNoticeShowEditor));

    Choose(IDM_STOP_SCAN);
    searchReleased = true;
    ASSERT_TRUE(PumpUntil([] { return CompletedPasses() >= 1; }));
    frontEnd.Flush();
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("statusPart0"))->text(),
              QStringLiteral("Check aborted."));
}
