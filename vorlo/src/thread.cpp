// Named worker threads and their process-wide registry.
#include "vorlo/thread.h"

#include "vorlo/lock.h"
#include "vorlo/memleak.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct ThreadList {
    Mutex lock{"ThreadList"};
    ThreadRecord *head = nullptr;
    int count = 0;
};

// Never destroyed: a thread may still end while static objects go away.
ThreadList &TheList() {
    static ThreadList *list = new ThreadList();
    return *list;
}

std::atomic<int> failNextStarts{0};

// Unlinks and frees the record under the list's lock, so that a thread seen
// as gone by ThreadCount() has released everything.
void EndThread(ThreadRecord *record) {
    ThreadList &list = TheList();
    MutexHold hold(list.lock);
    if (record->prev)
        record->prev->next = record->next;
    else
        list.head = record->next;
    if (record->next)
        record->next->prev = record->prev;
    list.count -= 1;
    ZFREE(record);
}

void *ThreadMain(void *arg) {
    auto *record = static_cast<ThreadRecord *>(arg);
    // The thread names and records itself: once it runs, the starter must not
    // touch the record any more (the routine may already have freed it).
    record->handle = pthread_self();
    char shortName[16] = {};
    memcpy(shortName, record->name, strnlen(record->name, sizeof shortName - 1));
    pthread_setname_np(pthread_self(), shortName);
#ifdef _WIN32
    // The whole name for debuggers and tools (Windows 10 and later).
    typedef HRESULT(WINAPI * SetDescription)(HANDLE, PCWSTR);
    FARPROC entry = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription");
    wchar_t wide[256];
    if (entry && MultiByteToWideChar(CP_UTF8, 0, record->name, -1, wide, 256) > 0) {
        SetDescription set;
        memcpy(&set, &entry, sizeof set);
        set(GetCurrentThread(), wide);
    }
#endif
    record->routine(record);
    return nullptr;
}

}  // namespace

ThreadRecord *StartThread(const char *name, ThreadRoutine routine, void *arg) {
    if (!routine)
        return nullptr;
    auto *record = static_cast<ThreadRecord *>(ZMALLOC(sizeof(ThreadRecord)));
    if (!record)
        return nullptr;
    snprintf(record->name, sizeof record->name, "%s", name ? name : "");
    record->running = 1;
    record->end = EndThread;
    record->arg = arg;
    record->routine = routine;
    ThreadList &list = TheList();
    {
        MutexHold hold(list.lock);
        record->next = list.head;
        if (list.head)
            list.head->prev = record;
        list.head = record;
        list.count += 1;
    }

    int error = 0;
    int failures = failNextStarts.load();
    while (failures > 0 && !failNextStarts.compare_exchange_weak(failures, failures - 1)) {
    }
    if (failures > 0) {
        error = EAGAIN;
    } else {
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_t handle;
        error = pthread_create(&handle, &attr, ThreadMain, record);
        pthread_attr_destroy(&attr);
    }
    if (error != 0) {
        record->running = 0;
        EndThread(record);
        return nullptr;
    }
    return record;
}

int ThreadCount() {
    ThreadList &list = TheList();
    MutexHold hold(list.lock);
    return list.count;
}

void ThreadFailNextStartsForTesting(int count) { failNextStarts.store(count > 0 ? count : 0); }
