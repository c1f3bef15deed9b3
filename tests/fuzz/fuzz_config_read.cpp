// Fuzz target: reads arbitrary bytes as a configuration file, then checks that
// the tree's written form reads back to the same text and that every tracked
// block was released. Relative #include lines find a few small files in a
// private working folder (one includes itself, one leaves a section open).
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "vorlo/config.h"
#include "vorlo/memleak.h"

namespace {

std::string g_folder;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
}

void WriteFile(const char *name, const char *text) {
    if (FILE *f = fopen(name, "wb")) {
        fputs(text, f);
        fclose(f);
    }
}

std::string ReadAndFormat(const std::string &text) {
    std::string copy = text;
    FILE *stream = fmemopen(copy.data(), copy.size(), "rb");
    if (!stream)
        abort();
    Universal_Config config;
    config.ReadStream(stream, "fuzz.conf", nullptr);
    fclose(stream);
    return config.FormatText();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The reader's diagnostics would only slow the run down.
    if (!freopen("/dev/null", "w", stdout))
        abort();
    char folder[] = "/tmp/quillon-fuzz-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0)
        abort();
    g_folder = folder;
    atexit(RemoveFolder);
    WriteFile("inc.conf", "Inc {\n a 1\n Child {\n  b two words\n };\n};\n");
    WriteFile("open.conf", "Open {\n x 007\n");
    WriteFile("close.conf", " y 2\n};\n};\n");
    WriteFile("self.conf", "Self {\n#include \"self.conf\"\n z 3\n};\n");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint64_t blocks = MemLeakBlocks();
    std::string first = ReadAndFormat(std::string(reinterpret_cast<const char *>(data), size));
    std::string second = ReadAndFormat(first);
    if (first != second) {
        fprintf(stderr, "written form does not read back:\n--- first\n%s--- second\n%s", first.c_str(),
                second.c_str());
        abort();
    }
    if (MemLeakBlocks() != blocks) {
        fprintf(stderr, "tracked blocks leaked\n");
        abort();
    }
    return 0;
}
