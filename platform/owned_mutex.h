#pragma once
#include <condition_variable>
#include <mutex>
#include <thread>

// A lock with the semantics the program relies on: created unowned, recursive
// for the thread that owns it, and released only by that thread.
class OwnedMutex {
public:
    OwnedMutex() = default;
    OwnedMutex(const OwnedMutex&) = delete;
    OwnedMutex& operator=(const OwnedMutex&) = delete;

    // Waits up to timeoutMs (-1 forever, 0 try once). 0 when taken, 1 when not.
    int lock(int timeoutMs = -1);
    // False (and nothing changes) when the calling thread does not own the lock.
    bool unlock();
    bool heldByCaller() const;
    bool held() const;

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::thread::id owner_{};
    int depth_ = 0;
};

// Scoped hold of an OwnedMutex taken with an infinite wait.
class OwnedLock {
public:
    explicit OwnedLock(OwnedMutex& m) : m_(m) { m_.lock(-1); }
    ~OwnedLock() { m_.unlock(); }
    OwnedLock(const OwnedLock&) = delete;
    OwnedLock& operator=(const OwnedLock&) = delete;

private:
    OwnedMutex& m_;
};

// Scoped try of an OwnedMutex: waits up to timeoutMs (0 tries once, -1 waits
// forever) and, only when it got the lock, releases it at the end of the scope.
class OwnedTryLock {
public:
    explicit OwnedTryLock(OwnedMutex& m, int timeoutMs = 0) : m_(m), owns_(m.lock(timeoutMs) == 0) {}
    ~OwnedTryLock() {
        if (owns_) m_.unlock();
    }
    OwnedTryLock(const OwnedTryLock&) = delete;
    OwnedTryLock& operator=(const OwnedTryLock&) = delete;

    bool owns() const { return owns_; }

private:
    OwnedMutex& m_;
    const bool owns_;
};
