#include "app/notify_sound.h"

#include "core/notify_overrides.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "platform/sound.h"

void playNotifySound(const Vigil* vigil) {
    std::string file;
    if (runState().batchMode) {
        file = runState().batchSoundName;
    } else if (const GlobalOverrides overrides = NotifyOverrides::current(); overrides.playAllSounds) {
        file = overrides.overrideSoundFile.value_or("");
    } else if (vigil) {
        file = vigil->soundFile().value_or("");
    }
    playSoundFile(file);
}
