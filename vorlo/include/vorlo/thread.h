// Named worker threads kept in a process-wide registry, so that shutdown can
// wait until every started thread has finished (ThreadCount() == 0).
#pragma once

#include <pthread.h>

struct ThreadRecord;
typedef void (*ThreadRoutine)(ThreadRecord *record);

struct ThreadRecord {
    pthread_t handle;
    char name[256];
    int running;              // 1 once started
    ThreadRecord *prev, *next;
    void (*end)(ThreadRecord *record);  // the routine's last act: unregisters and frees the record
    void *arg;                // caller's data for the routine
    ThreadRoutine routine;    // what the thread runs
};

// Starts `routine` on a new, detached thread named `name` (also the name
// debuggers and /proc show, cut to 15 characters). The routine must call
// record->end(record) as its last act. When the thread cannot be created
// nothing stays registered and nullptr is returned, so ThreadCount() does not
// wait for it. The record belongs to the thread: it may already be freed when
// StartThread returns, so treat the result as a success flag.
ThreadRecord *StartThread(const char *name, ThreadRoutine routine, void *arg = nullptr);
int ThreadCount();

// For tests: makes the next `count` thread creations fail as if the system had
// refused them.
void ThreadFailNextStartsForTesting(int count);
