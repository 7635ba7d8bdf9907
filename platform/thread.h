#pragma once
#include <cstddef>
#include <functional>

// Starts fn on a new detached thread. stackBytes is a wish: the thread never gets
// less than the platform's default stack. False when the thread could not start.
bool startDetachedThread(std::function<void()> fn, size_t stackBytes = 0);

// A number for the calling thread, never 0 (0 means "no thread" to callers).
unsigned long currentThreadNumber();
