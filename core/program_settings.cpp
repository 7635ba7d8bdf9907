#include "core/program_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>

#include "core/ini_file.h"
#include "core/text_utils.h"
#include "platform/files.h"

namespace {
std::mutex settingsMutex;
// Never destroyed: detached checks read the settings while the process ends.
SettingsValues& current() {
    static SettingsValues& values = *new SettingsValues;
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
    return current().usableTimeOutMs();
}

int maxConn() {
    std::lock_guard<std::mutex> g(settingsMutex);
    return current().maxConn >= 1 ? current().maxConn : 1;
}

}  // namespace ProgramSettings

// ---- The VGW.INI profile ----

namespace {

const char* const kSection = "Vigil";

// Reads keys of the [Vigil] section into settings, each by its own rule.
class ProfileReader {
public:
    explicit ProfileReader(const IniFile& ini) : ini_(ini) {}

    bool has(const char* key) const { return ini_.contains(kSection, key); }
    // Missing reads as false, also where the initial value is true.
    bool flag(const char* key) const { return ini_.text(kSection, key) == std::optional<std::string>("t"); }
    // Missing (or not a number) leaves the value as it was.
    void integer(const char* key, int& value) const {
        if (auto v = ini_.integer(kSection, key)) value = *v;
    }
    // A number that does not fit 16 bits would wrap into another value (a port
    // of 120749 into 55213): it leaves the value as it was.
    void port(const char* key, uint16_t& value) const { integer16(key, value, 0); }
    // Flags are taken in both readings of the same 16 bits, as in vigil.dat.
    void flags16(const char* key, uint16_t& value) const { integer16(key, value, INT16_MIN); }
    void text(const char* key, std::string& value) const {
        if (auto v = ini_.text(kSection, key)) value = *v;
    }
    // A text that may be none: has is whether the key is there.
    void optionalText(const char* key, std::string& value, bool& has) const {
        auto v = ini_.text(kSection, key);
        has = v.has_value();
        value = v.value_or(std::string());
    }

private:
    void integer16(const char* key, uint16_t& value, int low) const {
        const std::optional<int> v = ini_.integer(kSection, key);
        if (v && *v >= low && *v <= UINT16_MAX) value = static_cast<uint16_t>(*v);
    }

    const IniFile& ini_;
};

struct WindowGroup {
    const char* name;
    WindowPlacement SettingsValues::*placement;
};

const WindowGroup kWindowGroups[] = {
    {"glob", &SettingsValues::globSettings},     {"import", &SettingsValues::importWindow},
    {"new web", &SettingsValues::newWeb},        {"new ftp", &SettingsValues::newFtp},
    {"new gopher", &SettingsValues::newGopher},
};

struct ClientKey {
    const char* key;
    std::string SettingsValues::*value;
    bool SettingsValues::*has;
};

const ClientKey kClientKeys[] = {
    {"ftp client", &SettingsValues::ftpClient, &SettingsValues::hasFtpClient},
    {"ftp params", &SettingsValues::ftpParams, &SettingsValues::hasFtpParams},
    {"web client", &SettingsValues::webClient, &SettingsValues::hasWebClient},
    {"web params", &SettingsValues::webParams, &SettingsValues::hasWebParams},
    {"gopher client", &SettingsValues::gopherClient, &SettingsValues::hasGopherClient},
    {"gopher params", &SettingsValues::gopherParams, &SettingsValues::hasGopherParams},
};

std::string key(const char* group, const char* item) {
    return std::string(group) + " settings " + item;
}

void readFont(const ProfileReader& r, FontSetting& font) {
    if (!r.has("font face")) {
        font.set = false;
        return;
    }
    font.set = true;
    r.text("font face", font.face);
    r.integer("font size", font.size);
    if (!r.has("font flags")) return;
    std::string flags;
    r.text("font flags", flags);
    font.bold = flags.find('b') != std::string::npos;
    font.outline = flags.find('o') != std::string::npos;
    font.underscore = flags.find('u') != std::string::npos;
    font.italic = flags.find('i') != std::string::npos;
    font.strikeout = flags.find('s') != std::string::npos;
}

void readColor(const ProfileReader& r, const char* prefix, ColorSetting& color) {
    const std::string p(prefix);
    color.set = r.has((p + " blue").c_str());
    if (!color.set) return;
    r.integer((p + " blue").c_str(), color.blue);
    r.integer((p + " red").c_str(), color.red);
    r.integer((p + " green").c_str(), color.green);
}

void readProxy(const ProfileReader& r, SettingsValues& s) {
    if (s.proxyFromCommandLine) {
        s.useHttpProxy = true;  // the command line's proxy wins; the keys are not read
        return;
    }
    if (!r.flag("use http proxy")) {
        s.useHttpProxy = false;
        s.httpProxyHost.clear();
        s.httpProxyNeeds = false;
        s.httpProxyUser.clear();
        s.httpProxyPass.clear();
        s.proxyAuthorization.clear();
        return;
    }
    s.useHttpProxy = true;
    s.httpProxyHost.clear();
    r.text("http proxy host", s.httpProxyHost);
    s.httpProxyPort = 8080;
    r.port("http proxy port", s.httpProxyPort);
    s.httpProxyNeeds = r.flag("http proxy needs");
    s.httpProxyUser.clear();
    s.httpProxyPass.clear();
    s.proxyAuthorization.clear();
    if (s.httpProxyNeeds) {
        r.text("http proxy user", s.httpProxyUser);
        r.text("http proxy pass", s.httpProxyPass);
        s.proxyAuthorization = base64Encode(s.httpProxyUser + ":" + s.httpProxyPass);
    }
}

void readSettings(const IniFile& ini, SettingsValues& s) {
    const ProfileReader r(ini);
    s.showStatus = r.flag("show status");
    s.showChecked = r.flag("show checked");
    s.showChanged = r.flag("show changed");
    s.showIcons = r.flag("show icons");
    s.showToolbar = r.flag("show toolbar");
    s.smallIcons = r.flag("small icons");
    s.statusIcons = r.flag("status icons");
    s.checkChanged = r.flag("check changed");
    r.text("smtp host", s.smtpHost);
    r.port("smtp port", s.smtpPort);
    r.text("def email", s.defEmail);
    r.text("user email", s.userEmail);
    readFont(r, s.font);
    readColor(r, "fore", s.foreground);
    readColor(r, "back", s.background);
    r.integer("desc width", s.descWidth);
    r.integer("icon width", s.iconWidth);
    r.integer("status width", s.statusWidth);
    r.integer("check width", s.checkWidth);
    r.integer("change width", s.changeWidth);
    if (auto view = ini.text(kSection, "button view")) {
        if (*view == "b") s.buttonView = ButtonBitmaps;
        else if (*view == "t") s.buttonView = ButtonText;
        else if (*view == "bt") s.buttonView = ButtonBoth;
    }

    WindowPlacement& main = s.mainWindow;
    main.hasPosition = true;
    if (r.has("main x")) {
        r.integer("main x", main.x);
        r.integer("main y", main.y);
    } else {
        main.x = main.y = 0;
    }
    main.hasSize = r.has("main width");
    if (main.hasSize) {
        r.integer("main width", main.width);
        r.integer("main height", main.height);
    }
    s.hasFtpDetailsPlace = r.has("ftp details x");
    r.integer("ftp details x", s.ftpDetailsX);
    r.integer("ftp details y", s.ftpDetailsY);

    if (r.has("ftp client")) {
        for (const ClientKey& c : kClientKeys) r.optionalText(c.key, s.*c.value, s.*c.has);
    } else {
        for (const ClientKey& c : kClientKeys) {
            (s.*c.value).clear();
            s.*c.has = false;
        }
        s.hasFtpClient = true;  // "ftp client" becomes empty, the rest none
    }

    s.startup = r.flag("startup");
    s.showSettings = r.flag("show settings");
    readProxy(r, s);
    r.optionalText("ftp user", s.ftpUser, s.hasFtpUser);
    r.optionalText("ftp password", s.ftpPassword, s.hasFtpPassword);

    for (const WindowGroup& g : kWindowGroups) {
        WindowPlacement& w = s.*g.placement;
        if (r.has(key(g.name, "x").c_str())) {
            w.hasPosition = true;
            r.integer(key(g.name, "x").c_str(), w.x);
            r.integer(key(g.name, "y").c_str(), w.y);
        }
        if (r.has(key(g.name, "width").c_str())) {
            w.hasSize = true;
            r.integer(key(g.name, "width").c_str(), w.width);
            r.integer(key(g.name, "height").c_str(), w.height);
        }
    }

    r.text("def cmd", s.defCmd);
    r.text("def sound file", s.defSoundFile);
    r.flags16("def notify", s.defNotify);
    r.integer("def check interval", s.defCheckInterval);
    r.integer("time out", s.timeOutMs);
    r.integer("max conn", s.maxConn);
}

void writeSettings(const SettingsValues& s, IniFile& ini) {
    auto text = [&ini](const char* k, const std::string& v) { ini.setText(kSection, k, v); };
    auto number = [&ini](const std::string& k, int v) { ini.setInteger(kSection, k, v); };
    auto flag = [&ini](const char* k, bool v) { ini.setText(kSection, k, v ? "t" : "f"); };

    if (s.font.set) {
        text("font face", s.font.face);
        number("font size", s.font.size);
        const std::string flags{s.font.bold ? 'b' : ' ', s.font.outline ? 'o' : ' ', s.font.underscore ? 'u' : ' ',
                                s.font.italic ? 'i' : ' ', s.font.strikeout ? 's' : ' '};
        ini.setPaddedText(kSection, "font flags", flags);
    }
    text("smtp host", s.smtpHost);
    number("smtp port", s.smtpPort);
    text("def email", s.defEmail);
    flag("check changed", s.checkChanged);
    text("user email", s.userEmail);
    auto color = [&number](const std::string& prefix, const ColorSetting& c) {
        if (!c.set) return;
        number(prefix + " blue", c.blue);
        number(prefix + " red", c.red);
        number(prefix + " green", c.green);
    };
    color("fore", s.foreground);
    color("back", s.background);
    const WindowPlacement& main = s.mainWindow;
    if (main.hasPosition && main.x >= 0 && main.y >= 0) {
        number("main x", main.x);
        number("main y", main.y);
        if (main.hasSize) {
            number("main width", main.width);
            number("main height", main.height);
        }
    }
    flag("show status", s.showStatus);
    flag("show checked", s.showChecked);
    flag("show changed", s.showChanged);
    flag("show icons", s.showIcons);
    flag("status icons", s.statusIcons);
    text("button view", s.buttonView == ButtonText ? "t" : s.buttonView == ButtonBitmaps ? "b" : "bt");
    number("desc width", s.descWidth);
    number("icon width", s.iconWidth);
    number("status width", s.statusWidth);
    number("check width", s.checkWidth);
    number("change width", s.changeWidth);
    for (const WindowGroup& g : kWindowGroups) {
        // A window never shown has no place: the next start opens it at the default one.
        const WindowPlacement& w = s.*g.placement;
        if (w.hasPosition) {
            number(key(g.name, "x"), w.x);
            number(key(g.name, "y"), w.y);
        }
        if (w.hasSize) {
            number(key(g.name, "width"), w.width);
            number(key(g.name, "height"), w.height);
        }
    }
    if (s.hasFtpDetailsPlace) {
        number("ftp details x", s.ftpDetailsX);
        number("ftp details y", s.ftpDetailsY);
    }
    // A client that is none is written empty: leaving "ftp client" out would
    // make the next load drop the other five.
    for (const ClientKey& c : kClientKeys) text(c.key, s.*c.value);
    flag("startup", s.startup);
    flag("show toolbar", s.showToolbar);
    flag("small icons", s.smallIcons);
    if (!s.proxyFromCommandLine) {
        flag("use http proxy", s.useHttpProxy);
        text("http proxy host", s.httpProxyHost);
        number("http proxy port", s.httpProxyPort);
        flag("http proxy needs", s.httpProxyNeeds);
        text("http proxy user", s.httpProxyUser);
        text("http proxy pass", s.httpProxyPass);
    }
    flag("show settings", s.showSettings);
    if (s.hasFtpUser) text("ftp user", s.ftpUser);
    if (s.hasFtpPassword) text("ftp password", s.ftpPassword);
    text("def cmd", s.defCmd);
    text("def sound file", s.defSoundFile);
    number("def notify", s.defNotify);
    number("def check interval", s.defCheckInterval);
    number("time out", s.timeOutMs);
    number("max conn", s.maxConn);
}

}  // namespace

namespace ProgramSettings {

bool profileExists(const std::string& path) {
    IniFile ini;
    return ini.load(IniFile::resolveName(path)) && ini.hasSection(kSection);
}

bool load(const std::string& path) {
    IniFile ini;
    if (!ini.load(IniFile::resolveName(path)) || !ini.hasSection(kSection)) return false;
    update([&ini](SettingsValues& s) { readSettings(ini, s); });
    return true;
}

bool save(const std::string& path) {
    const std::string name = IniFile::resolveName(path);
    IniFile ini;
    if (!ini.load(name) && ::access(name.c_str(), F_OK) == 0) return false;  // keep what we cannot read
    writeSettings(snapshot(), ini);
    return ini.save(name);
}

// ---- vigil.cli ----

namespace {
std::mutex clientMutex;
std::vector<ClientParam>& clientTable() {
    static std::vector<ClientParam> table;
    return table;
}
}  // namespace

void loadClientList(const std::string& path) {
    std::vector<ClientParam> table;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (bool first = true; readLine(in, line); first = false) {
        if (first) dropByteOrderMark(line);
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == line.size()) continue;
        // A template may hold '=' itself (a query string): keep all of it.
        table.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    std::lock_guard<std::mutex> g(clientMutex);
    clientTable() = std::move(table);
}

std::vector<ClientParam> clientParams() {
    std::lock_guard<std::mutex> g(clientMutex);
    return clientTable();
}

// ---- First run ----

namespace {

std::string envOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::vector<std::string> pathList(const std::string& text) {
    std::vector<std::string> dirs;
    for (std::string& d : splitString(text, ':', true))
        if (!d.empty()) dirs.push_back(std::move(d));
    return dirs;
}

bool isFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The program of a .desktop file's Exec line: up to the first blank, or the
// whole quoted path when it is quoted.
std::optional<std::string> execProgram(const std::string& desktopFile) {
    IniFile desktop;
    if (!desktop.load(desktopFile)) return std::nullopt;
    std::optional<std::string> exec = desktop.text("Desktop Entry", "Exec");
    if (!exec || exec->empty()) return std::nullopt;
    std::string program;
    if ((*exec)[0] == '"') {
        const size_t close = exec->find('"', 1);
        program = exec->substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        program = exec->substr(0, exec->find(' '));
    }
    if (program.empty()) return std::nullopt;
    return program;
}

std::optional<std::string> desktopHttpHandler() {
    const std::string home = envOr("HOME", "");
    const std::string configHome = envOr("XDG_CONFIG_HOME", home + "/.config");
    const std::string dataHome = envOr("XDG_DATA_HOME", home + "/.local/share");
    std::vector<std::string> dataDirs{dataHome};
    for (std::string& d : pathList(envOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))) dataDirs.push_back(d);

    std::vector<std::string> lists{configHome + "/mimeapps.list"};
    for (const std::string& d : pathList(envOr("XDG_CONFIG_DIRS", "/etc/xdg"))) lists.push_back(d + "/mimeapps.list");
    for (const std::string& d : dataDirs) lists.push_back(d + "/applications/mimeapps.list");

    for (const std::string& list : lists) {
        IniFile mimeapps;
        if (!mimeapps.load(list)) continue;
        const std::optional<std::string> ids = mimeapps.text("Default Applications", "x-scheme-handler/http");
        if (!ids) continue;
        for (const std::string& id : splitString(*ids, ';', true)) {
            if (id.empty()) continue;
            for (const std::string& d : dataDirs) {
                const std::string file = d + "/applications/" + id;
                if (!isFile(file)) continue;
                if (auto program = execProgram(file)) return program;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

void applyFirstRunClients() {
    // xdg-open even where it is missing: the name tells the user what to install.
    std::string client = "xdg-open";
    if (std::optional<std::string> handler = desktopHttpHandler()) client = *handler;
    update([&client](SettingsValues& s) {
        for (const ClientKey& c : kClientKeys) s.*c.has = true;
        s.webClient = s.ftpClient = s.gopherClient = client;
        s.webParams = s.ftpParams = s.gopherParams = "%URL";
    });
}

}  // namespace ProgramSettings
