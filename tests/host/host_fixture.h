// Shared set-up of the plugin host tests: a sandboxed data folder and
// temporary folder ($TMPDIR = <sandbox>/tmp/), a
// recording front end, clean check state and plugin slots, and helpers to
// copy the test plugin libraries and read the log lists.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "frontend.h"
#include "sandbox.h"

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
    std::string oldTmp;
    bool hadTmp = false;
};

// Narrows an ASCII wide text.
std::string Narrow(const std::wstring &text);

// Polls `done` every 10 ms for up to `seconds`; true once it held. Used only to
// wait for something to happen, never to measure how long it took.
bool WaitFor(const std::function<bool()> &done, int seconds = 30);
