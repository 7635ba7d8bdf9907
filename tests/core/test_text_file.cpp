#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/text_file.h"
#include "support/scratch_dir.h"

TEST(FileBytes, EmptyMissingAndShrunkFiles) {
    ScratchDir dir;
    FileBytes bytes;
    EXPECT_FALSE(bytes.open("missing"));
    EXPECT_TRUE(bytes.view().empty());

    ScratchDir::write("empty", "");
    EXPECT_TRUE(bytes.open("empty"));
    EXPECT_TRUE(bytes.view().empty());

    // A copy cut short by someone else while it is being compared must not
    // bring the program down: the bytes read stay readable.
    const std::string page(1 << 20, 'x');
    ScratchDir::write("page", page);
    ASSERT_TRUE(bytes.open("page"));
    ASSERT_EQ(::truncate("page", 0), 0);
    EXPECT_EQ(std::string(bytes.view()), page);
}
