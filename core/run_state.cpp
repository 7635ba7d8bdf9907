#include "core/run_state.h"

#include <cstdio>

#include "platform/trace.h"

namespace {
std::atomic<bool> failed{false};
}

RunState& runState() {
    static RunState state;
    return state;
}

void reportRunFailure(const std::string& text) {
    failed = true;
    std::fprintf(stderr, "Tervane: %s\n", text.c_str());
    traceLine("failure: " + text);
}

bool runFailed() {
    return failed.load();
}
