// Universal_Config: a tree of named sections holding named values and further
// sections, read from and written to the brace-structured text format of
// main.conf and shows.conf ("Name {" ... "};", "key value" lines, comments and
// #include "file"). One object serves one load or one save. Every section,
// entry and text of the tree is a tracked allocation owned by the object.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

enum { VR_INTEGER = 0, VR_STRING = 1 };

struct VR_VALUE {
    int32_t type;  // VR_INTEGER or VR_STRING
    union {
        int32_t integer;
        char *string;
    } value;
    // For a VR_INTEGER read from a file: the value's text exactly as written
    // there (so "007" or "24" can be given back as text); owned by the tree.
    // nullptr otherwise. Callers passing a value in leave it nullptr.
    char *text;
};

// A value that callers build on their stack and pass to SetSectionValue.
VR_VALUE VrInteger(int32_t number);
VR_VALUE VrString(const char *text);  // the tree stores a copy of the text

// The value as text: the string of a VR_STRING, the original text of an
// integer read from a file, else nullptr.
const char *VrText(const VR_VALUE *value);

// Section and entry names hold at most 63 characters. A longer name is cut to
// its first 63 characters (and trailing spaces left by the cut are dropped),
// both when it is stored and when it is looked up, so a long name in a
// hand-edited file still finds and keeps its section's data.
enum { VR_NAME_MAX = 63 };

struct VR_ENTRY {
    char name[64];
    VR_VALUE value;
    VR_ENTRY *prev;
    VR_ENTRY *next;
};

struct VR_SECTION {
    char name[64];
    VR_ENTRY *entries;
    VR_SECTION *children;
    VR_SECTION *prev;
    VR_SECTION *next;
    VR_SECTION *parent;
};

// True for "0" and for an optional '-' plus digits whose value is non-zero and
// fits 32 bits (leading zeros allowed); "00", "-0", "+5" are not integers.
bool IsIntegerText(const char *text);

class Universal_Config {
public:
    Universal_Config();
    ~Universal_Config();
    Universal_Config(const Universal_Config &) = delete;
    Universal_Config &operator=(const Universal_Config &) = delete;

    void Clear();
    VR_SECTION *GetSection(VR_SECTION *parent, const char *name);
    VR_SECTION *AddSection(VR_SECTION *parent, const char *name);
    VR_VALUE *GetSectionValue(VR_SECTION *section, const char *name);
    VR_VALUE *SetSectionValue(const char *name, VR_SECTION *section, const VR_VALUE *value);
    void FreeSection(VR_SECTION *section);

    bool ReadStream(FILE *stream, const char *fileName, VR_SECTION *start);
    bool LoadFile(const char *path, VR_SECTION *start);
    // Replaces the file atomically (temporary file, flush, rename): on failure
    // the old file is left exactly as it was and false is returned.
    bool SaveFile(const char *path);
    // The whole tree in the file format, exactly the bytes SaveFile writes.
    std::string FormatText() const;

    VR_SECTION *first;
    VR_SECTION *last;

private:
    std::vector<VR_SECTION *> stack;
    // Every section of the tree by its parent and its name (letter case
    // folded), and the last child of each parent (nullptr: the top level),
    // so that adding a section to a long list costs the same as to a short
    // one. Kept by AddSection, FreeSection and Clear.
    std::unordered_map<std::string, VR_SECTION *> sectionIndex;
    std::unordered_map<const VR_SECTION *, VR_SECTION *> lastChild;
    // Files being read, outermost first (device and inode), and the include
    // nesting depth: an include cycle or a runaway nesting is refused.
    std::vector<std::pair<unsigned long long, unsigned long long>> openFiles;
    int includeDepth = 0;
};

// The message box shown when a caller passes a stored VR_VALUE back into
// SetSectionValue. The GUI installs one; without it only the standard-output
// line appears.
typedef void (*ConfigMessageBoxHook)(const char *text, const char *caption);
void SetConfigMessageBoxHook(ConfigMessageBoxHook hook);
