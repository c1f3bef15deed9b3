// Allocation tracker: guarded, registered heap blocks with diagnostics on
// standard output and a report of the blocks that were never freed.
#include "vorlo/memleak.h"

#include "vorlo/lock.h"

#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VORLO_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define VORLO_LEAK_CHECKER 1
#endif
#endif
#ifndef VORLO_LEAK_CHECKER
#define VORLO_LEAK_CHECKER 0
#endif
#if VORLO_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const char kMarker[8] = {'V', 'O', 'R', 'L', 'O', 'K', 'A', 'P'};
const size_t kGuard = sizeof(kMarker);
// The record keeps the size in 32 bits, and the guards must fit as well.
const size_t kMaxSize = UINT32_MAX - 2 * kGuard;

// Raw memory entry points; block records and raw blocks both come from here.
struct RawMemory {
    void *(*allocate)(size_t);
    void *(*resize)(void *, size_t);
    void (*release)(void *);
};
const RawMemory kHeap = {malloc, realloc, free};

struct BlockRecord {
    char file[256];
    char operation[16];
    int32_t line;
    uint32_t size;
    unsigned char *raw;
    // Registry links, in allocation order.
    BlockRecord *prev;
    BlockRecord *next;
};

// The registry: a list in allocation order (for the report) plus a hash index
// from the caller's pointer to its record, so that finding a block does not
// depend on how many blocks are live.
struct Registry {
    Mutex lock{"MemLeak"};
    BlockRecord *head = nullptr;
    BlockRecord *tail = nullptr;
    std::unordered_map<const void *, BlockRecord *> index;
    uint64_t bytes = 0;
    uint64_t blocks = 0;

    void Append(BlockRecord *r) {
        r->prev = tail;
        r->next = nullptr;
        if (tail)
            tail->next = r;
        else
            head = r;
        tail = r;
    }
    void Unlink(BlockRecord *r) {
        if (r->prev)
            r->prev->next = r->next;
        else
            head = r->next;
        if (r->next)
            r->next->prev = r->prev;
        else
            tail = r->prev;
        r->prev = r->next = nullptr;
    }
};

// Created on first use and never destroyed: other modules' static objects may
// allocate and free tracked blocks while they are constructed or destroyed.
// In a plugin library the registry also outlives the library once the host
// has unloaded it, so the leak checker is told that it is kept on purpose.
Registry &TheRegistry() {
    static Registry *registry = [] {
        Registry *created = new Registry();
#if VORLO_LEAK_CHECKER
        __lsan_ignore_object(created);
#endif
        return created;
    }();
    return *registry;
}

void *UserPointer(const BlockRecord *r) { return r->raw + kGuard; }

void SetOrigin(BlockRecord *r, const char *operation, const char *file, int line) {
    snprintf(r->file, sizeof r->file, "%s", file ? file : "");
    snprintf(r->operation, sizeof r->operation, "%s", operation);
    r->line = line;
}

void WriteMarkers(unsigned char *raw, size_t size) {
    memcpy(raw, kMarker, kGuard);
    memcpy(raw + kGuard + size, kMarker, kGuard);
}

// Checks one marker; on damage reports it and the block's last origin, and
// returns false.
bool CheckMarker(const BlockRecord *r, const unsigned char *at, const char *where, const char *operation,
                 const char *file, int line) {
    if (memcmp(at, kMarker, kGuard) == 0)
        return true;
    char message[128];
    snprintf(message, sizeof message, "Warning! Pointer has been corrupted (%s, %s, %c%c%c%c%c%c%c%c)!", where,
             operation, at[0], at[1], at[2], at[3], at[4], at[5], at[6], at[7]);
    MemLeakMessage(2, message, file, line);
    snprintf(message, sizeof message, "^ Last FFL -> %s, size: %u, ptr: %p", r->operation, r->size,
             static_cast<void *>(r->raw));
    MemLeakMessage(2, message, r->file, r->line);
    return false;
}

// The part of a path after its last '/', else after its last backslash.
const char *BaseName(const char *path) {
    const char *slash = strrchr(path, '/');
    if (slash)
        return slash + 1;
    const char *backslash = strrchr(path, '\\');
    return backslash ? backslash + 1 : path;
}

}  // namespace

void MemLeakMessage(int level, const char *message, const char *file, int line) {
    if (level <= 0)
        return;  // trace messages are not shown
    printf("MemLeak : Level %d Message : %s : File : %s:%d\n", level, message ? message : "", file ? file : "",
           line);
    fflush(stdout);
}

void *zmalloc(size_t size, const char *file, int line) {
    MemLeakMessage(0, "zmalloc() called", file, line);
    if (size == 0 || size > kMaxSize)
        return nullptr;
    auto *record = static_cast<BlockRecord *>(kHeap.allocate(sizeof(BlockRecord)));
    if (!record)
        return nullptr;
    memset(record, 0, sizeof *record);
    auto *raw = static_cast<unsigned char *>(kHeap.allocate(size + 2 * kGuard));
    if (!raw) {
        kHeap.release(record);
        return nullptr;
    }
    memset(raw, 0, size + 2 * kGuard);
    SetOrigin(record, "zmalloc", file, line);
    record->size = static_cast<uint32_t>(size);
    record->raw = raw;
    WriteMarkers(raw, size);

    Registry &reg = TheRegistry();
    {
        MutexHold hold(reg.lock);
        try {
            reg.index.emplace(UserPointer(record), record);
        } catch (const std::bad_alloc &) {
            kHeap.release(raw);
            kHeap.release(record);
            return nullptr;
        }
        reg.Append(record);
        reg.blocks += 1;
        reg.bytes += size;
    }
    return UserPointer(record);
}

void *zrealloc(void *ptr, size_t size, const char *file, int line) {
    if (!ptr)
        return zmalloc(size, file, line);
    if (size == 0) {
        zfree(ptr, file, line);
        return nullptr;
    }
    MemLeakMessage(0, "zrealloc() called", file, line);
    Registry &reg = TheRegistry();
    MutexHold hold(reg.lock);
    auto it = reg.index.find(ptr);
    if (it == reg.index.end()) {
        MemLeakMessage(2, "Warning! Attempted to zrealloc() an unregistered ptr!", file, line);
        return nullptr;
    }
    BlockRecord *record = it->second;
    CheckMarker(record, record->raw, "pre", "zrealloc", file, line);
    CheckMarker(record, record->raw + kGuard + record->size, "post", "zrealloc", file, line);
    if (size > kMaxSize)
        return nullptr;  // stays registered as it was

    auto *raw = static_cast<unsigned char *>(kHeap.resize(record->raw, size + 2 * kGuard));
    if (!raw)
        return nullptr;  // the old block is untouched and stays registered
    unsigned char *user = raw + kGuard;
    if (user != ptr) {
        // Re-key the index entry in place: moving the node allocates nothing,
        // so the block cannot become unfindable.
        auto node = reg.index.extract(it);
        node.key() = user;
        reg.index.insert(std::move(node));
    }
    record->raw = raw;
    WriteMarkers(raw, size);
    SetOrigin(record, "zrealloc", file, line);
    reg.bytes -= record->size;
    reg.bytes += size;
    record->size = static_cast<uint32_t>(size);
    return user;
}

void zfree(void *ptr, const char *file, int line) {
    MemLeakMessage(0, "zfree() called", file, line);
    Registry &reg = TheRegistry();
    BlockRecord *record;
    {
        MutexHold hold(reg.lock);
        auto it = reg.index.find(ptr);
        if (it == reg.index.end()) {
            MemLeakMessage(1, "Warning! Attempted to zfree() non-registered pointer!", file, line);
            return;
        }
        record = it->second;
        reg.index.erase(it);
        reg.Unlink(record);
        reg.blocks -= 1;
        reg.bytes -= record->size;
    }
    // The record is unlinked: check and release it without holding the lock.
    size_t whole = record->size + 2 * kGuard;
    if (!CheckMarker(record, record->raw, "pre", "zfree", file, line))
        MemLeakDump(stdout, record->raw, whole);
    if (!CheckMarker(record, record->raw + kGuard + record->size, "post", "zfree", file, line))
        MemLeakDump(stdout, record->raw, whole);
    kHeap.release(record->raw);
    kHeap.release(record);
}

char *zstrdup(const char *text, const char *file, int line) {
    MemLeakMessage(0, "zstrdup() called", file, line);
    if (!text)
        return nullptr;
    size_t length = strlen(text);
    auto *copy = static_cast<char *>(zmalloc(length + 1, file, line));
    if (copy)
        memcpy(copy, text, length + 1);
    return copy;
}

wchar_t *zwcsdup(const wchar_t *text, const char *file, int line) {
    if (!text)
        return nullptr;
    size_t length = wcslen(text);
    auto *copy = static_cast<wchar_t *>(zmalloc((length + 1) * sizeof(wchar_t), file, line));
    if (copy)
        wmemcpy(copy, text, length + 1);
    return copy;
}

char *zvformat(const char *format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0)
        return nullptr;
    auto *text = static_cast<char *>(zmalloc(static_cast<size_t>(length) + 1, __FILE__, __LINE__));
    if (text)
        vsnprintf(text, static_cast<size_t>(length) + 1, format, args);
    return text;
}

char *zformat(const char *format, ...) {
    va_list args;
    va_start(args, format);
    char *text = zvformat(format, args);
    va_end(args);
    return text;
}

wchar_t *zwformat(const wchar_t *format, ...) {
    // vswprintf cannot measure its result: format into a growing scratch
    // buffer, then keep an exact tracked copy.
    std::vector<wchar_t> scratch(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int length = vswprintf(scratch.data(), scratch.size(), format, args);
        va_end(args);
        if (length >= 0)
            return zwcsdup(scratch.data(), __FILE__, __LINE__);
        // -1 means "too small" or an encoding error; give up at 16M characters.
        if (scratch.size() >= (size_t{1} << 24))
            return nullptr;
        scratch.resize(scratch.size() * 4);
    }
}

void MemLeakDump(FILE *out, const void *bytes, size_t count) {
    const auto *p = static_cast<const unsigned char *>(bytes);
    for (size_t row = 0; row < count; row += 16) {
        size_t n = count - row < 16 ? count - row : 16;
        fprintf(out, "%08xh: ", static_cast<unsigned>(row));
        for (size_t i = 0; i < 16; ++i) {
            if (i < n)
                fprintf(out, "%02X ", p[row + i]);
            else
                fputs("   ", out);
        }
        fputs(" ; ", out);
        for (size_t i = 0; i < 16; ++i) {
            if (i < n) {
                unsigned char c = p[row + i];
                fputc(c >= 0x20 && c < 0x80 ? c : '.', out);
            } else {
                fputc(' ', out);
            }
        }
        fputc('\n', out);
    }
    fflush(out);
}

void MemLeakExit(FILE *out) {
    Registry &reg = TheRegistry();
    MutexHold hold(reg.lock);
    if (!reg.head)
        fputs("MemLeakExit() -> No Unfreed Ptrs Found (That is good)\n", out);
    fputs("MemLeakExit() -> Beginning report of unfreed ptrs...\n", out);
    fflush(out);
    for (const BlockRecord *r = reg.head; r; r = r->next) {
        // The pointer's hex digits follow the line's own "0x" (glibc's %p
        // would add a second prefix).
        fprintf(out, "Unfreed Ptr: 0x%" PRIxPTR " (len: %u), %s, %s, line %d\n",
                reinterpret_cast<uintptr_t>(UserPointer(r)), r->size, r->operation, BaseName(r->file), r->line);
        fflush(out);
        MemLeakDump(out, UserPointer(r), r->size);
    }
    fputs("MemLeakExit() -> End of report...\n", out);
    fflush(out);
}

void MemLeakReportFile(const char *path) {
    FILE *out = path ? fopen(path, "wb") : nullptr;
    if (!out) {
        printf("Error opening %s for output!!!\n", path ? path : "");
        fflush(stdout);
        return;
    }
    MemLeakExit(out);
    fclose(out);
}

void MemLeakFreeAll(const char *file, int line) {
    Registry &reg = TheRegistry();
    for (;;) {
        void *user;
        {
            MutexHold hold(reg.lock);
            if (!reg.head)
                return;
            user = UserPointer(reg.head);
        }
        zfree(user, file, line);
    }
}

uint64_t MemLeakBytes() {
    Registry &reg = TheRegistry();
    MutexHold hold(reg.lock);
    return reg.bytes;
}

uint64_t MemLeakBlocks() {
    Registry &reg = TheRegistry();
    MutexHold hold(reg.lock);
    return reg.blocks;
}
