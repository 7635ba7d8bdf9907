#include "core/command_line.h"

#include <strings.h>

#include <cstdlib>
#include <string>

#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/text_utils.h"
#include "platform/ascii_text.h"
#include "platform/files.h"
#include "platform/time_convert.h"

int yearFromClock(std::time_t now) {
    std::tm local{};
    if (!localTime(now, local)) return 1999;
    const std::vector<std::string> words = splitString(ascTime(local), ' ', true);
    if (words.size() < 5 || words[4].empty()) return 1999;
    return std::atoi(words[4].c_str());
}

void setCurrentYear() {
    runState().currentYear = yearFromClock(std::time(nullptr));
}

namespace {

// "host", "host:" and "host:port"; 80 unless the port is a number from 1 to 65535.
void takeProxy(const char* hostAndPort, std::string& host, uint16_t& port) {
    const std::string text = hostAndPort;
    const size_t colon = text.find(':');
    host = text.substr(0, colon);
    port = 80;
    if (colon == std::string::npos) return;
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return;
    const long value = std::atol(digits.c_str());
    if (value >= 1 && value <= 65535) port = static_cast<uint16_t>(value);
}

}  // namespace

void readSwitches(int argc, const char* const argv[]) {
    RunState& state = runState();
    bool proxyGiven = false;
    std::string proxyHost;
    uint16_t proxyPort = 80;
    const char* user = nullptr;
    const char* pass = nullptr;

    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg) continue;
        const bool hasNext = i + 1 < argc && argv[i + 1];
        if (strcasecmp(arg, "/debug") == 0) {
            state.keepOldCacheFiles = true;
        } else if (strcasecmp(arg, "/text") == 0) {
            if (hasNext) state.textReportName = argv[++i];
        } else if (strcasecmp(arg, "/html") == 0) {
            if (hasNext) state.htmlReportName = argv[++i];
        } else if (strcasecmp(arg, "/batch") == 0) {
            state.batchMode = true;
        } else if (strcasecmp(arg, "/quiet") == 0) {
            state.quietMode = true;
        } else if (strcasecmp(arg, "/wav") == 0) {
            // The name is not skipped: it is looked at as a switch of its own too.
            if (hasNext) {
                state.batchSoundName = argv[i + 1];
                state.batchSoundExists = fileExists(state.batchSoundName);
            }
        } else if (startsWithNoCase(arg, "/hproxy:")) {
            proxyGiven = true;
            takeProxy(arg + 8, proxyHost, proxyPort);
        } else if (startsWithNoCase(arg, "/huser:")) {
            user = arg + 7;
        } else if (startsWithNoCase(arg, "/hpass:")) {
            pass = arg + 7;
        }
    }

    ProgramSettings::update([&](SettingsValues& s) {
        if (proxyGiven) {
            s.useHttpProxy = true;
            s.proxyFromCommandLine = true;
            s.httpProxyHost = proxyHost;
            s.httpProxyPort = proxyPort;
        }
        if (user) s.httpProxyUser = user;
        if (pass) s.httpProxyPass = pass;
        if (!s.httpProxyUser.empty() && !s.httpProxyPass.empty()) {
            s.httpProxyNeeds = true;
            s.proxyAuthorization = base64Encode(s.httpProxyUser + ":" + s.httpProxyPass);
        }
    });
}
