#include <gtest/gtest.h>

#include <memory>

#include "core/vigil_list.h"
#include "support/probe_vigil.h"

TEST(VigilList, FindVigilAndKeepAliveAfterRemoval) {
    auto makeShared = [] {
        VigilParams p;
        p.cacheFileName = "cache\\00000005.mon";
        return std::shared_ptr<Vigil>(std::make_shared<ProbeVigil>(p, "http:///"));
    };
    vigilList().clear();
    vigilList().append(makeShared());
    vigilList().append(makeShared());
    const int id = vigilList().at(1)->id();
    EXPECT_EQ(vigilList().find(id), vigilList().at(1));
    EXPECT_EQ(vigilList().find(id + 100), nullptr);

    // A check holding the Vigil keeps it alive once it leaves the list.
    std::shared_ptr<Vigil> running = vigilList().find(id);
    EXPECT_EQ(vigilList().remove(id), running);
    EXPECT_EQ(vigilList().find(id), nullptr);
    running->requestStop();
    EXPECT_TRUE(running->stopRequested());
    EXPECT_EQ(vigilList().snapshot().size(), 1u);

    // Back at the end, then first by a reorder; a Vigil not listed has no position.
    EXPECT_EQ(vigilList().append(running), 1);
    EXPECT_EQ(vigilList().at(2), nullptr);
    vigilList().reorder([](const std::vector<const Vigil*>&) { return std::vector<size_t>{1, 0}; });
    EXPECT_EQ(vigilList().position(running), 0);
    EXPECT_EQ(vigilList().remove(id), running);
    EXPECT_EQ(vigilList().position(running), -1);
}
