#include "loader.h"

#include <cstring>
#include <map>
#include <string>

#include "hostapi.h"
#include "log.h"
#include "settings.h"
#include "vorlo/folder.h"
#include "vorlo/ini.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

PluginSlot g_pluginSlots[kPluginSlots];
const char *const kPluginsSection = "plugins";

namespace {
// Every library that registered at least one plugin, each held once.
std::map<LibraryHandle, LibraryHandle> loadedLibraries;
}  // namespace

bool IsPluginFileName(const char *name) {
    if (!name || StrNICmp(name, "qln_", 4) != 0)
        return false;
    const char *dot = std::strrchr(name, '.');
    return dot && StrICmp(dot, kLibrarySuffix) == 0;
}

void LoadPluginFolder(const char *folder) {
    if (!folder)
        return;
    std::string base(folder);
    if (base.empty() || !IsPathSeparator(base.back()))
        base += kPathSeparator;
    FileFinder finder(base.c_str());
    char name[1024];
    while (finder.Next(name)) {
        name[1023] = '\0';
        if (IsPluginFileName(name))
            LoadPlugin((base + name).c_str());
    }
}

bool LoadPlugin(const char *path) {
    Log("Attempting to load plugin: %s", path);
    bool registered = false;
    LibraryHandle library = LibLoad(path);
    if (library) {
        auto numPlugins = reinterpret_cast<QLN_NumPluginsFn>(LibEntry(library, QLN_NUM_PLUGINS_EXPORT));
        auto getPlugin = reinterpret_cast<QLN_GetPluginFn>(LibEntry(library, QLN_GET_PLUGIN_EXPORT));
        int count = numPlugins && getPlugin ? numPlugins() : 0;
        for (int index = 0; index < count; ++index) {
            QLN_PLUGIN *plugin = getPlugin(index);
            // A descriptor without an id or a Search could only crash the host later.
            if (!plugin || plugin->version != QLN_INTERFACE_VERSION || !plugin->id || !plugin->Search)
                continue;
            int slot = FindPluginSlot(plugin->id);
            if (slot < 0)
                continue;
            plugin->module = library;
            if (plugin->Init && plugin->Init(index, GetHostApi()) != 0)
                continue;
            loadedLibraries[library] = library;
            g_pluginSlots[slot].plugin = plugin;
            g_pluginSlots[slot].library = library;
            g_pluginSlots[slot].enabled =
                IniReadInt(g_paths.PluginsIni, kPluginsSection, plugin->id, 0) != 0;
            registered = true;
        }
        if (!registered)
            LibFree(library);
    }
    if (!registered) {
        Log("Could not load plugin!");
        return false;
    }
    Log("Plugin loaded successfully!");
    return true;
}

int FindPluginSlot(const char *id) {
    int freeSlot = -1;
    for (int i = 0; i < kPluginSlots; ++i) {
        const QLN_PLUGIN *plugin = g_pluginSlots[i].plugin;
        if (!plugin) {
            if (freeSlot < 0)
                freeSlot = i;
            continue;
        }
        if (id && plugin->id && StrICmp(plugin->id, id) == 0) {
            Log("Another copy of this plugin is already loaded!");
            return -1;
        }
    }
    if (freeSlot < 0)
        Log("Too many plugins loaded already!");
    return freeSlot;
}

void UnloadPlugins() {
    for (PluginSlot &slot : g_pluginSlots) {
        if (slot.plugin && slot.plugin->Shutdown)
            slot.plugin->Shutdown();
        slot = PluginSlot{};
    }
    for (auto &entry : loadedLibraries)
        LibFree(entry.first);
    loadedLibraries.clear();
}

int CountEnabledPlugins() {
    int count = 0;
    for (const PluginSlot &slot : g_pluginSlots)
        if (slot.plugin && slot.library && slot.enabled)
            ++count;
    return count;
}

int GetPluginCount() {
    int count = 0;
    for (const PluginSlot &slot : g_pluginSlots)
        if (slot.plugin)
            ++count;
    return count;
}

QLN_PLUGIN *GetLoadedPlugin(int n) {
    if (n < 0)
        return nullptr;
    for (const PluginSlot &slot : g_pluginSlots)
        if (slot.plugin && n-- == 0)
            return slot.plugin;
    return nullptr;
}

int LoadedLibraryCount() { return static_cast<int>(loadedLibraries.size()); }
