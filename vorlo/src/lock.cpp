// Mutex and the kernel thread id.
#include "vorlo/lock.h"

#include <chrono>

#ifdef _WIN32
#include <windows.h>

uint32_t CurrentThreadId() { return static_cast<uint32_t>(GetCurrentThreadId()); }
#else
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The id is cached per thread; a forked child gets new ids, so the cache of
// the forking thread is cleared in the child.
thread_local uint32_t cachedThreadId = 0;

void ClearCachedThreadId() { cachedThreadId = 0; }

}  // namespace

uint32_t CurrentThreadId() {
    if (cachedThreadId == 0) {
        static const int registered = pthread_atfork(nullptr, nullptr, ClearCachedThreadId);
        (void)registered;
        cachedThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
    }
    return cachedThreadId;
}
#endif

Mutex::Mutex(const char *) {}

Mutex::~Mutex() = default;

void Mutex::Lock() {
    mutex.lock();
    ++depth;
    owner.store(CurrentThreadId(), std::memory_order_relaxed);
}

bool Mutex::TryLock(unsigned milliseconds) {
    bool locked = milliseconds == 0 ? mutex.try_lock() : mutex.try_lock_for(std::chrono::milliseconds(milliseconds));
    if (!locked)
        return false;
    ++depth;
    owner.store(CurrentThreadId(), std::memory_order_relaxed);
    return true;
}

void Mutex::Unlock() {
    if (!IsOwner())
        return;  // not held by this thread: nothing to release
    if (--depth == 0)
        owner.store(0, std::memory_order_relaxed);
    mutex.unlock();
}

uint32_t Mutex::Owner() const { return owner.load(std::memory_order_relaxed); }

bool Mutex::IsOwner() const { return Owner() == CurrentThreadId(); }
