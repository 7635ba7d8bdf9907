#include "core/program_settings.h"

#include <mutex>

namespace {
std::mutex settingsMutex;
SettingsValues& current() {
    static SettingsValues values;
    return values;
}
}  // namespace

namespace ProgramSettings {

SettingsValues snapshot() {
    std::lock_guard<std::mutex> g(settingsMutex);
    return current();
}

void update(const std::function<void(SettingsValues&)>& change) {
    std::lock_guard<std::mutex> g(settingsMutex);
    change(current());
}

void reset() {
    std::lock_guard<std::mutex> g(settingsMutex);
    current() = SettingsValues{};
}

int timeOutMs() {
    std::lock_guard<std::mutex> g(settingsMutex);
    return current().timeOutMs > 0 ? current().timeOutMs : 30000;
}

int maxConn() {
    std::lock_guard<std::mutex> g(settingsMutex);
    return current().maxConn >= 1 ? current().maxConn : 1;
}

}  // namespace ProgramSettings
