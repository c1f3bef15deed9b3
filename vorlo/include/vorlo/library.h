// Thin wrappers over the dynamic loader (dlopen with RTLD_NOW | RTLD_LOCAL;
// LoadLibraryW on Windows).
#pragma once

typedef void *LibraryHandle;

// The file name ending of a loadable library here (plugins are qln_*<suffix>).
#ifdef _WIN32
constexpr const char *kLibrarySuffix = ".dll";
#else
constexpr const char *kLibrarySuffix = ".so";
#endif

LibraryHandle LibLoad(const char *path);
void *LibEntry(LibraryHandle library, const char *name);
void LibFree(LibraryHandle library);
// The loader's last error text, or "" when there is none.
const char *LibError();
