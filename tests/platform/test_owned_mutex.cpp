#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/owned_mutex.h"

namespace {
template <typename F>
void onOtherThread(F f) {
    std::thread t(f);
    t.join();
}
}  // namespace

TEST(OwnedMutex, OnlyTheOwnerReleasesAndRecursionCounts) {
    auto m = std::make_unique<OwnedMutex>();
    ASSERT_EQ(m->lock(-1), 0);
    ASSERT_EQ(m->lock(0), 0);  // again, same thread

    int released = -1;
    onOtherThread([&] { released = m->unlock(); });
    EXPECT_EQ(released, 0);
    EXPECT_TRUE(m->heldByCaller());

    EXPECT_EQ(m->unlock(), 1);
    int taken = -1;
    onOtherThread([&] { taken = m->lock(0); });
    EXPECT_EQ(taken, 1) << "one release of two takes must keep the lock";
    EXPECT_EQ(m->unlock(), 1);
    EXPECT_FALSE(m->held());
    EXPECT_EQ(m->unlock(), 0);
}

TEST(OwnedMutex, TryAndTimedWaitFromAnotherThread) {
    auto m = std::make_unique<OwnedMutex>();
    ASSERT_EQ(m->lock(-1), 0);
    int tryResult = -1, timedResult = -1;
    onOtherThread([&] {
        tryResult = m->lock(0);
        timedResult = m->lock(30);
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
        timedResult = m->lock(10000);
        if (timedResult == 0) m->unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m->unlock(), 1);
    waiter.join();
    EXPECT_EQ(timedResult, 0);
    EXPECT_FALSE(m->held());
}
