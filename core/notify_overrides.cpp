#include "core/notify_overrides.h"

#include <mutex>

#include "core/vigil.h"

namespace {

std::mutex overridesMutex;

GlobalOverrides& stored() {
    static GlobalOverrides overrides;
    return overrides;
}

bool decide(bool forAll, bool forNone, bool ownFlag) {
    return !forNone && (ownFlag || forAll);
}

}  // namespace

bool GlobalOverrides::showsBox(uint16_t notifyFlags) const {
    return decide(showAllBoxes, showNoBoxes, notifyFlags & NotifyFlags::MessageBox);
}

bool GlobalOverrides::playsTone(uint16_t notifyFlags) const {
    return decide(playAllTones, playNoTones, notifyFlags & NotifyFlags::Tone);
}

bool GlobalOverrides::playsSound(uint16_t notifyFlags) const {
    return decide(playAllSounds, playNoSounds, notifyFlags & NotifyFlags::SoundFile);
}

int overridePosition(bool forAll, bool forNone) {
    return forAll ? 1 : forNone ? 2 : 0;
}

void setOverridePosition(int position, bool& forAll, bool& forNone) {
    forAll = position == 1;
    forNone = position == 2;
}

namespace NotifyOverrides {

GlobalOverrides current() {
    std::lock_guard<std::mutex> g(overridesMutex);
    return stored();
}

void update(const std::function<void(GlobalOverrides&)>& change) {
    std::lock_guard<std::mutex> g(overridesMutex);
    change(stored());
}

void reset() {
    std::lock_guard<std::mutex> g(overridesMutex);
    stored() = GlobalOverrides{};
}

}  // namespace NotifyOverrides
