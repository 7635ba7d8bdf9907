#include "core/run_state.h"

#include <cstdio>
#include <mutex>
#include <set>

#include "platform/trace.h"

namespace {
std::atomic<bool> failed{false};
std::atomic<LocalFailureListener> localListener{nullptr};
// The kinds of failure told so far; never destroyed, as checks still running at
// exit may tell theirs.
struct ToldKinds {
    std::mutex lock;
    std::set<std::string> kinds;
};
ToldKinds& toldKinds() {
    static ToldKinds& told = *new ToldKinds;
    return told;
}
}  // namespace

// Never destroyed: checks still running at exit read it.
RunState& runState() {
    static RunState& state = *new RunState;
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

void reportRunNote(const std::string& text) {
    if (runState().batchMode) std::fprintf(stderr, "Tervane: %s\n", text.c_str());
    traceLine("note: " + text);
}

void reportLocalFailure(const std::string& kind, const std::string& text) {
    bool first;
    {
        ToldKinds& told = toldKinds();
        std::lock_guard<std::mutex> g(told.lock);
        first = told.kinds.insert(kind).second;
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
