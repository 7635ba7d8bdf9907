#include "platform/time_convert.h"

bool localTime(std::time_t t, std::tm& out) {
    return ::localtime_r(&t, &out) != nullptr;
}

std::string ascTime(const std::tm& t) {
    char buffer[64];
    return ::asctime_r(&t, buffer) ? std::string(buffer) : std::string();
}

std::time_t makeUtcTime(std::tm& t) {
    return ::timegm(&t);
}

OwnedMutex& TimeConversionLock::mutex() {
    // Never destroyed: detached checks convert times while the process ends.
    static OwnedMutex& lock = *new OwnedMutex;
    return lock;
}
