#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app/notify_sound.h"
#include "core/notify_overrides.h"
#include "core/run_state.h"
#include "platform/sound.h"
#include "support/probe_vigil.h"
#include "support/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder with player scripts that record their name and arguments, one
// line each, in the file "played"; PATH holds only the folders made for them.
class Players : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("TERVANE_TRACE", (dir_.path() / "trace").c_str(), 1);
        ScratchDir::write("tune.wav", "RIFF");
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        unsetenv("TERVANE_TRACE");
    }

    // A player called name in folder; body runs after the recording.
    void addPlayer(const std::string& folder, const std::string& name, const std::string& body = "") {
        fs::create_directories(folder);
        const std::string path = folder + "/" + name;
        ScratchDir::write(path, "#!/bin/sh\nprintf '%s\\n' \"${0##*/}\" \"$@\" >> '" +
                                    (dir_.path() / "played").string() + "'\n" + body + "\n");
        ::chmod(path.c_str(), 0755);
    }
    void usePath(const std::string& folders) { setenv("PATH", folders.c_str(), 1); }
    std::string played() {
        const std::string text = ScratchDir::read("played");
        fs::remove("played");
        return text;
    }
    std::string trace() {
        const std::string text = ScratchDir::read("trace");
        fs::remove("trace");
        return text;
    }
    std::string at(const std::string& folder) const { return (dir_.path() / folder).string(); }

    ScratchDir dir_;
    std::string oldPath_;
};

}  // namespace

TEST_F(Players, FirstPlayerByNameWinsWhereverItIsOnPath) {
    addPlayer("one", "aplay");
    addPlayer("one", "paplay");
    addPlayer("two", "pw-play");
    usePath(at("one") + ":" + at("two"));
    EXPECT_TRUE(playSoundFile("tune.wav"));
    EXPECT_EQ(played(), "pw-play\ntune.wav\n");
    EXPECT_EQ(trace(), "sound: tune.wav (played by pw-play)\n");

    fs::remove("two/pw-play");
    EXPECT_TRUE(playSoundFile("tune.wav"));
    EXPECT_EQ(played(), "paplay\ntune.wav\n");

    fs::remove("one/paplay");
    EXPECT_TRUE(playSoundFile("tune.wav"));
    EXPECT_EQ(played(), "aplay\ntune.wav\n");

    // Not executable: not a player.
    ::chmod("one/aplay", 0644);
    EXPECT_FALSE(playSoundFile("tune.wav"));
    EXPECT_EQ(trace(), "sound: tune.wav (played by paplay)\nsound: tune.wav (played by aplay)\n"
                       "sound: tune.wav (no player)\n");
}

TEST_F(Players, TheFileIsOneArgumentWithoutAShell) {
    addPlayer("bin", "paplay");
    usePath(at("bin"));
    const std::string odd = "my tune; $(touch hacked) 'x' \"y\".wav";
    ScratchDir::write(odd, "RIFF");
    ScratchDir::write("-n.wav", "RIFF");
    fs::create_directory("sounds");
    ScratchDir::write("sounds/bell.wav", "RIFF");

    EXPECT_TRUE(playSoundFile(odd));
    EXPECT_TRUE(playSoundFile("-n.wav"));           // would read as an option
    EXPECT_TRUE(playSoundFile("sounds\\bell.wav"));  // a name stored on Windows
    EXPECT_EQ(played(), "paplay\n" + odd + "\npaplay\n./-n.wav\npaplay\nsounds/bell.wav\n");
    EXPECT_FALSE(fs::exists("hacked"));
}

TEST_F(Players, NothingToPlayOrAPlayerThatFailsIsSilent) {
    addPlayer("bin", "aplay", "exit 3");
    addPlayer("slow", "aplay", "exec /bin/sleep 30");
    fs::create_directory("empty");

    usePath(at("empty"));
    EXPECT_FALSE(playSoundFile("tune.wav"));
    usePath(at("bin"));
    EXPECT_FALSE(playSoundFile("missing.wav"));
    EXPECT_FALSE(playSoundFile(""));
    EXPECT_EQ(played(), "");  // no player started for a file that is not there
    EXPECT_FALSE(playSoundFile("tune.wav"));
    EXPECT_EQ(played(), "aplay\ntune.wav\n");

    // A player that never ends is stopped at the limit.
    usePath(at("slow"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(playSoundFile("tune.wav", 300));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_EQ(trace(),
              "sound: tune.wav (no player)\n"
              "sound: missing.wav (no such file)\n"
              "sound: (no file)\n"
              "sound: tune.wav (aplay failed with exit status 3)\n"
              "sound: tune.wav (aplay stopped after the time limit)\n");
}

TEST_F(Players, NotifySoundChoosesTheFile) {
    addPlayer("bin", "paplay");
    usePath(at("bin"));
    ScratchDir::write("own.wav", "RIFF");
    ScratchDir::write("all.wav", "RIFF");
    ScratchDir::write("done.wav", "RIFF");
    VigilParams p = probeParams("Site", VigilStatus::Changed);
    p.soundFile = "own.wav";
    ProbeVigil withSound(p, "http://site/");
    ProbeVigil silent(probeParams("Quiet", VigilStatus::Changed), "http://quiet/");

    playNotifySound(&withSound);
    playNotifySound(&silent);  // no file of its own: nothing
    EXPECT_EQ(played(), "paplay\nown.wav\n");

    // The override for all Vigils replaces every Vigil's own file; the other
    // states leave the choice to the Vigil (whether to play at all is the caller's).
    NotifyOverrides::update([](GlobalOverrides& o) {
        o.playAllSounds = true;
        o.overrideSoundFile = "all.wav";
    });
    playNotifySound(&withSound);
    playNotifySound(&silent);
    EXPECT_EQ(played(), "paplay\nall.wav\npaplay\nall.wav\n");
    NotifyOverrides::update([](GlobalOverrides& o) {
        o.playAllSounds = false;
        o.playNoSounds = true;
    });
    playNotifySound(&withSound);
    EXPECT_EQ(played(), "paplay\nown.wav\n");

    // Batch mode plays the "/wav" file whatever the Vigil and the overrides.
    runState().batchMode = true;
    runState().batchSoundName = "done.wav";
    playNotifySound(nullptr);
    playNotifySound(&withSound);
    EXPECT_EQ(played(), "paplay\ndone.wav\npaplay\ndone.wav\n");
}
