// Mutex ownership and time-outs, thread ids, and the named thread registry.
#include "vorlo/lock.h"
#include "vorlo/memleak.h"
#include "vorlo/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

void WaitForNoThreads() {
    while (ThreadCount() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

TEST(Mutex, TryLockZeroFromAnotherThreadFailsAtOnce) {
    Mutex m;
    m.Lock();
    bool got = true;
    uint32_t ownerSeen = 0;
    std::thread other([&] {
        got = m.TryLock(0);
        ownerSeen = m.Owner();
    });
    other.join();
    EXPECT_FALSE(got);
    EXPECT_EQ(ownerSeen, CurrentThreadId());
    m.Unlock();
    std::thread again([&] {
        got = m.TryLock(0);
        ownerSeen = m.Owner();
        if (got)
            m.Unlock();
    });
    again.join();
    EXPECT_TRUE(got);
    EXPECT_NE(ownerSeen, CurrentThreadId());
    EXPECT_EQ(m.Owner(), 0u);
}

TEST(Mutex, TimedTryLockSucceedsOnceReleased) {
    Mutex m;
    std::promise<void> held, release;
    std::thread holder([&] {
        m.Lock();
        held.set_value();
        release.get_future().wait();
        m.Unlock();
    });
    held.get_future().wait();
    EXPECT_FALSE(m.IsOwner());
    release.set_value();
    // Generous limit: only reached if the release never happens.
    EXPECT_TRUE(m.TryLock(60000));
    EXPECT_TRUE(m.IsOwner());
    m.Unlock();
    holder.join();
}

TEST(Mutex, RecursiveForItsOwnerWhoStaysOwnerUntilTheLastUnlock) {
    Mutex m("named");
    EXPECT_EQ(m.Owner(), 0u);
    EXPECT_FALSE(m.IsOwner());
    m.Lock();
    EXPECT_TRUE(m.TryLock(0));
    m.Lock();
    EXPECT_TRUE(m.IsOwner());
    m.Unlock();
    m.Unlock();
    EXPECT_TRUE(m.IsOwner());  // still held once
    EXPECT_EQ(m.Owner(), CurrentThreadId());
    m.Unlock();
    EXPECT_EQ(m.Owner(), 0u);
    EXPECT_FALSE(m.IsOwner());
}

TEST(Mutex, UnlockByAThreadThatDoesNotHoldItChangesNothing) {
    Mutex m;
    m.Lock();
    std::thread other([&] { m.Unlock(); });
    other.join();
    EXPECT_TRUE(m.IsOwner());
    bool got = true;
    std::thread probe([&] { got = m.TryLock(0); });
    probe.join();
    EXPECT_FALSE(got);
    m.Unlock();
}

#ifdef _WIN32
TEST(ThreadId, IsTheSystemThreadId) {
    EXPECT_EQ(CurrentThreadId(), static_cast<uint32_t>(GetCurrentThreadId()));
    EXPECT_NE(CurrentThreadId(), 0u);
    uint32_t other = 0;
    std::thread t([&] { other = CurrentThreadId(); });
    t.join();
    EXPECT_NE(other, CurrentThreadId());
}
#else
TEST(ThreadId, IsTheKernelIdAndFollowsFork) {
    EXPECT_EQ(CurrentThreadId(), static_cast<uint32_t>(syscall(SYS_gettid)));
    EXPECT_NE(CurrentThreadId(), 0u);
    uint32_t other = 0;
    std::thread t([&] { other = CurrentThreadId(); });
    t.join();
    EXPECT_NE(other, CurrentThreadId());
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)  // the child's only thread has the child's process id
        _exit(CurrentThreadId() == static_cast<uint32_t>(getpid()) ? 0 : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

namespace {

struct Probe {
    std::mutex m;
    std::condition_variable cv;
    bool go = false;
    std::string name;
    void *arg = nullptr;
    bool ran = false;
};

#ifdef _WIN32
// The calling thread's name as tools see it (GetThreadDescription, Windows 10
// and later); "" where the system has none.
std::string ThreadDescription() {
    typedef HRESULT(WINAPI * GetDescription)(HANDLE, PWSTR *);
    FARPROC entry = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription");
    if (!entry)
        return std::string();
    GetDescription get;
    memcpy(&get, &entry, sizeof get);
    PWSTR wide = nullptr;
    std::string name;
    if (SUCCEEDED(get(GetCurrentThread(), &wide)) && wide) {
        char narrow[256] = {};
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        name = narrow;
    }
    LocalFree(wide);
    return name;
}
#endif

void ProbeRoutine(ThreadRecord *record) {
    auto *probe = static_cast<Probe *>(record->arg);
    {
        std::unique_lock<std::mutex> lock(probe->m);
#ifdef _WIN32
        probe->name = ThreadDescription();
#else
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        probe->name = name;
#endif
        probe->arg = record->arg;
        probe->ran = record->running == 1 && pthread_equal(record->handle, pthread_self());
        probe->cv.notify_all();
        probe->cv.wait(lock, [&] { return probe->go; });
    }
    record->end(record);
}

}  // namespace

TEST(Thread, RunsNamedAndUnregistersAtItsEnd) {
    WaitForNoThreads();
    uint64_t blocks = MemLeakBlocks();
    Probe probe;
    ASSERT_NE(StartThread("Checking Thread", ProbeRoutine, &probe), nullptr);
    EXPECT_EQ(ThreadCount(), 1);
    {
        std::unique_lock<std::mutex> lock(probe.m);
        probe.cv.wait(lock, [&] { return probe.ran; });
        probe.go = true;
    }
    probe.cv.notify_all();
    WaitForNoThreads();
    EXPECT_EQ(probe.name, "Checking Thread");
    EXPECT_EQ(probe.arg, &probe);
    EXPECT_EQ(MemLeakBlocks(), blocks);  // the record was freed
}

TEST(Thread, LongNamesAreCutForTheSystem) {
    WaitForNoThreads();
    Probe probe;
    probe.go = true;
    ASSERT_NE(StartThread("A rather long worker name", ProbeRoutine, &probe), nullptr);
    WaitForNoThreads();
#ifdef _WIN32
    EXPECT_EQ(probe.name, "A rather long worker name");  // no length limit there
#else
    EXPECT_EQ(probe.name, "A rather long w");
#endif
}

TEST(Thread, FailedStartLeavesNothingRegistered) {
    WaitForNoThreads();
    uint64_t blocks = MemLeakBlocks();
    ThreadFailNextStartsForTesting(1);
    Probe probe;
    probe.go = true;
    EXPECT_EQ(StartThread("Refused", ProbeRoutine, &probe), nullptr);
    EXPECT_EQ(ThreadCount(), 0);
    EXPECT_EQ(MemLeakBlocks(), blocks);
    EXPECT_NE(StartThread("Accepted", ProbeRoutine, &probe), nullptr);
    WaitForNoThreads();
    EXPECT_TRUE(probe.ran);
}

TEST(Thread, CountsSeveralThreads) {
    WaitForNoThreads();
    Probe a, b;
    ASSERT_NE(StartThread("a", ProbeRoutine, &a), nullptr);
    ASSERT_NE(StartThread("b", ProbeRoutine, &b), nullptr);
    EXPECT_EQ(ThreadCount(), 2);
    for (Probe *p : {&a, &b}) {
        {
            std::lock_guard<std::mutex> lock(p->m);
            p->go = true;
        }
        p->cv.notify_all();
    }
    WaitForNoThreads();
    EXPECT_EQ(ThreadCount(), 0);
}
