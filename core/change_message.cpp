#include "core/change_message.h"

#include <cstdio>

#include "core/program_settings.h"
#include "net/protocol_text.h"
#include "net/smtp_client.h"
#include "platform/ascii_text.h"

const char* const kMailNeedsRecipient = "You must enter at least one email address to send to.";
const char* const kMailNeedsSmtpHost =
    "You must specify an SMTP host on the Preferences page of the Program Settings notebook.";
const char* const kMailNeedsSmtpPort =
    "You must specify an SMTP port greater than zero on the Preferences page of the Program "
    "Settings notebook.";
const char* const kMailNeedsSender =
    "You must enter your email address on the Preferences page of the Program Settings notebook.";
const char* const kMailHostUnresolved =
    "Could not connect to SMTP host.  Make sure you have entered the correct name on the "
    "Preferences page of the Program Settings notebook.";

namespace {

// Inside a quoted display name.
std::string quoted(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

const std::string* firstUsable(const std::vector<std::string>& addresses) {
    for (const std::string& a : addresses)
        if (isSafeMailAddress(a)) return &a;
    return nullptr;
}

std::string serverText(const std::string& s) {
    return blankControlChars(s.size() > 300 ? s.substr(0, 300) : s);
}

std::string sendFailureText(const SmtpClient& client, int32_t result) {
    const std::string where = std::string(client.host()) + " (port " + std::to_string(client.port()) + ")";
    switch (result) {
    case TcpNoSocket:
        return "Could not open a connection to the SMTP host.  The email was not sent.";
    case TcpConnectFailed:
        return "Could not connect to SMTP host " + where + ".  The email was not sent.";
    case SmtpRefused:
        return "The SMTP host " + where + " refused the email.  Its answer to \"" +
               serverText(client.failedCommand()) + "\" was: " + serverText(client.failedReply());
    default:
        return "The SMTP host " + where + " stopped answering.  The email was not sent.";
    }
}

}  // namespace

ChangeMailSettings changeMailSettings() {
    const SettingsValues v = ProgramSettings::snapshot();
    ChangeMailSettings s;
    s.smtpHost = v.smtpHost;
    s.smtpPort = v.smtpPort;
    s.userEmail = v.userEmail;
    s.timeOutMs = v.usableTimeOutMs();
    return s;
}

std::string changeMailSettingsError(const std::vector<std::string>& recipients,
                                    const ChangeMailSettings& settings) {
    if (!firstUsable(recipients)) return kMailNeedsRecipient;
    if (trimmed(settings.smtpHost).empty()) return kMailNeedsSmtpHost;
    if (settings.smtpPort == 0) return kMailNeedsSmtpPort;
    if (!isSafeMailAddress(std::string(trimmed(settings.userEmail)))) return kMailNeedsSender;
    return "";
}

std::string formatMailDate(const std::tm& local, long utcOffsetSeconds) {
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long offsetMinutes = (utcOffsetSeconds < 0 ? -utcOffsetSeconds : utcOffsetSeconds) / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                  days[((local.tm_wday % 7) + 7) % 7], local.tm_mday,
                  months[((local.tm_mon % 12) + 12) % 12], local.tm_year + 1900, local.tm_hour,
                  local.tm_min, local.tm_sec, utcOffsetSeconds < 0 ? '-' : '+',
                  offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

bool mailDate(std::time_t when, std::string* out) {
    std::tm local{};
    if (!localtime_r(&when, &local)) return false;
    *out = formatMailDate(local, local.tm_gmtoff);
    return true;
}

std::string composeChangeMessage(const std::string& description, const std::string& url,
                                 const std::vector<std::string>& recipients,
                                 const std::string& sender, const std::string& date) {
    const std::string d = blankControlChars(description);
    const std::string e = blankControlChars(sender);
    const std::string* first = firstUsable(recipients);
    const std::string r = first ? *first : "";
    std::string m;
    m += "From: \"\" <" + e + ">\r\n";
    m += "To: \"" + quoted(r) + "\" <" + r + ">\r\n";
    m += "Date: " + blankControlChars(date) + "\r\n";
    m += "Reply-To: \"" + quoted(e) + "\" <" + e + ">\r\n";
    m += "Priority: Normal\r\n";
    m += "X-Mailer: Tervane " TERVANE_VERSION "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=\"us-ascii\"\r\n";
    m += "Content-Transfer-Encoding: 7bit\r\n";
    m += "Subject: Site Change - " + d + "\r\n";
    m += "\r\n";
    m += d + " has changed.\r\n";
    m += "\r\n";
    m += blankControlChars(url) + "\r\n";
    return m;
}

std::string deliverChangeMail(const std::string& description, const std::string& url,
                              const std::vector<std::string>& recipients,
                              const ChangeMailSettings& settings, std::time_t when) {
    const std::string error = changeMailSettingsError(recipients, settings);
    if (!error.empty()) return error;
    const std::string sender(trimmed(settings.userEmail));
    SmtpClient client(std::string(trimmed(settings.smtpHost)).c_str(), settings.smtpPort);
    if (!client.resolved()) return kMailHostUnresolved;

    std::string date;
    if (!mailDate(when, &date)) return "";
    const int32_t result =
        client.send(sender, recipients, composeChangeMessage(description, url, recipients, sender, date),
                    settings.timeOutMs);
    return result == SmtpSent ? "" : sendFailureText(client, result);
}
