#include "app/browser_launch.h"

#include "core/client_command.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/program_settings.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/trace.h"

namespace {

struct KnownBrowser {
    const char* programText;
    const char* service;
    const char* topic;
};

// Searched in this order; the first match wins.
const KnownBrowser kKnownBrowsers[] = {
    {"netscape", "NETSCAPE", "WWW_OpenURL"},
    {"opera", "opera", "www_OpenURL"},
    {"iexplore", "IEXPLORE", "www_OpenURL"},
};

// What the browser would be asked for after the URL: new window, any format.
const char* const kDdeItemSuffix = ",,0xFFFFFFFF,0x3,,,,";

// There is no DDE on this platform, so no browser ever answers.
bool requestOverDde(const std::string& service, const std::string& topic, const std::string& item) {
    traceLine("dde: " + service + " " + topic + " unavailable (" + item + ")");
    return false;
}

struct ClientProgram {
    std::string program;
    std::optional<std::string> params;
};

// The client program configured for a kind; none for an unknown kind.
std::optional<ClientProgram> clientFor(uint16_t kind) {
    const SettingsValues s = ProgramSettings::snapshot();
    auto pair = [](const std::string& program, bool hasParams, const std::string& params) {
        return ClientProgram{program, hasParams ? std::optional<std::string>(params) : std::nullopt};
    };
    switch (kind) {
        case VigilKind::Ftp: return pair(s.ftpClient, s.hasFtpParams, s.ftpParams);
        case VigilKind::Web: return pair(s.webClient, s.hasWebParams, s.webParams);
        case VigilKind::Gopher: return pair(s.gopherClient, s.hasGopherParams, s.gopherParams);
        default: return std::nullopt;
    }
}

// The value the kind's builder gives one template word (the word itself when it
// is no placeholder of the kind).
std::string filledWord(const Vigil& vigil, const std::string& word) {
    std::string line;
    if (const auto* ftp = dynamic_cast<const FtpVigil*>(&vigil)) {
        line = ClientCommand::buildFtp(*ftp, "", word);
    } else if (const auto* gopher = dynamic_cast<const GopherVigil*>(&vigil)) {
        line = ClientCommand::buildGopher(*gopher, "", word);
    } else {
        line = ClientCommand::buildWeb(vigil, "", word);
    }
    return line.size() > 2 ? line.substr(2) : std::string();  // after the empty program's two blanks
}

}  // namespace

std::string expandedCommandLine(const Vigil& vigil, const std::string& program,
                                const std::optional<std::string>& params) {
    std::string line = program + ' ';
    if (!params) return line;
    for (const std::string& word : splitString(*params, ' ', true)) {
        if (word.empty()) continue;
        const std::string value = filledWord(vigil, word);
        if (value == word) {
            line += ' ' + word;  // the user's own text, quotes and all
        } else if (!value.empty()) {
            line += ' ' + quoteArgument(value);
        }
    }
    return line;
}

bool ddeServiceFor(const std::string& program, std::string* service, std::string* topic) {
    for (const KnownBrowser& browser : kKnownBrowsers) {
        if (findNoCase(program, browser.programText) == std::string::npos) continue;
        *service = browser.service;
        *topic = browser.topic;
        return true;
    }
    return false;
}

void viewVigil(Vigil& vigil) {
    const std::optional<ClientProgram> client = clientFor(vigil.kind());
    std::string service, topic;
    if (client && ddeServiceFor(client->program, &service, &topic) &&
        requestOverDde(service, topic, vigil.url() + kDdeItemSuffix)) {
        vigil.setStatus(VigilStatus::NoChange, true);
        return;
    }
    runClientProgram(vigil);
}

namespace {
bool noProgramWord(const std::string& program) {
    return program.find_first_not_of(" \t") == std::string::npos;
}

void reportClientNotStarted(const std::string& program) {
    const std::string what = noProgramWord(program) ? std::string("No client program is set")
                                                    : "The client program \"" + program + "\" could not be started";
    showMessageBox("Tervane", what + ". Choose one in Settings > Program Settings.");
}
}  // namespace

bool runVigilProgram(const Vigil& vigil, const std::string& program, const std::optional<std::string>& params) {
    // Without a program the first word of the line would be a filled-in value
    // (the URL, the description), looked up on the PATH and started.
    if (noProgramWord(program)) {
        traceLine("run program: nothing started, no program word");
        return false;
    }
    return runProgram(expandedCommandLine(vigil, program, params).c_str());
}

bool runClientProgram(Vigil& vigil) {
    const std::optional<ClientProgram> client = clientFor(vigil.kind());
    if (!client) return false;
    if (!runVigilProgram(vigil, client->program, client->params)) {
        // The status is the only sign of the change the user has not seen yet.
        reportClientNotStarted(client->program);
        return false;
    }
    vigil.setStatus(VigilStatus::NoChange, true);
    return true;
}

std::string browserCommandLine(const std::string& program, const std::string& params, const std::string& url) {
    std::string blanked = params;
    for (const char* placeholder : {"%URL", "%url"}) {
        const size_t at = blanked.find(placeholder);
        if (at != std::string::npos) blanked.replace(at, 4, "    ");
    }
    std::string line = program + ' ' + blanked;
    // A template without a placeholder would glue the URL to its last word.
    if (line.back() != ' ') line += ' ';
    return line + quoteArgument(url);
}

void openUrlInBrowser(const std::string& url) {
    const SettingsValues s = ProgramSettings::snapshot();
    if (requestOverDde("NETSCAPE", "WWW_OpenURL", url + kDdeItemSuffix)) return;
    // Without a program word the URL would be the program started.
    if (noProgramWord(s.webClient) ||
        !runProgram(browserCommandLine(s.webClient, s.hasWebParams ? s.webParams : "", url).c_str()))
        reportClientNotStarted(s.webClient);
}
