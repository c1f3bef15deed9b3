// Shared set-up of the plugin host tests: a sandboxed data folder and
// temporary folder ($TMPDIR, on Windows %TMP%, = <sandbox>/tmp/), the
// handed-files folder below <sandbox>/cache/ ($XDG_CACHE_HOME; not on Windows), a
// recording front end, clean check state and plugin slots, and helpers to
// copy the test plugin libraries and read the log lists.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "frontend.h"
#include "sandbox.h"
#include "vorlo/library.h"
#include "vorlo/platform.h"

// A test plugin library's file name: "qln_basic" is qln_basic.so, on
// Windows qln_basic.dll.
inline std::string Lib(const std::string &name) { return name + kLibrarySuffix; }

// `path` with its '/' separators as the host builds paths on this system.
inline std::string Native(std::string path) {
    for (char &c : path)
        if (c == '/')
            c = kPathSeparator;
    return path;
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies a test plugin library (file name without folder) into the
    // sandbox folder `folder` under `asName`; returns the copy's full path.
    std::string CopyPlugin(const std::string &library, const std::string &folder,
                           const std::string &asName) const;
    // Texts of one list without their time stamps.
    std::vector<std::string> Texts(LogTarget list) const;
    bool HasText(LogTarget list, const std::string &text) const;
    int CountText(LogTarget list, const std::string &text) const;

    Sandbox box;
    RecordingFrontEnd frontEnd;

private:
    std::string oldTmp, oldCache;
    bool hadTmp = false, hadCache = false;
};

// The file: URL of an absolute path ("file:///C:/folder/name" on Windows).
inline std::string FileUrl(std::string path) {
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return (path.front() == '/' ? "file://" : "file:///") + path;
}

// Narrows an ASCII wide text.
std::string Narrow(const std::wstring &text);

// Polls `done` every 10 ms for up to `seconds`; true once it held. Used only to
// wait for something to happen, never to measure how long it took.
bool WaitFor(const std::function<bool()> &done, int seconds = 30);
