#pragma once
#include <ctime>
#include <string>

// Reentrant forms of the runtime's time conversions. Callers that follow the
// program's lock order still take timeLock around them where they always did.

bool gmTime(std::time_t t, std::tm& out);
bool localTime(std::time_t t, std::tm& out);
// As asctime: "Wed Jun 30 21:49:08 1993\n"; empty when the record cannot be shown.
std::string ascTime(const std::tm& t);
// mktime and timegm: -1 when the record names no representable time.
std::time_t makeLocalTime(std::tm& t);
std::time_t makeUtcTime(std::tm& t);
