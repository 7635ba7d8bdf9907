#pragma once

// The speaker. The application installs a hook that really sounds (and lasts for
// the duration); until then a tone is silent and immediate.
using ToneHook = void (*)(int frequencyHz, int durationMs);
// A null hook puts back the silent default.
void setToneHook(ToneHook hook);
void soundTone(int frequencyHz, int durationMs);
