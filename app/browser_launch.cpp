#include "app/browser_launch.h"

#include "core/os_wrappers.h"
#include "core/program_settings.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/trace.h"

namespace {

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

}  // namespace

std::string expandedCommandLine(const Vigil& vigil, const std::string& program,
                                const std::optional<std::string>& params) {
    std::string line = program + ' ';
    if (!params) return line;
    for (const std::string& word : splitString(*params, ' ', true)) {
        if (word.empty()) continue;
        const std::optional<std::string> value = vigil.placeholderValue(word);
        if (!value) {
            line += ' ' + word;  // the user's own text, quotes and all
        } else if (!value->empty()) {
            line += ' ' + quoteArgument(*value);
        }
    }
    return line;
}

void viewVigil(Vigil& vigil) {
    // No browser is asked over DDE first: this platform has no DDE.
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
    // Without a program word the URL would be the program started.
    if (noProgramWord(s.webClient) ||
        !runProgram(browserCommandLine(s.webClient, s.hasWebParams ? s.webParams : "", url).c_str()))
        reportClientNotStarted(s.webClient);
}
