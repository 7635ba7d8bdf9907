#include <gtest/gtest.h>

#include <filesystem>

#include "core/cache_files.h"
#include "support/scratch_dir.h"

TEST(CacheFiles, EmptyCacheDirectoryStartsAtZero) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    EXPECT_EQ(CacheFiles::newName(), "cache\\00000000.mon");
    EXPECT_EQ(CacheFiles::newName(), "cache\\00000001.mon");
}

TEST(CacheFiles, SkipsExistingFilesAndStoredNumbers) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    ScratchDir::write("cache/00000000.mon", "old run");
    ScratchDir::write("cache/00000003.mon", "old run");
    // vigil.dat names number 1; its file is gone, yet the number stays taken.
    EXPECT_EQ(CacheFiles::addNumber(1), 1);
    EXPECT_EQ(CacheFiles::addNumber(1), 0);
    EXPECT_EQ(CacheFiles::newName(), "cache\\00000002.mon");
    EXPECT_EQ(CacheFiles::newName(), "cache\\00000004.mon");
}

TEST(CacheFiles, MissingDirectoryStillHandsOutNames) {
    ScratchDir dir;
    EXPECT_EQ(CacheFiles::newName(), "cache\\00000000.mon");
}

TEST(CacheFiles, RemoveMapsTheStoredNameToTheFile) {
    ScratchDir dir;
    std::filesystem::create_directory("cache");
    ScratchDir::write("cache/00000007.mon", "copy");
    EXPECT_EQ(CacheFiles::remove("cache\\00000007.mon"), 0);
    EXPECT_FALSE(std::filesystem::exists("cache/00000007.mon"));
    EXPECT_EQ(CacheFiles::remove("cache\\00000007.mon"), 0);  // already gone: ignored
}

TEST(CacheFiles, NumberFromStoredName) {
    ScratchDir dir;
    EXPECT_EQ(CacheFiles::numberFromName("cache\\00000042.mon"), 42);
    EXPECT_EQ(CacheFiles::numberFromName("cache\\99999999.mon"), 99999999);
    // Hand edits and lists from Windows: the same copy, however the name reaches it.
    EXPECT_EQ(CacheFiles::numberFromName("cache/00000042.mon"), 42);
    EXPECT_EQ(CacheFiles::numberFromName("CACHE\\00000042.MON"), 42);
    EXPECT_EQ(CacheFiles::numberFromName("cache\\0000042.mon"), 42);
    EXPECT_EQ(CacheFiles::numberFromName("../" + dir.path().filename().string() + "/cache/000000042.mon"), 42);
    // Another folder's copy: not this one's, though the cleanup spares the number.
    EXPECT_FALSE(CacheFiles::numberFromName("/tmp/cache/00000042.mon"));
    EXPECT_EQ(CacheFiles::numberNamed("/tmp/cache/00000042.mon"), 42);
    EXPECT_FALSE(CacheFiles::numberFromName("cache:00000042.mon"));
    EXPECT_FALSE(CacheFiles::numberFromName("cache\\0000004x.mon"));
    EXPECT_FALSE(CacheFiles::numberFromName("cache\\00000042.mox"));
    EXPECT_FALSE(CacheFiles::numberFromName(""));
}
