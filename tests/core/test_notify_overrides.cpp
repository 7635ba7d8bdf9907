#include <gtest/gtest.h>

#include "core/notify_overrides.h"
#include "core/vigil.h"

TEST(NotifyOverrides, OverrideBeatsTheVigilsOwnFlag) {
    using namespace NotifyFlags;
    GlobalOverrides o;
    EXPECT_TRUE(o.showsBox(MessageBox));
    EXPECT_FALSE(o.showsBox(Tone | SoundFile));
    o.playAllTones = true;
    EXPECT_TRUE(o.playsTone(0));
    o.playNoSounds = true;
    EXPECT_FALSE(o.playsSound(SoundFile));

    for (int position : {0, 1, 2}) {
        bool forAll = true, forNone = true;
        setOverridePosition(position, forAll, forNone);
        EXPECT_EQ(overridePosition(forAll, forNone), position);
    }
    EXPECT_EQ(overridePosition(true, true), 1);
}
