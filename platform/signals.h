#pragma once

// Writing to a socket whose peer has gone must give an error, not end the process.
void ignoreBrokenPipe();

// A write past the file-size limit (ulimit -f, a cron or service limit) must fail
// with EFBIG, told as a full disk is, not end the process.
void ignoreFileSizeLimit();

// SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C) no longer end the process at
// once: each puts its number as one byte into a pipe, whose read end (non-blocking,
// close-on-exec) is returned for the window thread to take as a request to close.
// -1 when no pipe could be made; the signals then keep their default action.
int catchCloseSignals();

// How many of those signals have arrived so far (any thread).
int closeSignalCount();
