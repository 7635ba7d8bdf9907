#include "platform/tone.h"

#include <atomic>

namespace {
std::atomic<ToneHook> installedHook{nullptr};
}

void setToneHook(ToneHook hook) {
    installedHook.store(hook);
}

void soundTone(int frequencyHz, int durationMs) {
    if (ToneHook hook = installedHook.load()) hook(frequencyHz, durationMs);
}
