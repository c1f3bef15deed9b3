// Thin wrappers over the dynamic loader (dlopen with RTLD_NOW | RTLD_LOCAL).
#pragma once

typedef void *LibraryHandle;

LibraryHandle LibLoad(const char *path);
void *LibEntry(LibraryHandle library, const char *name);
void LibFree(LibraryHandle library);
// The loader's last error text, or "" when there is none.
const char *LibError();
