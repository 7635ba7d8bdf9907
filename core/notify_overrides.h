#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The notification overrides of the Program Settings notebook. They last until
// the program ends and are never stored. Each override is two flags, at most one
// set: for all Vigils, for no Vigil; neither means the Vigil's own flag decides.
struct GlobalOverrides {
    bool showAllBoxes = false, showNoBoxes = false;    // change message box
    bool playAllTones = false, playNoTones = false;    // change tone
    bool playAllSounds = false, playNoSounds = false;  // sound file
    // Played for every Vigil while playAllSounds is set.
    std::optional<std::string> overrideSoundFile;

    // Whether a changed Vigil with these NotifyFlags gets the step.
    bool showsBox(uint16_t notifyFlags) const;
    bool playsTone(uint16_t notifyFlags) const;
    bool playsSound(uint16_t notifyFlags) const;
};

// Spin button positions of one override: 0 don't override, 1 for all Vigils,
// 2 for no Vigil. "For all" wins should both flags be set.
int overridePosition(bool forAll, bool forNone);
void setOverridePosition(int position, bool& forAll, bool& forNone);

// The window thread changes them while notifications and the batch run read them.
namespace NotifyOverrides {
GlobalOverrides current();
void update(const std::function<void(GlobalOverrides&)>& change);
void reset();
}  // namespace NotifyOverrides
