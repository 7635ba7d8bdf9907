#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/qt/window_event.h"
#include "support/qt_test_app.h"

namespace {

std::atomic<int> delivered{0};

struct Recorded {
    int id;
    long p1, p2;
    bool onGuiThread;
};

class Recorder : public WindowEventReceiver {
public:
    void handleWindowEvent(int id, long p1, long p2) override {
        events.push_back({id, p1, p2, QThread::currentThread() == testApp().thread()});
        ++delivered;
    }
    std::vector<Recorded> events;
};

void pumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

TEST(WindowEvent, EachPosterIsDeliveredInOrderOnTheGuiThread) {
    testApp();
    Recorder r;
    constexpr int kThreads = 4, kEach = 500;
    EXPECT_TRUE(postWindowEvent(1036));
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) postWindowEvent(2000 + t, i, -i);
        });
    }
    for (auto& p : posters) p.join();
    pumpUntil([&] { return r.events.size() == 1 + kThreads * kEach; });
    ASSERT_EQ(r.events.size(), size_t{1 + kThreads * kEach});
    EXPECT_EQ(r.events[0].id, 1036);
    EXPECT_EQ(r.events[0].p1, 0);
    std::vector<long> next(kThreads, 0);
    for (const Recorded& e : r.events) {
        ASSERT_TRUE(e.onGuiThread);
        if (e.id == 1036) continue;
        const int t = e.id - 2000;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        ASSERT_EQ(e.p1, next[t]) << "poster " << t << " out of order";
        ASSERT_EQ(e.p2, -next[t]);
        ++next[t];
    }
}

TEST(WindowEvent, NothingReachesAReceiverThatIsGone) {
    testApp();
    delivered = 0;
    auto* r = new Recorder;
    EXPECT_TRUE(postWindowEvent(1, 2, 3));
    EXPECT_TRUE(postWindowEvent(4, 5, 6));
    delete r;  // with both events still queued
    EXPECT_FALSE(postWindowEvent(7));
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered.load(), 0);

    // Destroying a receiver that was replaced leaves the newer one as target.
    auto* older = new Recorder;
    Recorder newer;
    delete older;
    EXPECT_TRUE(postWindowEvent(8));
    pumpUntil([&] { return !newer.events.empty(); });
    ASSERT_EQ(newer.events.size(), 1u);
    EXPECT_EQ(newer.events[0].id, 8);
}

TEST(WindowEvent, PostingWhileReceiversComeAndGo) {
    testApp();
    std::atomic<bool> stop{false};
    std::atomic<long> accepted{0};
    std::thread poster([&] {
        while (!stop) {
            if (postWindowEvent(9)) ++accepted;
        }
    });
    delivered = 0;
    long deliveredToLive = 0;
    for (int round = 0; round < 200; ++round) {
        Recorder r;
        QCoreApplication::processEvents();
        deliveredToLive += static_cast<long>(r.events.size());
    }
    stop = true;
    poster.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered.load(), deliveredToLive);
    EXPECT_LE(deliveredToLive, accepted.load());
}
