// Shared helpers of the file-format tests: reading a configuration from a
// text with standard output captured, and a fixture that fails a test which
// leaves tracked blocks behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <atomic>
#include <filesystem>

#include <process.h>

// No fmemopen there: the text goes through a temporary file that is deleted
// when it is closed ("D").
inline FILE *fmemopen(void *bytes, size_t size, const char *) {
    static std::atomic<unsigned> counter{0};
    std::string name = (std::filesystem::temp_directory_path() /
                        ("quillon-text-" + std::to_string(_getpid()) + "-" +
                         std::to_string(counter++)))
                           .string();
    FILE *stream = fopen(name.c_str(), "w+bD");
    if (stream) {
        fwrite(bytes, 1, size, stream);
        rewind(stream);
    }
    return stream;
}
#endif

#include "vorlo/config.h"
#include "vorlo/memleak.h"

class TrackedTest : public ::testing::Test {
protected:
    void SetUp() override { blocksBefore = MemLeakBlocks(); }
    void TearDown() override { EXPECT_EQ(MemLeakBlocks(), blocksBefore) << "tracked blocks left"; }
    uint64_t blocksBefore = 0;
};

// Reads `text` as the file `name` into `config`; returns what was written to
// standard output.
inline std::string ReadText(Universal_Config &config, const std::string &text,
                            const char *name = "test.conf", VR_SECTION *start = nullptr) {
    std::string copy = text;
    FILE *stream = fmemopen(copy.data(), copy.size(), "rb");
    EXPECT_NE(stream, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(config.ReadStream(stream, name, start));
    std::string output = testing::internal::GetCapturedStdout();
    fclose(stream);
    return output;
}

// The text of an entry (string, or the original text of an integer).
inline std::string TextOf(Universal_Config &config, VR_SECTION *section, const char *name) {
    const VR_VALUE *value = config.GetSectionValue(section, name);
    const char *text = VrText(value);
    return text ? text : "<none>";
}
