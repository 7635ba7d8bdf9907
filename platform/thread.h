#pragma once
#include <functional>

// Starts fn on a new detached thread with the platform's default stack, larger
// than any task needs. False when the thread could not start.
bool startDetachedThread(std::function<void()> fn);
