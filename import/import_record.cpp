#include "import/import_record.h"

#include <algorithm>
#include <cctype>

#include "core/program_settings.h"
#include "core/record_writer.h"
#include "core/url_parse.h"
#include "core/vigil.h"
#include "core/web_vigil.h"
#include "net/protocol_text.h"
#include "platform/ascii_text.h"

namespace {

// A URL that names its scheme ("name://") must name exactly the kind word:
// "https://host/" would otherwise become a Web Vigil of the host "https".
bool schemeFits(std::string_view url, std::string_view kind) {
    const size_t end = url.find("://");
    if (end == std::string_view::npos) return true;
    for (size_t i = 0; i < end; ++i)
        if (!std::isalpha(static_cast<unsigned char>(url[i]))) return true;
    return end == kind.size();
}

std::string text(const std::optional<std::string>& value) { return value.value_or(std::string()); }

bool webParts(const std::string& url, const std::string& date, const RecordDefaults& d,
              VigilRecordParts& parts) {
    std::optional<std::string> host;
    uint16_t port = 80;
    SimpleString path, user, password;
    parseHttpUrl(SimpleString(url.c_str()), host, port, path, user, password);
    if (!host || host->empty()) return false;
    std::string options = "1";  // ignore all HTML tags
    // A password without a user name is a login too; one the record would give
    // back otherwise is none to keep, and the page is watched without it.
    if ((!user.empty() || !password.empty()) && webLoginUserFits(user.text()) &&
        webLoginPasswordFits(password.text()))
        options += std::string(";USER:") + user.text() + ";PASS:" + password.text();
    parts.kind = "http";
    parts.tail = {options, *host, std::to_string(port), path.text(), std::to_string(d.checkInterval),
                  date, "0", "0", "0", date, "0", kImportedStatus, "", "", ""};
    return true;
}

bool ftpParts(const std::string& url, const std::string& date, const RecordDefaults& d,
              VigilRecordParts& parts) {
    std::optional<std::string> host, path, user, password;
    uint16_t port = 21;
    parseFtpUrl(url.c_str(), host, port, path, user, password);
    if (!host || host->empty()) return false;
    parts.kind = "ftp";
    parts.tail = {"1", *host, std::to_string(port), text(path), "", std::to_string(d.checkInterval), date, "0"};
    d.appendNotifyFields(parts.tail);
    parts.tail.push_back(user ? *user : d.ftpUser);
    parts.tail.push_back(password ? *password : d.ftpPassword);
    parts.tail.insert(parts.tail.end(), {kImportedStatus, "", d.soundFile});
    return true;
}

bool gopherParts(const std::string& url, const std::string& date, const RecordDefaults& d,
                 VigilRecordParts& parts) {
    std::optional<std::string> host, selector;
    uint16_t port = 70;
    parseGopherUrl(url.c_str(), host, port, selector);
    if (!host || host->empty()) return false;
    // The selector comes decoded: a TAB begins a search, any other control
    // character (a "%00" too) is no selector, as in the settings dialog.
    if (selector && std::any_of(selector->begin(), selector->end(),
                                [](char c) { return c != '\t' && isControlChar(c); }))
        return false;
    parts.kind = "gopher";
    parts.tail = {"1", *host, std::to_string(port), selector.value_or("/"), std::to_string(d.checkInterval),
                  date, "0", "0", kImportedStatus, "", ""};
    return true;
}

}  // namespace

RecordDefaults RecordDefaults::current() {
    const SettingsValues s = ProgramSettings::snapshot();
    RecordDefaults d;
    d.checkInterval = s.defCheckInterval;
    d.notify = s.defNotify;
    d.command = s.defCmd;
    d.soundFile = s.defSoundFile;
    if (s.hasFtpUser) d.ftpUser = s.ftpUser;
    if (s.hasFtpPassword) d.ftpPassword = s.ftpPassword;
    return d;
}

void RecordDefaults::appendNotifyFields(std::vector<std::string>& fields) const {
    fields.push_back(std::to_string(notify));
    if (notify & NotifyFlags::Program) fields.push_back(command);
}

int makeVigilRecord(std::string_view url, const std::optional<std::string>& date, VigilRecordParts& parts) {
    if (url.size() > kImportRecordLimit) return 0;
    std::string whole(url);
    std::replace(whole.begin(), whole.end(), '\0', ' ');
    const std::string dateText = date.value_or("0");
    const RecordDefaults defaults = RecordDefaults::current();
    if (startsWithNoCase(url, "http"))
        return schemeFits(url, "http") && webParts(whole, dateText, defaults, parts) ? 1 : 0;
    if (startsWithNoCase(url, "ftp"))
        return schemeFits(url, "ftp") && ftpParts(whole, dateText, defaults, parts) ? 1 : 0;
    if (startsWithNoCase(url, "gopher"))
        return schemeFits(url, "gopher") && gopherParts(whole, dateText, defaults, parts) ? 1 : 0;
    return 0;
}

std::string recordLine(std::string_view kind, std::string_view description,
                       const std::vector<std::string>& tail) {
    RecordLine line;
    auto add = [&line](std::string field) {
        std::replace(field.begin(), field.end(), '\0', ' ');
        line.add(field);
    };
    add(std::string(kind));
    add(std::string(description));
    for (const std::string& field : tail) add(field);
    std::string out = line.join(chooseRecordSeparator(kRecordSeparators, line.fields()));
    out.pop_back();  // the line end
    return out;
}

bool appendRecordEntry(ImportList& items, std::string title, std::string_view kind,
                       const std::vector<std::string>& tail) {
    if (title.size() > kImportRecordLimit) return false;
    std::replace_if(title.begin(), title.end(), isControlChar, ' ');
    const std::string line = recordLine(kind, title, tail);
    if (line.size() > kImportRecordLimit) return false;
    items.emplace_back(title.c_str(), line.c_str());
    return true;
}

bool appendUrlEntry(ImportList& items, const std::string& title, std::string_view url,
                    const std::optional<std::string>& date) {
    VigilRecordParts parts;
    return makeVigilRecord(url, date, parts) && appendRecordEntry(items, title, parts.kind, parts.tail);
}
