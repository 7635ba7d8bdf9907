#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The e-mail that tells a Vigil's recipients that it changed, built from plain
// values: sendChangeMail(vigil) passes the Vigil's description, URL and addresses
// to deliverChangeMail and shows a text it returns in a box titled "Tervane".

// Texts of the mail errors.
extern const char* const kMailNeedsRecipient;   // no address to send to
extern const char* const kMailNeedsSmtpHost;    // "smtp host" empty
extern const char* const kMailNeedsSmtpPort;    // "smtp port" 0
extern const char* const kMailNeedsSender;      // "user email" empty or unusable
extern const char* const kMailHostUnresolved;   // the SMTP host name did not resolve

struct ChangeMailSettings {
    std::string smtpHost;   // "smtp host"
    uint16_t smtpPort = 25; // "smtp port"
    std::string userEmail;  // "user email": the sender
    int timeOutMs = 30000;  // "time out" of each wait for the SMTP host
};
// The current e-mail settings.
ChangeMailSettings changeMailSettings();

// The first problem with the recipients and settings, in the order the user should
// fix them; empty when a mail can be composed. Only usable addresses count.
std::string changeMailSettingsError(const std::vector<std::string>& recipients,
                                    const ChangeMailSettings& settings);

// RFC 5322 date of a local time with its offset from UTC in seconds, in English
// whatever the user's locale: "Tue, 08 Dec 2026 07:23:27 +0100".
std::string formatMailDate(const std::tm& local, long utcOffsetSeconds);
// The date of a moment in the local zone; false when the clock cannot be converted.
bool mailDate(std::time_t when, std::string* out);

// The message text, CR LF line ends. The first usable recipient goes in "To:";
// control characters in the description and URL become blanks.
std::string composeChangeMessage(const std::string& description, const std::string& url,
                                 const std::vector<std::string>& recipients,
                                 const std::string& sender, const std::string& date);

// Checks the settings, composes the message for the moment `when` and sends it to
// every usable recipient. Returns the text to show the user, empty when the mail
// went out (or the clock could not be read, which shows nothing).
std::string deliverChangeMail(const std::string& description, const std::string& url,
                              const std::vector<std::string>& recipients,
                              const ChangeMailSettings& settings, std::time_t when);
