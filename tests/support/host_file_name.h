// The host's MakeFileName rules for test hosts that stand in for it: append
// the extension unless the name's first "." already begins it (letter case
// ignored), then replace every character that is not an ASCII letter, digit
// or "." by "_". The caller's buffer has room for the extension.
#pragma once

#include <cstring>
#include <strings.h>

inline void TestHostMakeFileName(char *name, const char *extension) {
    if (extension) {
        const char *dot = std::strchr(name, '.');
        if (!dot || strcasecmp(dot, extension) != 0)
            std::strcat(name, extension);
    }
    for (char *c = name; *c; ++c) {
        const bool alnum = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        if (!alnum && *c != '.')
            *c = '_';
    }
}
