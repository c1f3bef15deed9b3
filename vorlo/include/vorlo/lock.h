// Mutex: a recursive lock with a time-limited TryLock that remembers the id of
// the thread that last acquired it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

// The calling thread's id as the kernel knows it (never 0).
uint32_t CurrentThreadId();

class Mutex {
public:
    explicit Mutex(const char *name = nullptr);
    ~Mutex();
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;

    void Lock();
    bool TryLock(unsigned milliseconds);
    void Unlock();
    uint32_t Owner() const;
    bool IsOwner() const;

private:
    std::recursive_timed_mutex mutex;
    std::atomic<uint32_t> owner{0};
};

// Holds a Mutex for the lifetime of a scope.
class MutexHold {
public:
    explicit MutexHold(Mutex &m) : mutex(m) { mutex.Lock(); }
    ~MutexHold() { mutex.Unlock(); }
    MutexHold(const MutexHold &) = delete;
    MutexHold &operator=(const MutexHold &) = delete;

private:
    Mutex &mutex;
};
