#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <initializer_list>

namespace {

int closeRequestWriteEnd = -1;
std::atomic<int> closeSignals{0};
static_assert(std::atomic<int>::is_always_lock_free, "counted in a signal handler");

// Only async-signal-safe work here: one byte into the pipe.
void noteCloseSignal(int signalNumber) {
    const int savedErrno = errno;
    closeSignals.fetch_add(1);
    const char byte = static_cast<char>(signalNumber);
    if (::write(closeRequestWriteEnd, &byte, 1) < 0) {
        // A full pipe already holds a request.
    }
    errno = savedErrno;
}

}  // namespace

void ignoreBrokenPipe() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}

void ignoreFileSizeLimit() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
}

int catchCloseSignals() {
    static int readEnd = -1;
    if (readEnd >= 0) return readEnd;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    readEnd = ends[0];
    closeRequestWriteEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = noteCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) sigaction(signalNumber, &action, nullptr);
    return readEnd;
}

int closeSignalCount() {
    return closeSignals.load();
}
