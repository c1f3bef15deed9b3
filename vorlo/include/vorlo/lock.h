// Mutex: a recursive lock with a time-limited TryLock that remembers the id of
// the thread that holds it (0 when free).
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
    // Waits at most `milliseconds`; 0 only tries once.
    bool TryLock(unsigned milliseconds);
    // Releases one acquisition (ignored when the calling thread does not hold
    // the lock); the owner becomes 0 when the last one goes.
    void Unlock();
    uint32_t Owner() const;
    bool IsOwner() const;

private:
    std::recursive_timed_mutex mutex;
    std::atomic<uint32_t> owner{0};
    unsigned depth = 0;  // nested acquisitions by the owner

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
