#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "platform/owned_mutex.h"
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

TEST(OwnedMutex, ProcessLocksExistAndAreDistinct) {
    OwnedMutex* const all[] = {gopherPool().lock(), webPool().lock(), ftpPool().lock()};
    for (size_t i = 0; i < std::size(all); ++i) {
        ASSERT_NE(all[i], nullptr);
        for (size_t j = i + 1; j < std::size(all); ++j) EXPECT_NE(all[i], all[j]);
    }
    EXPECT_EQ(gopherPool().lock()->lock(0), 0);
    EXPECT_EQ(gopherPool().lock()->unlock(), 1);
}
