#include <gtest/gtest.h>

#include <thread>

#include "core/locks.h"
#include "net/ftp_client.h"
#include "net/tcp_client.h"

namespace {
template <typename F>
void onOtherThread(F f) {
    std::thread t(f);
    t.join();
}
}  // namespace

TEST(OwnedMutex, OnlyTheOwnerReleasesAndRecursionCounts) {
    MutexHandle m = nullptr;
    createMutex(nullptr, &m);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(lockMutex(m, -1), 0);
    ASSERT_EQ(lockMutex(m, 0), 0);  // again, same thread

    int released = -1;
    onOtherThread([&] { released = unlockMutex(m); });
    EXPECT_EQ(released, 0);
    EXPECT_TRUE(m->heldByCaller());

    EXPECT_EQ(unlockMutex(m), 1);
    int taken = -1;
    onOtherThread([&] { taken = lockMutex(m, 0); });
    EXPECT_EQ(taken, 1) << "one release of two takes must keep the lock";
    EXPECT_EQ(unlockMutex(m), 1);
    EXPECT_FALSE(m->held());
    EXPECT_EQ(unlockMutex(m), 0);
    delete m;
}

TEST(OwnedMutex, TryAndTimedWaitFromAnotherThread) {
    MutexHandle m = createMutex(nullptr, nullptr);
    ASSERT_EQ(lockMutex(m, -1), 0);
    int tryResult = -1, timedResult = -1;
    onOtherThread([&] {
        tryResult = lockMutex(m, 0);
        timedResult = lockMutex(m, 30);
    });
    EXPECT_EQ(tryResult, 1);
    EXPECT_EQ(timedResult, 1);
    // The scoped try: not taken, it must not release the owner's hold.
    bool owned = true;
    onOtherThread([&] { owned = OwnedTryLock(*m, 30).owns(); });
    EXPECT_FALSE(owned);
    EXPECT_TRUE(OwnedTryLock(*m).owns());  // recursive for the owner
    EXPECT_TRUE(m->heldByCaller()) << "the scoped try released a hold it did not take";

    std::thread waiter([&] {
        timedResult = lockMutex(m, 10000);
        if (timedResult == 0) unlockMutex(m);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(unlockMutex(m), 1);
    waiter.join();
    EXPECT_EQ(timedResult, 0);
    EXPECT_FALSE(m->held());
    delete m;
}

TEST(OwnedMutex, ProcessLocksExistAndAreDistinct) {
    const MutexHandle all[] = {gopherPool().lock(), webPool().lock(), ftpPool().lock()};
    for (size_t i = 0; i < std::size(all); ++i) {
        ASSERT_NE(all[i], nullptr);
        for (size_t j = i + 1; j < std::size(all); ++j) EXPECT_NE(all[i], all[j]);
    }
    createProcessLocks();
    EXPECT_EQ(lockMutex(gopherPool().lock(), 0), 0);
    EXPECT_EQ(unlockMutex(gopherPool().lock()), 1);
}
