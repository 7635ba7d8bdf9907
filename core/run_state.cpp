#include "core/run_state.h"

#include <cstdio>
#include <mutex>
#include <set>

#include "platform/trace.h"

namespace {
std::atomic<bool> failed{false};
std::atomic<LocalFailureListener> localListener{nullptr};
std::mutex toldMutex;
std::set<std::string> toldKinds;
}  // namespace

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

void reportLocalFailure(const std::string& kind, const std::string& text) {
    bool first;
    {
        std::lock_guard<std::mutex> g(toldMutex);
        first = toldKinds.insert(kind).second;
    }
    if (!first) {
        // Once is enough for the user; a repeat still counts against the run.
        failed = true;
        traceLine("failure again: " + text);
        return;
    }
    reportRunFailure(text);
    if (LocalFailureListener listener = localListener.load()) listener(text);
}

void setLocalFailureListener(LocalFailureListener listener) {
    localListener.store(listener);
}
