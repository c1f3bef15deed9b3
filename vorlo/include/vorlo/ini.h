// INI files ("[section]" headers, "key=value" lines) read and rewritten
// directly on disk, with no in-memory model: plugins.ini, shared by the host
// (section "plugins") and every plugin (a section of its own).
#pragma once

#include <string>

// Copies the value into dest (size bytes, at most size-1 characters) and
// returns dest; without a match returns dest holding def, or nullptr when def
// is nullptr.
char *IniReadString(const char *path, const char *section, const char *key,
                    char *dest, int size, const char *def);
char *IniParseString(const char *text, const char *section, const char *key,
                     char *dest, int size, const char *def);
int IniReadInt(const char *path, const char *section, const char *key, int def);
// 0 on success, -1 on failure. The file is replaced atomically: on failure the
// old file stays exactly as it was.
int IniWriteString(const char *path, const char *section, const char *key, const char *value);
int IniWriteInt(const char *path, const char *section, const char *key, int value);

// The text IniWriteString writes for a file that holds `text`: the normalised
// lines with the entry set (CR LF line ends).
std::string IniRewriteText(const char *text, const char *section, const char *key,
                           const char *value);
