// Windows: a plugin DLL's exports and imports, read from its own tables once
// it is loaded (the image is then laid out by relative addresses).
#include "library_symbols.h"

#include <vorlo/library.h>

#include <windows.h>

#include <stdexcept>

namespace {

struct Image {
    const unsigned char *base;
    const IMAGE_NT_HEADERS *headers;

    const IMAGE_DATA_DIRECTORY &Directory(int which) const {
        return headers->OptionalHeader.DataDirectory[which];
    }
    template <typename T> const T *At(DWORD rva) const { return reinterpret_cast<const T *>(base + rva); }
};

Image Load(const std::string &library) {
    LibraryHandle handle = LibLoad(library.c_str());
    if (!handle)
        throw std::runtime_error("cannot load " + library + ": " + LibError());
    Image image;
    image.base = static_cast<const unsigned char *>(handle);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image.base);
    image.headers = image.At<IMAGE_NT_HEADERS>(static_cast<DWORD>(dos->e_lfanew));
    return image;
}

}  // namespace

std::set<std::string> DynamicSymbols(const std::string &library, const char *which) {
    const Image image = Load(library);
    std::set<std::string> names;
    if (std::string(which) == "--defined-only") {
        const IMAGE_DATA_DIRECTORY &entry = image.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
        if (entry.Size == 0)
            return names;
        auto *exports = image.At<IMAGE_EXPORT_DIRECTORY>(entry.VirtualAddress);
        auto *nameRvas = image.At<DWORD>(exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i)
            names.insert(image.At<char>(nameRvas[i]));
        return names;
    }
    const IMAGE_DATA_DIRECTORY &entry = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (entry.Size == 0)
        return names;
    for (auto *import = image.At<IMAGE_IMPORT_DESCRIPTOR>(entry.VirtualAddress); import->Name; ++import) {
        DWORD thunks = import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk;
        for (auto *thunk = image.At<IMAGE_THUNK_DATA>(thunks); thunk->u1.AddressOfData; ++thunk)
            if (!IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal))
                names.insert(image.At<IMAGE_IMPORT_BY_NAME>(static_cast<DWORD>(thunk->u1.AddressOfData))->Name);
    }
    return names;
}

std::string NeededLibraries(const std::string &library) {
    const Image image = Load(library);
    std::string needed;
    const IMAGE_DATA_DIRECTORY &entry = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    if (entry.Size == 0)
        return needed;
    for (auto *import = image.At<IMAGE_IMPORT_DESCRIPTOR>(entry.VirtualAddress); import->Name; ++import)
        needed += std::string(image.At<char>(import->Name)) + "\n";
    return needed;
}
