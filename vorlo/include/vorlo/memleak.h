// Allocation tracker: every tracked block is registered with the source file
// and line that asked for it and is wrapped in "VORLOKAP" guard markers, which
// are checked on resize and free. Diagnostics go to standard output as
// "MemLeak : Level ..." lines. Each module (host, every plugin) has its own
// registry: free a block with the tracker of the module that allocated it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cwchar>

void *zmalloc(size_t size, const char *file, int line);
void *zrealloc(void *ptr, size_t size, const char *file, int line);
void zfree(void *ptr, const char *file, int line);
char *zstrdup(const char *text, const char *file, int line);
wchar_t *zwcsdup(const wchar_t *text, const char *file, int line);

// Formatted tracked texts; the block's origin is the tracker's own source file.
char *zformat(const char *format, ...) __attribute__((format(printf, 1, 2)));
char *zvformat(const char *format, va_list args);
wchar_t *zwformat(const wchar_t *format, ...);

// Level 0 is a trace (prints nothing), 1 a harmless misuse, 2 damage.
void MemLeakMessage(int level, const char *message, const char *file, int line);
void MemLeakExit(FILE *out);
void MemLeakReportFile(const char *path);
void MemLeakFreeAll(const char *file, int line);
uint64_t MemLeakBytes();
uint64_t MemLeakBlocks();
void MemLeakDump(FILE *out, const void *bytes, size_t count);

// The calls as code uses them: the caller's own file and line are recorded.
#define ZMALLOC(size) zmalloc((size), __FILE__, __LINE__)
#define ZREALLOC(ptr, size) zrealloc((ptr), (size), __FILE__, __LINE__)
#define ZFREE(ptr) zfree((ptr), __FILE__, __LINE__)
#define ZSTRDUP(text) zstrdup((text), __FILE__, __LINE__)
#define ZWCSDUP(text) zwcsdup((text), __FILE__, __LINE__)
