#pragma once

class Vigil;

// Plays one notification sound and returns when it has ended. Batch mode plays
// the "/wav" file; otherwise the override sound file while the sound override is
// for all Vigils, else the Vigil's own sound file (none: nothing is played).
// Failures are silent.
void playNotifySound(const Vigil* vigil);
