/* A plain C test plugin whose shape is chosen at build time, so that the
 * loader meets every kind of library: missing export, no plugins, wrong
 * interface version, failing Init, several descriptors in one library.
 * Init and Shutdown write a line through the host's Log so tests can see
 * which callbacks ran. */
#include "quillon/plugin.h"

#include <stdio.h>

#ifndef PLUGIN_NAME
#define PLUGIN_NAME "basic"
#endif
#ifndef PLUGIN_ID
#define PLUGIN_ID "{6A0E2C1D-1111-4C2B-9D41-000000000001}"
#endif
#ifndef PLUGIN_COUNT
#define PLUGIN_COUNT 1
#endif
#ifndef PLUGIN_VERSION
#define PLUGIN_VERSION QLN_INTERFACE_VERSION
#endif
#ifndef INIT_RESULT
#define INIT_RESULT 0
#endif

#define SLOTS (PLUGIN_COUNT > 0 ? PLUGIN_COUNT : 1)

QLN_EXPORT int QLN_NumPlugins(void) { return PLUGIN_COUNT; }

#ifndef NO_GET_PLUGIN

static const QLN_HOST_API *host;
static QLN_PLUGIN plugins[SLOTS];
static char ids[SLOTS][40];

static int Init(int index, const QLN_HOST_API *api) {
    host = api;
    host->Log("init %s %d", PLUGIN_NAME, index);
    return INIT_RESULT;
}

static void Shutdown(void) {
    if (host)
        host->Log("shutdown %s", PLUGIN_NAME);
}

static bool Search(const Show *show, int season, int episode) {
    (void)show;
    (void)season;
    (void)episode;
    return false;
}

QLN_EXPORT QLN_PLUGIN *QLN_GetPlugin(int index) {
    if (index < 0 || index >= SLOTS)
        return NULL;
    QLN_PLUGIN *p = &plugins[index];
    if (PLUGIN_COUNT == 1)
        snprintf(ids[index], sizeof ids[index], "%s", PLUGIN_ID);
    else
        snprintf(ids[index], sizeof ids[index], "{6A0E2C1D-2222-4C2B-9D41-%012d}", index);
    p->version = PLUGIN_VERSION;
    p->id = ids[index];
    p->name = PLUGIN_NAME;
    p->author = "tests";
    p->type = "NZB";
    p->Init = Init;
    p->Shutdown = Shutdown;
    p->Search = Search;
    return p;
}
#endif
