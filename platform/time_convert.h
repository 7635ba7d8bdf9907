#pragma once
#include <ctime>
#include <string>

#include "platform/owned_mutex.h"

// Reentrant forms of the runtime's time conversions. Callers that follow the
// program's lock order still hold a TimeConversionLock around them where they
// always did.

bool localTime(std::time_t t, std::tm& out);
// As asctime: "Wed Jun 30 21:49:08 1993\n"; empty when the record cannot be shown.
std::string ascTime(const std::tm& t);
// timegm: -1 when the record names no representable time.
std::time_t makeUtcTime(std::tm& t);

// The runtime's zone state is process-wide: conversions that set or read it
// (tzset, mktime, a local time made text) run one at a time, each holding this
// for its scope. Taken after a Vigil's own lock and the Vigil list's lock, and
// held for one short step only.
class TimeConversionLock {
public:
    TimeConversionLock() : hold_(mutex()) {}
    TimeConversionLock(const TimeConversionLock&) = delete;
    TimeConversionLock& operator=(const TimeConversionLock&) = delete;

private:
    static OwnedMutex& mutex();
    OwnedLock hold_;
};
