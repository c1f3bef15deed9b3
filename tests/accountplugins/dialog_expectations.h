// What the Qt (Linux) and Win32 (Windows) settings dialogs of the two account
// plugins are both held to: the stored settings they open on, the template
// controls, and the texts that "OK" must cut.
#pragma once

#include <string>

// plugins.ini before each dialog test; the Newzbin mode 2 shows as browser.
constexpr const char kDialogsIni[] = "[newzbin]\r\nuser=alice\r\npass=s3cret\r\nmode=2\r\n"
                                     "[nzbmatrix]\r\nuser=bob\r\nkey=k3y\r\n";

struct TemplateControl {
    int id;
    const char *text;  // "" for an edit, whose text comes from the settings
    int x, y, width, height;
};

// Template 101 of qln_newzbin, 228 x 90 dialog units.
constexpr TemplateControl kNewzbinControls[] = {
    {1, "OK", 171, 69, 50, 14},
    {2, "Cancel", 119, 69, 50, 14},
    {1001, "", 85, 7, 136, 12},
    {1002, "", 85, 20, 136, 12},
    {1003, "Use DirectNZB and Quillon", 89, 43, 125, 10},
    {1004, "Download with Browser", 89, 54, 125, 10},
    {1005, "Help", 25, 45, 50, 14},
};

// Template 101 of qln_nzbmatrix, 228 x 55 dialog units.
constexpr TemplateControl kNzbMatrixControls[] = {
    {1, "OK", 171, 34, 50, 14},
    {2, "Cancel", 119, 34, 50, 14},
    {1001, "", 85, 7, 136, 12},
    {1002, "", 85, 20, 136, 12},
};

// 127 two-byte letters and a three-byte sign are 257 bytes: "OK" keeps the
// letters and drops the sign. "a" and 64 four-byte faces: the last face goes.
inline std::string AccentedUtf8() {
    std::string text;
    for (int i = 0; i < 127; ++i)
        text += "\xC3\xA9";
    return text + "\xE2\x82\xAC";
}
inline std::string FacesUtf8() {
    std::string text = "a";
    for (int i = 0; i < 64; ++i)
        text += "\xF0\x9F\x98\x80";
    return text;
}
// What remains of them: whole characters within 255 bytes.
inline std::string AccentedKept() { return AccentedUtf8().substr(0, 254); }
inline std::string FacesKept() { return FacesUtf8().substr(0, 1 + 63 * 4); }
