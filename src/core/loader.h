// The plugin loader: finds qln_*.so libraries in a plugin folder, accepts
// their descriptors (interface version 1, no second copy of an id, at most 16
// plugins, a successful Init), keeps them in 16 slots in registration order
// with an enabled flag from plugins.ini (section "plugins"), and unloads
// everything at exit.
#pragma once

#include "quillon/plugin.h"
#include "vorlo/library.h"

constexpr int kPluginSlots = 16;

struct PluginSlot {
    QLN_PLUGIN *plugin;     // nullptr marks a free slot
    LibraryHandle library;
    unsigned char enabled;  // 0 or 1; the check cycle asks only enabled plugins
};

// Written only while loading and unloading, and by the settings dialog under
// CheckLock (enabled flags); the check thread reads it.
extern PluginSlot g_pluginSlots[kPluginSlots];

// Section of plugins.ini that holds the enabled flags, keyed by plugin id.
extern const char *const kPluginsSection;

// True for a file name of a plugin library: "qln_" at the start and ".so"
// from the last '.', both in any letter case.
bool IsPluginFileName(const char *name);
// Loads every plugin library in a folder (ending in '/' or not).
void LoadPluginFolder(const char *folder);
// Loads one library; true when at least one of its descriptors registered.
bool LoadPlugin(const char *path);
// The lowest free slot for a plugin id, or -1 (with the reason in the Log)
// when that id is registered already or no slot is free.
int FindPluginSlot(const char *id);
// Shutdown of every registered plugin, then each library unloaded once.
void UnloadPlugins();
// Slots holding a plugin and a library whose enabled flag is set.
int CountEnabledPlugins();
// Registered plugins, enabled or not, and the n-th of them (nullptr when none).
int GetPluginCount();
QLN_PLUGIN *GetLoadedPlugin(int n);
// Number of libraries held (each once, however many plugins it registered).
int LoadedLibraryCount();
