// Dynamic loader wrappers.
#include "vorlo/library.h"

#include <dlfcn.h>

LibraryHandle LibLoad(const char *path) { return path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr; }

void *LibEntry(LibraryHandle library, const char *name) {
    return library && name ? dlsym(library, name) : nullptr;
}

void LibFree(LibraryHandle library) {
    if (library)
        dlclose(library);
}

const char *LibError() {
    const char *error = dlerror();
    return error ? error : "";
}
