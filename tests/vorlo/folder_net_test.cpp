// FileFinder, the loader wrappers and the counted network start-up.
#include "vorlo/folder.h"
#include "vorlo/library.h"
#include "vorlo/memleak.h"
#include "vorlo/net.h"

#include "sandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::set<std::string> List(const std::string &folder) {
    std::set<std::string> names;
    FileFinder finder(folder.c_str());
    char name[1024];
    while (finder.Next(name))
        names.insert(name);
    return names;
}

}  // namespace

TEST(FileFinder, MissingFolderGivesNoEntry) {
    Sandbox box;
    FileFinder finder(box.File("absent").c_str());
    char name[1024];
    memset(name, 'x', sizeof name);
    EXPECT_FALSE(finder.Next(name));
    EXPECT_EQ(name[0], '\0');
    EXPECT_EQ(name[1023], '\0');
    EXPECT_FALSE(finder.Next(name));
}

TEST(FileFinder, ListsEveryEntryWithOrWithoutSeparator) {
    Sandbox box;
    box.Write("a.txt", "1");
    box.Write("qln_x.so", "2");
    box.Write("sub/inner", "3");
    const std::set<std::string> expected = {".", "..", "a.txt", "qln_x.so", "sub"};
    EXPECT_EQ(List(box.Path()), expected);
    std::string bare = box.Path().substr(0, box.Path().size() - 1);
    EXPECT_EQ(List(bare), expected);
    EXPECT_EQ(List(box.File("sub")), (std::set<std::string>{".", "..", "inner"}));
}

TEST(FileFinder, CloseEndsTheSearchAndReleasesThePattern) {
    Sandbox box;
    box.Write("f", "");
    uint64_t blocks = MemLeakBlocks();
    {
        FileFinder finder(box.Path().c_str());
        EXPECT_EQ(MemLeakBlocks(), blocks + 1);
        char name[1024];
        EXPECT_TRUE(finder.Next(name));
        finder.Close();
        EXPECT_EQ(MemLeakBlocks(), blocks);
        EXPECT_FALSE(finder.Next(name));
        finder.Close();  // twice is harmless, and so is the destructor after it
    }
    EXPECT_EQ(MemLeakBlocks(), blocks);
}

#ifdef _WIN32
#define SYSTEM_MATH_LIBRARY "msvcrt.dll"
#define LIBRARY_SUFFIX ".dll"
#else
#define SYSTEM_MATH_LIBRARY "libm.so.6"
#define LIBRARY_SUFFIX ".so"
#endif

TEST(Library, LoadsFindsAndReportsErrors) {
    LibraryHandle libm = LibLoad(SYSTEM_MATH_LIBRARY);
    ASSERT_NE(libm, nullptr) << LibError();
    auto cosine = reinterpret_cast<double (*)(double)>(LibEntry(libm, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(LibEntry(libm, "no_such_entry_point"), nullptr);
    EXPECT_STRNE(LibError(), "");
    EXPECT_STREQ(LibError(), "");  // reading the error clears it
    LibFree(libm);

    Sandbox box;
    box.Write("qln_broken" LIBRARY_SUFFIX, "not a library");
    EXPECT_EQ(LibLoad(box.File("qln_broken" LIBRARY_SUFFIX).c_str()), nullptr);
    EXPECT_NE(std::string(LibError()).find("qln_broken" LIBRARY_SUFFIX), std::string::npos);
    EXPECT_EQ(LibLoad(box.File("absent" LIBRARY_SUFFIX).c_str()), nullptr);
    EXPECT_STRNE(LibError(), "");
    LibFree(nullptr);
}

TEST(Net, InitIsCountedAndCleanupPairsIt) {
    ASSERT_EQ(vrl_init_count(), 0);
    EXPECT_TRUE(vrl_init());
    EXPECT_EQ(vrl_init_count(), 1);
    EXPECT_TRUE(vrl_init());  // the first start-up's result
    EXPECT_EQ(vrl_init_count(), 2);
    vrl_cleanup();
    EXPECT_EQ(vrl_init_count(), 1);
    vrl_cleanup();
    EXPECT_EQ(vrl_init_count(), 0);
    vrl_cleanup();  // unpaired clean-up never goes below zero
    EXPECT_EQ(vrl_init_count(), 0);
    EXPECT_TRUE(vrl_init());  // starts again after a full clean-up
    vrl_cleanup();
}

TEST(Net, VerboseCopyWritesTheCounts) {
    vrl_set_verbose(true);
    CaptureStdout();
    vrl_init();
    vrl_init();
    vrl_cleanup();
    vrl_cleanup();
    std::string out = GetCapturedStdout();
    vrl_set_verbose(false);
    EXPECT_EQ(out, "vrl_init: 1\nvrl_init: 2\nvrl_cleanup: 1\nvrl_cleanup: 0\n");
}
