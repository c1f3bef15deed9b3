// Allocation tracker: guarded, registered heap blocks with diagnostics on
// standard output and a report of the blocks that were never freed.
#include "vorlo/memleak.h"

#include "vorlo/lock.h"
#include "vorlo/platform.h"

#include <cinttypes>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include <pthread.h>
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

// Longest file name a record keeps (a longer one is cut).
const size_t kFileNameMax = 255;

// Aligned to 8 so that the bytes after it stay 8-aligned where pointers take
// 4 bytes as well (32-bit builds); on 64-bit builds the record is 48 bytes
// either way.
struct alignas(8) BlockRecord {
    // The allocation site's file name, kept once per distinct name (see
    // InternFileName) rather than copied into every record: a small record
    // keeps a tree of many blocks within the caches.
    const char *file;
    const char *operation;  // zmalloc or zrealloc
    int32_t line;
    uint32_t size;
    unsigned char *raw;
    // Registry links, in allocation order.
    BlockRecord *prev;
    BlockRecord *next;
};

// A block's caller-visible bytes start at a fixed distance after its record
// (record, pre marker, bytes, post marker), and the record itself starts
// 16-byte aligned, so every user pointer is a multiple of 8.
constexpr size_t kUserOffset = sizeof(BlockRecord) + kGuard;
static_assert(kUserOffset % 8 == 0, "user pointers must stay 8-byte aligned");

// Which user pointers belong to live blocks. The address space is cut into
// 64 KiB regions; a region holding at least one block has a bitmap with one
// bit per 8 bytes, and an open-addressing table (linear probing, at most half
// full) finds a region's bitmap. Once a pointer's bit is found set, its
// record is known to be ours, at kUserOffset before it, and safe to read.
//
// A table keyed by every pointer would take 16 or more bytes per block, and
// with many live blocks each lookup would miss the caches. The bitmaps take
// 1 KiB per 64 KiB of heap in use and stay cached, and blocks made one after
// another share bitmap words. Adding a key never allocates once Reserve has
// succeeded, which lets zrealloc move a block without risk of losing it.
class BlockIndex {
public:
    bool Contains(const void *key) const {
        const uintptr_t address = reinterpret_cast<uintptr_t>(key);
        if (address % kGranule != 0)
            return false;
        const RegionBits *bits = FindRegion(RegionOf(address));
        return bits && bits->Test(BitOf(address));
    }
    // Makes sure that the next Insert needs no memory: room for one more
    // region in the table and a spare bitmap at hand. False when out of memory.
    bool Reserve() {
        if ((count + 1) * 2 > capacity() && !Resize(capacity() ? capacity() * 2 : 16))
            return false;
        if (!spare)
            spare = static_cast<RegionBits *>(calloc(1, sizeof(RegionBits)));
        return spare != nullptr;
    }
    // Adds a key that is absent; Reserve must have succeeded just before.
    void Insert(const void *key) {
        const uintptr_t address = reinterpret_cast<uintptr_t>(key);
        const uintptr_t region = RegionOf(address);
        RegionBits *bits = FindRegion(region);
        if (!bits) {
            bits = spare;
            spare = nullptr;
            size_t i = Home(region);
            while (slots[i].bits)
                i = (i + 1) & mask;
            slots[i].region = region;
            slots[i].bits = bits;
            ++count;
        }
        bits->Set(BitOf(address));
    }
    // Removes a key that is present. A region left empty leaves the table;
    // its bitmap becomes the spare, or is freed when there already is one.
    void Erase(const void *key) {
        const uintptr_t address = reinterpret_cast<uintptr_t>(key);
        const uintptr_t region = RegionOf(address);
        size_t i = Home(region);
        while (slots[i].region != region || !slots[i].bits)
            i = (i + 1) & mask;
        RegionBits *bits = slots[i].bits;
        bits->Clear(BitOf(address));
        if (bits->used > 0)
            return;
        RemoveSlot(i);
        if (spare)
            free(bits);
        else
            spare = bits;
    }
    // Gives memory back once the table is mostly empty (failure keeps it).
    void Shrink() {
        if (capacity() > 64 && count * 8 < capacity())
            Resize(capacity() / 2);
    }

private:
    static constexpr unsigned kRegionShift = 16;
    static constexpr uintptr_t kGranule = 8;
    static constexpr size_t kBitsPerRegion = (uintptr_t{1} << kRegionShift) / kGranule;

    struct RegionBits {
        uint64_t words[kBitsPerRegion / 64];
        uint32_t used;  // bits set
        bool Test(size_t bit) const { return (words[bit / 64] >> (bit % 64)) & 1; }
        void Set(size_t bit) {
            words[bit / 64] |= uint64_t{1} << (bit % 64);
            ++used;
        }
        void Clear(size_t bit) {
            words[bit / 64] &= ~(uint64_t{1} << (bit % 64));
            --used;
        }
    };
    struct Slot {
        uintptr_t region;
        RegionBits *bits;  // null: the slot is free
    };

    static uintptr_t RegionOf(uintptr_t address) { return address >> kRegionShift; }
    static size_t BitOf(uintptr_t address) {
        return (address & ((uintptr_t{1} << kRegionShift) - 1)) / kGranule;
    }
    size_t capacity() const { return slots ? mask + 1 : 0; }
    size_t Home(uintptr_t region) const {
        uint64_t h = static_cast<uint64_t>(region) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h >> 32) & mask;
    }
    RegionBits *FindRegion(uintptr_t region) const {
        if (!slots)
            return nullptr;
        for (size_t i = Home(region);; i = (i + 1) & mask) {
            if (!slots[i].bits)
                return nullptr;
            if (slots[i].region == region)
                return slots[i].bits;
        }
    }
    // Empties slot i, moving later entries of its probe run back so that no
    // marker of a removed entry is left behind.
    void RemoveSlot(size_t i) {
        for (size_t j = i;;) {
            j = (j + 1) & mask;
            if (!slots[j].bits)
                break;
            size_t home = Home(slots[j].region);
            // Entry j stays when its home lies cyclically within (i, j].
            bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
            if (stays)
                continue;
            slots[i] = slots[j];
            i = j;
        }
        slots[i].region = 0;
        slots[i].bits = nullptr;
        --count;
    }
    bool Resize(size_t newCapacity) {
        auto *fresh = static_cast<Slot *>(calloc(newCapacity, sizeof(Slot)));
        if (!fresh)
            return false;
        Slot *old = slots;
        size_t oldCapacity = capacity();
        slots = fresh;
        mask = newCapacity - 1;
        for (size_t i = 0; i < oldCapacity; ++i) {
            if (!old[i].bits)
                continue;
            size_t at = Home(old[i].region);
            while (slots[at].bits)
                at = (at + 1) & mask;
            slots[at] = old[i];
        }
        free(old);
        return true;
    }

    Slot *slots = nullptr;
    size_t mask = 0;
    size_t count = 0;  // regions in the table
    RegionBits *spare = nullptr;
};

// The registry: a list in allocation order (for the report) plus the index of
// live user pointers, so that finding a block does not depend on how many
// blocks are live.
struct Registry {
    Mutex lock{"MemLeak"};
    BlockRecord *head = nullptr;
    BlockRecord *tail = nullptr;
    BlockIndex index;
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

// The record sits right in front of the front marker, so an underflow that
// damages the marker may have overwritten the record too. With the marker
// whole the record is trusted; otherwise only when its fields still agree
// with the registry (its links point at registered neighbours that point
// back, its bytes follow it, its size is one zmalloc can give).
bool RecordTrusted(Registry &reg, BlockRecord *r, void *user) {
    if (memcmp(static_cast<unsigned char *>(user) - kGuard, kMarker, kGuard) == 0)
        return true;
    // A neighbour is looked at only once the index knows it as a live block.
    auto live = [&reg](const BlockRecord *n) {
        return reg.index.Contains(reinterpret_cast<const unsigned char *>(n) + kUserOffset);
    };
    if (r->raw != reinterpret_cast<unsigned char *>(r + 1) || r->size == 0 || r->size > kMaxSize)
        return false;
    if (r->prev ? !live(r->prev) || r->prev->next != r : reg.head != r)
        return false;
    if (r->next ? !live(r->next) || r->next->prev != r : reg.tail != r)
        return false;
    return true;
}

// Takes a record whose links cannot be trusted out of the registry: its
// neighbours are found from their own links instead.
void UnlinkDamaged(Registry &reg, BlockRecord *r) {
    BlockRecord *before = nullptr;
    for (BlockRecord *b = reg.head; b && b != r; b = b->next)
        if (b->next == r)
            before = b;
    BlockRecord *after = nullptr;
    for (BlockRecord *a = reg.tail; a && a != r; a = a->prev)
        if (a->prev == r)
            after = a;
    if (before)
        before->next = after;
    else
        reg.head = after;
    if (after)
        after->prev = before;
    else
        reg.tail = before;
}

// The record of a user pointer the index holds.
BlockRecord *RecordOf(void *user) {
    return reinterpret_cast<BlockRecord *>(static_cast<unsigned char *>(user) - kUserOffset);
}

// The file names of allocation sites, each copied once into static storage
// and kept for the life of the module. Nothing here lives on the heap, so a
// module that is unloaded leaves nothing behind for a leak checker; only
// when the storage is full (hundreds of distinct files) does a name get a
// heap copy of its own, kept as well. Constant-initialised and trivially
// destructible, so it works before and after static construction.
struct FileNameTable {
    struct Hint {
        const char *given;  // the pointer a caller passed
        const char *kept;   // our copy of its text
        size_t length;
    };
    pthread_mutex_t lock;
    size_t used;   // bytes of `arena` in use
    size_t count;  // entries of `names` in use
    const char *names[512];
    size_t lengths[512];
    Hint hints[256];  // by the caller's pointer: most calls end here
    char arena[32768];
};
FileNameTable fileNames = {PTHREAD_MUTEX_INITIALIZER, 0, 0, {}, {}, {}, {}};

// Our copy of a file name, cut at kFileNameMax characters. A hint is used
// only when its text still matches, so a pointer reused by another module
// after an unload cannot give a wrong name.
const char *InternFileName(const char *file) {
    if (!file)
        file = "";
    size_t length = strnlen(file, kFileNameMax);
    FileNameTable &t = fileNames;
    pthread_mutex_lock(&t.lock);
    FileNameTable::Hint &hint = t.hints[(reinterpret_cast<uintptr_t>(file) >> 3) % 256];
    const char *kept = nullptr;
    if (hint.given == file && hint.length == length && memcmp(hint.kept, file, length) == 0) {
        kept = hint.kept;
    } else {
        for (size_t i = 0; i < t.count && !kept; ++i)
            if (t.lengths[i] == length && memcmp(t.names[i], file, length) == 0)
                kept = t.names[i];
        if (!kept) {
            char *copy = nullptr;
            if (t.count < sizeof t.names / sizeof t.names[0] && t.used + length + 1 <= sizeof t.arena) {
                copy = t.arena + t.used;
                t.used += length + 1;
                t.names[t.count] = copy;
                t.lengths[t.count] = length;
                t.count++;
            } else {
                copy = static_cast<char *>(malloc(length + 1));
            }
            if (copy) {
                memcpy(copy, file, length);
                copy[length] = '\0';
                kept = copy;
            } else {
                kept = "";
                length = 0;
            }
        }
        hint.given = file;
        hint.kept = kept;
        hint.length = length;
    }
    pthread_mutex_unlock(&t.lock);
    return kept;
}

void SetOrigin(BlockRecord *r, const char *operation, const char *file, int line) {
    r->file = InternFileName(file);
    r->operation = operation;
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

// Reports a damaged front marker whose block record (which lies just in front
// of it) can no longer be trusted: the record's origin is not shown.
void ReportDamagedRecord(const unsigned char *at, const char *operation, const char *file, int line) {
    char message[128];
    snprintf(message, sizeof message, "Warning! Pointer has been corrupted (pre, %s, %c%c%c%c%c%c%c%c)!",
             operation, at[0], at[1], at[2], at[3], at[4], at[5], at[6], at[7]);
    MemLeakMessage(2, message, file, line);
    MemLeakMessage(2, "^ The block's record in front of it was overwritten as well", file, line);
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

// A block is one heap allocation: its record, then the guarded bytes (pre
// marker, the caller's bytes, post marker). Keeping the record beside the
// bytes it describes means one allocation per block and one cache line to
// touch when the block is checked and freed.
static unsigned char *RawBytes(BlockRecord *record) { return reinterpret_cast<unsigned char *>(record + 1); }

static size_t WholeSize(size_t size) { return sizeof(BlockRecord) + size + 2 * kGuard; }

void *zmalloc(size_t size, const char *file, int line) {
    MemLeakMessage(0, "zmalloc() called", file, line);
    if (size == 0 || size > kMaxSize)
        return nullptr;
    auto *record = static_cast<BlockRecord *>(kHeap.allocate(WholeSize(size)));
    if (!record)
        return nullptr;
    memset(record, 0, WholeSize(size));
    unsigned char *raw = RawBytes(record);
    SetOrigin(record, "zmalloc", file, line);
    record->size = static_cast<uint32_t>(size);
    record->raw = raw;
    WriteMarkers(raw, size);

    Registry &reg = TheRegistry();
    {
        MutexHold hold(reg.lock);
        if (!reg.index.Reserve()) {
            kHeap.release(record);
            return nullptr;
        }
        reg.index.Insert(UserPointer(record));
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
    if (!reg.index.Contains(ptr)) {
        MemLeakMessage(2, "Warning! Attempted to zrealloc() an unregistered ptr!", file, line);
        return nullptr;
    }
    BlockRecord *record = RecordOf(ptr);
    if (!RecordTrusted(reg, record, ptr)) {
        // Nothing in the record can be used to move the block: it stays
        // registered where it is (its size no longer known) and none is given.
        ReportDamagedRecord(static_cast<unsigned char *>(ptr) - kGuard, "zrealloc", file, line);
        return nullptr;
    }
    CheckMarker(record, record->raw, "pre", "zrealloc", file, line);
    CheckMarker(record, record->raw + kGuard + record->size, "post", "zrealloc", file, line);
    if (size > kMaxSize || !reg.index.Reserve())
        return nullptr;  // stays registered as it was

    // The index entry is taken out before the resize and put back after it,
    // at the block's new address when it moved. With room reserved above,
    // putting it back never allocates, so the block cannot become unfindable.
    reg.index.Erase(ptr);
    auto *moved = static_cast<BlockRecord *>(kHeap.resize(record, WholeSize(size)));
    if (!moved) {
        reg.index.Insert(ptr);
        return nullptr;  // the old block is untouched and stays registered
    }
    const bool relocated = moved != record;
    BlockRecord *block = moved;
    if (relocated) {
        // The record moved with the bytes: its neighbours in the registry follow it.
        if (block->prev)
            block->prev->next = block;
        else
            reg.head = block;
        if (block->next)
            block->next->prev = block;
        else
            reg.tail = block;
    }
    unsigned char *raw = RawBytes(block);
    block->raw = raw;
    unsigned char *user = raw + kGuard;
    reg.index.Insert(user);
    WriteMarkers(raw, size);
    SetOrigin(block, "zrealloc", file, line);
    reg.bytes -= block->size;
    reg.bytes += size;
    block->size = static_cast<uint32_t>(size);
    return user;
}

void zfree(void *ptr, const char *file, int line) {
    MemLeakMessage(0, "zfree() called", file, line);
    Registry &reg = TheRegistry();
    BlockRecord *record;
    bool trusted;
    {
        MutexHold hold(reg.lock);
        if (!reg.index.Contains(ptr)) {
            MemLeakMessage(1, "Warning! Attempted to zfree() non-registered pointer!", file, line);
            return;
        }
        record = RecordOf(ptr);
        trusted = RecordTrusted(reg, record, ptr);
        reg.index.Erase(ptr);
        reg.index.Shrink();
        reg.blocks -= 1;
        if (trusted) {
            reg.Unlink(record);
            reg.bytes -= record->size;
        } else {
            UnlinkDamaged(reg, record);
            // The size is lost with the record: the count is rebuilt.
            reg.bytes = 0;
            for (const BlockRecord *r = reg.head; r; r = r->next)
                reg.bytes += r->size;
        }
    }
    if (!trusted) {
        unsigned char *raw = static_cast<unsigned char *>(ptr) - kGuard;
        ReportDamagedRecord(raw, "zfree", file, line);
        MemLeakDump(stdout, raw, kGuard);
        kHeap.release(record);
        return;
    }
    // The record is unlinked: check and release it without holding the lock.
    size_t whole = record->size + 2 * kGuard;
    if (!CheckMarker(record, record->raw, "pre", "zfree", file, line))
        MemLeakDump(stdout, record->raw, whole);
    if (!CheckMarker(record, record->raw + kGuard + record->size, "post", "zfree", file, line))
        MemLeakDump(stdout, record->raw, whole);
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
#ifdef _WIN32
    // The C library there measures wide results; its vswprintf would cut a
    // long one short without saying so.
    va_list args;
    va_start(args, format);
    int length = _vscwprintf(format, args);
    va_end(args);
    if (length < 0)
        return nullptr;
    auto *text = static_cast<wchar_t *>(zmalloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t), __FILE__, __LINE__));
    if (text) {
        va_start(args, format);
        _vsnwprintf(text, static_cast<size_t>(length) + 1, format, args);
        va_end(args);
        text[length] = L'\0';
    }
    return text;
#else
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
#endif
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
    FILE *out = path ? PlatformOpenFile(path, "wb") : nullptr;
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
