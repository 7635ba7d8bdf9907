#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The program's global settings, kept in the VGW.INI profile (section "Vigil").
// Check and mail threads read them while the window thread changes them, so the
// values live behind a lock: readers take a snapshot, writers go through update().

struct FontSetting {
    bool set = false;
    std::string face;
    int size = 0;
    bool bold = false, outline = false, underscore = false, italic = false, strikeout = false;
};

struct ColorSetting {
    bool set = false;
    int red = 0, green = 0, blue = 0;
};

// Stored position and size of a window ("main", "glob", "import", "new web", ...).
struct WindowPlacement {
    bool hasPosition = false;
    bool hasSize = false;
    int x = 0, y = 0, width = 0, height = 0;
};

enum ButtonView { ButtonBitmaps = 0, ButtonText = 1, ButtonBoth = 2 };

struct SettingsValues {
    // Display
    bool showStatus = true, showChecked = true, showChanged = true, showIcons = true;
    bool showToolbar = true, smallIcons = true, statusIcons = false;
    bool checkChanged = false, startup = false, showSettings = true;
    FontSetting font;
    ColorSetting foreground, background;
    int descWidth = 350, iconWidth = 0, statusWidth = 0, checkWidth = 0, changeWidth = 0;
    int buttonView = ButtonBoth;

    // Windows: main and the five dialog groups, FTP details position
    WindowPlacement mainWindow;
    WindowPlacement globSettings, importWindow, newWeb, newFtp, newGopher;
    bool hasFtpDetailsPlace = false;
    int ftpDetailsX = 0, ftpDetailsY = 0;

    // E-mail
    std::string smtpHost;
    uint16_t smtpPort = 25;
    std::string defEmail;
    std::string userEmail;

    // Client programs; "none" is an empty string with the has* flag clear
    std::string ftpClient, ftpParams, webClient, webParams, gopherClient, gopherParams;
    bool hasFtpClient = false, hasFtpParams = false, hasWebClient = false, hasWebParams = false,
         hasGopherClient = false, hasGopherParams = false;

    // HTTP proxy
    bool useHttpProxy = false;
    std::string httpProxyHost;
    uint16_t httpProxyPort = 0;
    bool httpProxyNeeds = false;
    std::string httpProxyUser, httpProxyPass;
    std::string proxyAuthorization;  // Base64 of user ":" password when authorization is on
    bool proxyFromCommandLine = false;

    // Offered for new FTP Vigils
    bool hasFtpUser = false, hasFtpPassword = false;
    std::string ftpUser, ftpPassword;

    // Defaults for new Vigils
    std::string defCmd, defSoundFile;
    uint16_t defNotify = 0;
    int defCheckInterval = 21600;

    // Network
    int timeOutMs = 30000;  // "time out"
    int maxConn = 5;        // "max conn"
    // "time out" as the clients take it: 0 or less is 30000.
    int usableTimeOutMs() const { return timeOutMs > 0 ? timeOutMs : 30000; }

    // Not in the profile
    int desktopWidth = 0, desktopHeight = 0;
};

namespace ProgramSettings {

// A copy of the current settings, taken whole under the settings lock (so the
// proxy's host, port and authorization always belong together).
SettingsValues snapshot();
// Applies a change under the settings lock.
void update(const std::function<void(SettingsValues&)>& change);
// Puts every setting back to its initial value (tests, first run).
void reset();

// The two settings that worker threads read most, with unusable values mended:
// "time out" of 0 or less is 30000, "max conn" below 1 is 1.
int timeOutMs();
int maxConn();

// Whether the profile at path holds the section "Vigil" (found without regard to case).
bool profileExists(const std::string& path = "VGW.INI");
// Reads every key of the profile; false (nothing changed) when it could not be
// read or holds no section "Vigil".
bool load(const std::string& path = "VGW.INI");
// Writes the keys back, keeping keys it does not know; false when writing failed
// (the old profile then stays as it was).
bool save(const std::string& path = "VGW.INI");

// The first-run client defaults (the desktop's http handler, else xdg-open).
void applyFirstRunClients();

// Known client programs from vigil.cli: (program file name, parameter template).
using ClientParam = std::pair<std::string, std::string>;
void loadClientList(const std::string& path = "vigil.cli");
std::vector<ClientParam> clientParams();

}  // namespace ProgramSettings
