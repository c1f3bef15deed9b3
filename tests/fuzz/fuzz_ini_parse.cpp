// Fuzz target for INI texts. The input is "section\nkey\ntext": the value of
// the key is read with a buffer of varying size, then the text is rewritten
// with the key set and, for plain names, the new value must read back.
#include <stdio.h>
#include <stdlib.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vorlo/ini.h"
#include "vorlo/memleak.h"

namespace {

bool Plain(const std::string &name) {
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (!isalnum(c) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

std::string Read(const std::string &text, const std::string &section, const std::string &key,
                 size_t size, const char *def) {
    std::vector<char> dest(size);
    const char *result = IniParseString(text.c_str(), section.c_str(), key.c_str(), dest.data(),
                                        static_cast<int>(size), def);
    if (result && strlen(result) >= size)
        abort();
    return result ? result : "<none>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uint64_t blocks = MemLeakBlocks();
    {
        std::string input(reinterpret_cast<const char *>(data), size);
        input = input.c_str();  // the functions take C strings
        size_t first = input.find('\n');
        size_t second = first == std::string::npos ? first : input.find('\n', first + 1);
        std::string section = "plugins", key = "ezrss", text = input;
        if (second != std::string::npos) {
            section = input.substr(0, first);
            key = input.substr(first + 1, second - first - 1);
            text = input.substr(second + 1);
        }
        size_t bufferSize = 1 + size % 40;
        Read(text, section, key, bufferSize, nullptr);
        Read(text, section, key, bufferSize, "default value");

        std::string rewritten = IniRewriteText(text.c_str(), section.c_str(), key.c_str(), "new value");
        if (Plain(section) && Plain(key) && Read(rewritten, section, key, 64, nullptr) != "new value") {
            fprintf(stderr, "rewritten value does not read back\n");
            abort();
        }
    }
    if (MemLeakBlocks() != blocks) {
        fprintf(stderr, "tracked blocks leaked\n");
        abort();
    }
    return 0;
}
