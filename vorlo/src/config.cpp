// Universal_Config: the section tree, its reader (line classification,
// #include, comments) and its writer.
#include "vorlo/config.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define getc_unlocked _getc_nolock
#else
#include <unistd.h>
#endif

#include "vorlo/memleak.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

const char kPassedStoredValue[] =
    "Universal_Config() -> You must never pass a VR_VALUE to SetSectionValue that was returned "
    "from GetSectionValue";

// Deeper #include nesting than this is refused like a file that cannot be
// opened: it can only come from a runaway chain and would exhaust the stack.
const int kMaxIncludeDepth = 32;

std::atomic<ConfigMessageBoxHook> g_messageBoxHook{nullptr};

// The stored form of a name: at most VR_NAME_MAX characters. A longer name is
// cut rather than refused, so that a section or entry with an over-long name
// in a hand-edited file keeps its data; spaces left at the end by the cut are
// dropped so that the name reads back the same after a save.
void StoredName(char out[VR_NAME_MAX + 1], const char *name) {
    size_t length = strnlen(name, VR_NAME_MAX + 1);
    bool cut = length > VR_NAME_MAX;
    if (cut)
        length = VR_NAME_MAX;
    memcpy(out, name, length);
    if (cut)
        while (length > 0 && out[length - 1] == ' ')
            length--;
    out[length] = '\0';
}

// Index key of a section: its parent's address and its stored name with
// A to Z folded, so that two names that StrICmp calls equal give one key.
std::string SectionKey(const VR_SECTION *parent, const char *storedName) {
    std::string key(reinterpret_cast<const char *>(&parent), sizeof parent);
    for (const char *p = storedName; *p; ++p)
        key += (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p - 'A' + 'a') : *p;
    return key;
}

bool NameEquals(const char *stored, const char *name) {
    char wanted[VR_NAME_MAX + 1];
    StoredName(wanted, name);
    return StrICmp(stored, wanted) == 0;
}

// "0", or an optional '-' and digits with a non-zero value within 32 bits.
bool ParseIntegerText(const char *text, int32_t *number) {
    if (strcmp(text, "0") == 0) {
        *number = 0;
        return true;
    }
    const char *p = text;
    bool negative = *p == '-';
    if (negative)
        p++;
    if (*p == '\0')
        return false;
    int64_t magnitude = 0;
    for (; *p; p++) {
        if (*p < '0' || *p > '9')
            return false;
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > INT64_C(2147483648))
            magnitude = INT64_C(2147483649);  // stays out of range, never overflows
    }
    int64_t value = negative ? -magnitude : magnitude;
    if (value == 0 || value < INT32_MIN || value > INT32_MAX)
        return false;
    *number = static_cast<int32_t>(value);
    return true;
}

void ReleaseValue(VR_VALUE *value) {
    if (value->type == VR_STRING && value->value.string)
        ZFREE(value->value.string);
    if (value->text)
        ZFREE(value->text);
    value->value.string = nullptr;
    value->text = nullptr;
}

void FreeEntries(VR_SECTION *section) {
    VR_ENTRY *entry = section->entries;
    while (entry) {
        VR_ENTRY *next = entry->next;
        ReleaseValue(&entry->value);
        ZFREE(entry);
        entry = next;
    }
    section->entries = nullptr;
}

// Strips blanks from both ends, turns tabs into spaces and collapses runs of
// spaces. False when fewer than two characters remain (the line is skipped).
bool NormaliseLine(std::string &line) {
    const char *blanks = " \t\r\n";
    size_t begin = line.find_first_not_of(blanks);
    if (begin == std::string::npos)
        return false;
    size_t end = line.find_last_not_of(blanks);
    line = line.substr(begin, end - begin + 1);
    if (line.size() < 2)
        return false;
    size_t out = 0;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i] == '\t' ? ' ' : line[i];
        if (c == ' ' && out > 0 && line[out - 1] == ' ')
            continue;
        line[out++] = c;
    }
    line.resize(out);
    return true;
}

// Reads one physical line (up to and including '\n') whatever its length.
// Text after a NUL byte is dropped, as a C string would end there. False at
// the end of the stream.
bool ReadLine(FILE *stream, std::string &line) {
    line.clear();
    int c;
    bool any = false;
    bool ended = false;
    // The stream belongs to this read alone: no per-character locking.
    while ((c = getc_unlocked(stream)) != EOF) {
        any = true;
        if (c == '\0')
            ended = true;
        if (!ended)
            line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return any;
}

// Opens an included file for reading. Only regular files are read: a device
// or a pipe could block or never end.
FILE *OpenInclude(const char *path) { return PlatformOpenRegularFile(path); }

#ifdef _WIN32
// The file's volume and index: the C library's st_ino is 0 for every file
// there, which would make every include look like a cycle.
bool FileIdentity(int fd, unsigned long long &volume, unsigned long long &index) {
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info;
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &info))
        return false;
    volume = info.dwVolumeSerialNumber;
    index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}
#else
bool FileIdentity(int fd, unsigned long long &volume, unsigned long long &index) {
    struct stat st;
    if (fstat(fd, &st) != 0)
        return false;
    volume = static_cast<unsigned long long>(st.st_dev);
    index = static_cast<unsigned long long>(st.st_ino);
    return true;
}
#endif

// True when the stream is a file that is already being read (an include cycle).
bool IsOpen(const std::vector<std::pair<unsigned long long, unsigned long long>> &files, FILE *stream) {
    unsigned long long volume, index;
    if (!FileIdentity(fileno(stream), volume, index))
        return true;
    for (const auto &file : files)
        if (file.first == volume && file.second == index)
            return true;
    return false;
}

// A text value that the plain "name value" line would not give back exactly
// (blanks at its ends or in runs, tabs, line breaks, a " {" at its end, an
// "#include" anywhere, ...) is written on a quoted line instead:
//     #quoted <name> "<text>"
// with \\, \" and \xHH (for '#' and control characters) as the only escapes.
// The line begins with '#', so a reader that does not know the form skips it
// as a comment and no such reader can be made to open a file by it; and since
// the plain writer never writes a line that begins with '#', every file it
// wrote reads exactly as before.
const char kQuotedPrefix[] = "#quoted ";

// How the reader classifies a line: true when `line` (as written) reads back
// as a value line whose name is `name` and whose text is exactly `text`.
bool ReadsBackAs(const std::string &written, const char *name, const char *text) {
    std::string line = written;
    if (!NormaliseLine(line) || FindNoCase(line.c_str(), "#include"))
        return false;
    if (line[0] == '#' || line.compare(0, 2, "//") == 0 || line.compare(0, 2, "/*") == 0)
        return false;
    if (line == "};" || (line.size() >= 2 && line.compare(line.size() - 2, 2, " {") == 0))
        return false;
    size_t space = line.find(' ');
    return space != std::string::npos && line.compare(0, space, name) == 0 &&
           line.compare(space + 1, std::string::npos, text) == 0;
}

void AppendQuoted(std::string &out, const char *text) {
    static const char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        if (*p == '\\' || *p == '"') {
            out += '\\';
            out += static_cast<char>(*p);
        } else if (*p == '#' || *p < 0x20 || *p == 0x7F) {
            out += "\\x";
            out += kHex[*p >> 4];
            out += kHex[*p & 15];
        } else {
            out += static_cast<char>(*p);
        }
    }
    out += '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads a quoted value line (see kQuotedPrefix). False when the line is not
// exactly of that form; it is then handled like any other line.
bool ParseQuotedLine(const std::string &raw, std::string &name, std::string &text) {
    const char *blanks = " \t\r\n";
    size_t begin = raw.find_first_not_of(blanks);
    size_t end = raw.find_last_not_of(blanks);
    if (begin == std::string::npos || raw.compare(begin, sizeof kQuotedPrefix - 1, kQuotedPrefix) != 0)
        return false;
    size_t at = begin + sizeof kQuotedPrefix - 1;
    size_t space = raw.find(' ', at);
    // An empty text is never written this way (empty texts are plain lines),
    // so `""` is no quoted line either.
    if (space == std::string::npos || space == at || space + 1 > end || raw[space + 1] != '"' || raw[end] != '"' ||
        end <= space + 2)
        return false;
    name.assign(raw, at, space - at);
    if (name.find_first_of("\t\"") != std::string::npos)
        return false;
    text.clear();
    for (size_t i = space + 2; i < end; ++i) {
        char c = raw[i];
        if (c == '"')
            return false;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (i + 1 >= end)
            return false;
        char next = raw[++i];
        if (next == '\\' || next == '"') {
            text += next;
        } else if (next == 'x' && i + 2 < end && HexDigit(raw[i + 1]) >= 0 && HexDigit(raw[i + 2]) >= 0 &&
                   HexDigit(raw[i + 1]) + HexDigit(raw[i + 2]) > 0) {
            // \x00 would end the stored text early; the writer never makes it.
            text += static_cast<char>(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

void AppendIndent(std::string &out, int depth) { out.append(static_cast<size_t>(depth), '\t'); }

void OpenSection(std::string &out, const VR_SECTION *section, int depth) {
    AppendIndent(out, depth);
    out += section->name;
    out += " {\n";
}

void CloseSection(std::string &out, const VR_SECTION *section, int depth) {
    for (const VR_ENTRY *entry = section->entries; entry; entry = entry->next) {
        if (entry->value.type != VR_INTEGER && entry->value.type != VR_STRING)
            continue;
        size_t lineStart = out.size();
        out += '\t';
        AppendIndent(out, depth);
        out += entry->name;
        out += ' ';
        if (entry->value.type == VR_INTEGER) {
            out += std::to_string(entry->value.value.integer);
        } else if (const char *text = entry->value.value.string) {
            out += text;
            // Empty texts are written as they always were (callers leave
            // them out); any other text must come back exactly.
            if (*text && !std::strpbrk(entry->name, " \t") && !ReadsBackAs(out.substr(lineStart), entry->name, text)) {
                out.resize(lineStart);
                out += '\t';
                AppendIndent(out, depth);
                out += kQuotedPrefix;
                out += entry->name;
                out += ' ';
                AppendQuoted(out, text);
            }
        }
        out += '\n';
    }
    AppendIndent(out, depth);
    out += "};\n";
}

// Writes a section with its children before its entries, walking the tree
// without recursion so that deep nesting cannot exhaust the stack.
void WriteSection(std::string &out, const VR_SECTION *root) {
    const VR_SECTION *node = root;
    int depth = 0;
    OpenSection(out, node, depth);
    for (;;) {
        if (node->children) {
            node = node->children;
            depth++;
            OpenSection(out, node, depth);
            continue;
        }
        for (;;) {
            CloseSection(out, node, depth);
            if (node == root)
                return;
            if (node->next) {
                node = node->next;
                OpenSection(out, node, depth);
                break;
            }
            node = node->parent;
            depth--;
        }
    }
}

}  // namespace

VR_VALUE VrInteger(int32_t number) {
    VR_VALUE value;
    value.type = VR_INTEGER;
    value.value.string = nullptr;
    value.value.integer = number;
    value.text = nullptr;
    return value;
}

VR_VALUE VrString(const char *text) {
    VR_VALUE value;
    value.type = VR_STRING;
    value.value.string = const_cast<char *>(text);
    value.text = nullptr;
    return value;
}

const char *VrText(const VR_VALUE *value) {
    if (!value)
        return nullptr;
    if (value->type == VR_STRING)
        return value->value.string;
    if (value->type == VR_INTEGER)
        return value->text;
    return nullptr;
}

bool IsIntegerText(const char *text) {
    int32_t number;
    return text && ParseIntegerText(text, &number);
}

void SetConfigMessageBoxHook(ConfigMessageBoxHook hook) { g_messageBoxHook.store(hook); }

Universal_Config::Universal_Config() : first(nullptr), last(nullptr) {}

Universal_Config::~Universal_Config() { Clear(); }

void Universal_Config::Clear() {
    VR_SECTION *section = first;
    while (section) {
        VR_SECTION *next = section->next;
        FreeSection(section);
        ZFREE(section);
        section = next;
    }
    first = nullptr;
    last = nullptr;
    sectionIndex.clear();
    lastChild.clear();
}

VR_SECTION *Universal_Config::GetSection(VR_SECTION *parent, const char *name) {
    if (!name)
        return nullptr;
    for (VR_SECTION *section = parent ? parent->children : first; section; section = section->next)
        if (NameEquals(section->name, name))
            return section;
    return nullptr;
}

VR_SECTION *Universal_Config::AddSection(VR_SECTION *parent, const char *name) {
    if (!name)
        return nullptr;
    // An existing section of that name is returned, as a walk of the
    // siblings would find it; the index answers without the walk.
    char stored[VR_NAME_MAX + 1];
    StoredName(stored, name);
    std::string key = SectionKey(parent, stored);
    auto found = sectionIndex.find(key);
    if (found != sectionIndex.end())
        return found->second;
    VR_SECTION *tail = nullptr;
    auto known = lastChild.find(parent);
    if (known != lastChild.end())
        tail = known->second;
    else
        tail = parent ? parent->children : first;
    while (tail && tail->next)
        tail = tail->next;
    VR_SECTION *section = static_cast<VR_SECTION *>(ZMALLOC(sizeof(VR_SECTION)));
    if (!section)
        return nullptr;
    memset(section, 0, sizeof(*section));
    memcpy(section->name, stored, sizeof stored);
    section->parent = parent;
    section->prev = tail;
    if (tail)
        tail->next = section;
    else if (parent)
        parent->children = section;
    else
        first = section;
    if (!parent)
        last = section;
    sectionIndex[key] = section;
    lastChild[parent] = section;
    return section;
}

VR_VALUE *Universal_Config::GetSectionValue(VR_SECTION *section, const char *name) {
    if (!section || !name)
        return nullptr;
    for (VR_ENTRY *entry = section->entries; entry; entry = entry->next)
        if (NameEquals(entry->name, name))
            return &entry->value;
    return nullptr;
}

VR_VALUE *Universal_Config::SetSectionValue(const char *name, VR_SECTION *section,
                                            const VR_VALUE *value) {
    if (!section || !name || !value)
        return nullptr;
    VR_ENTRY *entry = nullptr;
    VR_ENTRY *tail = nullptr;
    for (VR_ENTRY *e = section->entries; e; e = e->next) {
        if (NameEquals(e->name, name)) {
            entry = e;
            break;
        }
        tail = e;
    }
    if (entry && value == &entry->value) {
        printf("%s\n", kPassedStoredValue);
        fflush(stdout);
        if (ConfigMessageBoxHook hook = g_messageBoxHook.load())
            hook(kPassedStoredValue, "Error");
        return &entry->value;
    }

    // Copy the new texts first: the caller's value may point into another
    // entry of this tree.
    char *string = nullptr;
    char *text = nullptr;
    if (value->type == VR_STRING) {
        string = ZSTRDUP(value->value.string ? value->value.string : "");
        if (!string)
            return nullptr;
    } else if (value->type == VR_INTEGER && value->text) {
        text = ZSTRDUP(value->text);
        if (!text)
            return nullptr;
    }

    if (entry) {
        ReleaseValue(&entry->value);
    } else {
        entry = static_cast<VR_ENTRY *>(ZMALLOC(sizeof(VR_ENTRY)));
        if (!entry) {
            if (string)
                ZFREE(string);
            if (text)
                ZFREE(text);
            return nullptr;
        }
        memset(entry, 0, sizeof(*entry));
        StoredName(entry->name, name);
        entry->prev = tail;
        if (tail)
            tail->next = entry;
        else
            section->entries = entry;
    }
    entry->value.type = value->type;
    if (value->type == VR_STRING)
        entry->value.value.string = string;
    else
        entry->value.value = value->value;  // an integer (other types are kept, never freed)
    entry->value.text = text;
    return &entry->value;
}

void Universal_Config::FreeSection(VR_SECTION *section) {
    if (!section)
        return;
    FreeEntries(section);
    // Free the descendants leaf first, without recursion.
    VR_SECTION *node = section->children;
    while (node) {
        if (node->children) {
            node = node->children;
            continue;
        }
        VR_SECTION *next = node->next;
        VR_SECTION *parent = node->parent;
        sectionIndex.erase(SectionKey(parent, node->name));
        lastChild.erase(node);
        FreeEntries(node);
        ZFREE(node);
        if (next) {
            node = next;
        } else {
            parent->children = nullptr;
            node = parent == section ? nullptr : parent;
        }
    }
    section->children = nullptr;
    lastChild.erase(section);
}

bool Universal_Config::ReadStream(FILE *stream, const char *fileName, VR_SECTION *start) {
    if (!stream)
        return false;
    if (!fileName)
        fileName = "";
    const bool outermost = includeDepth == 0;
    if (outermost)
        openFiles.clear();
    struct stat st;
    int fd = fileno(stream);
    unsigned long long volume = 0, index = 0;
    bool tracked = fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && FileIdentity(fd, volume, index);
    if (tracked)
        openFiles.emplace_back(volume, index);

    VR_SECTION *current = start;
    int lineNumber = 0;
    bool inBlockComment = false;
    std::string line;
    std::string quotedName, quotedText;
    while (ReadLine(stream, line)) {
        lineNumber++;
        if (!inBlockComment && ParseQuotedLine(line, quotedName, quotedText)) {
            if (current) {
                VR_VALUE value = VrString(quotedText.c_str());
                SetSectionValue(quotedName.c_str(), current, &value);
            }
            continue;
        }
        if (!NormaliseLine(line))
            continue;

        if (const char *include = FindNoCase(line.c_str(), "#include")) {
            const char *open = strchr(include + 8, '"');
            const char *close = open ? strchr(open + 1, '"') : nullptr;
            if (!close) {
                printf("ERROR: Syntax is #include \"filename\"\n");
                break;
            }
            std::string path(open + 1, close);
            FILE *included = includeDepth < kMaxIncludeDepth ? OpenInclude(path.c_str()) : nullptr;
            if (included && IsOpen(openFiles, included)) {
                fclose(included);
                included = nullptr;
            }
            if (!included) {
                printf("ERROR: Error loading #included file '%s'\n", path.c_str());
                break;
            }
            includeDepth++;
            ReadStream(included, path.c_str(), current);
            includeDepth--;
            fclose(included);
            current = stack.back();
            stack.pop_back();
            continue;
        }
        if (line[0] == '#')
            continue;
        if (line.compare(0, 2, "//") == 0)
            continue;
        if (line.compare(0, 2, "/*") == 0) {
            inBlockComment = true;
            continue;
        }
        if (inBlockComment) {
            if (line == "*/")
                inBlockComment = false;
            continue;
        }
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, " {") == 0) {
            std::string name = line.substr(0, line.size() - 2);
            stack.push_back(current);
            current = AddSection(current, name.c_str());
            continue;
        }
        if (line == "};") {
            if (stack.empty()) {
                printf("ERROR: You have one too many }; near line %d of %s\n", lineNumber, fileName);
                break;
            }
            current = stack.back();
            stack.pop_back();
            continue;
        }

        StringTokenizer words(line.c_str(), ' ', false);
        int count = words.CountTokens();
        if (count < 2) {
            printf("Unrecognized line at %s:%d -> %s\n", fileName, lineNumber, line.c_str());
            continue;
        }
        if (!current)
            continue;
        std::string name = words.GetTokenString(1);
        std::string text = words.GetTokensString(2, count);
        int32_t number;
        VR_VALUE value;
        if (ParseIntegerText(text.c_str(), &number)) {
            value = VrInteger(number);
            value.text = const_cast<char *>(text.c_str());
        } else {
            value = VrString(text.c_str());
        }
        SetSectionValue(name.c_str(), current, &value);
    }
    fflush(stdout);

    stack.push_back(current);
    if (tracked)
        openFiles.pop_back();
    if (outermost)
        stack.clear();  // the stack is only used during a read
    return true;
}

bool Universal_Config::LoadFile(const char *path, VR_SECTION *start) {
    if (!path)
        return false;
    FILE *stream = PlatformOpenFile(path, "rb");
    if (!stream)
        return false;
    bool result = ReadStream(stream, path, start);
    fclose(stream);
    return result;
}

std::string Universal_Config::FormatText() const {
    std::string out;
    for (const VR_SECTION *section = first; section; section = section->next) {
        WriteSection(out, section);
        out += '\n';
    }
    return out;
}

bool Universal_Config::SaveFile(const char *path) {
    if (!path)
        return false;
    std::string text = FormatText();
    return PlatformWriteFileAtomic(path, text.data(), text.size());
}
