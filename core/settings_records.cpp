#include "core/settings_records.h"

#include "core/url_parse.h"
#include "core/vigil.h"
#include "core/web_vigil.h"

std::unique_ptr<FtpSettingsRecord> ftpSettingsFromUrl(const std::string& url) {
    auto record = std::make_unique<FtpSettingsRecord>();
    record->active = 1;
    record->flags = 0;
    record->status = VigilStatus::NoChange;
    uint16_t port = 21;
    const std::string line(urlLine(url));
    // A URL of another scheme holds no part of an FTP Vigil, and a port out of
    // range is none: the dialog then asks for the host or the port.
    if (!namesOtherScheme(line, "ftp")) {
        parseFtpUrl(line.c_str(), record->host, port, record->directory, record->user, record->password);
        if (namesBadPort(line, "ftp")) port = 0;
    }
    record->port = static_cast<int16_t>(port);
    return record;
}

std::unique_ptr<GopherSettingsRecord> gopherSettingsFromUrl(const std::string& url) {
    auto record = std::make_unique<GopherSettingsRecord>();
    record->active = 1;
    record->flags = 0;
    record->status = VigilStatus::NoChange;
    uint16_t port = 70;
    const std::string line(urlLine(url));
    if (!namesOtherScheme(line, "gopher")) {
        parseGopherUrl(line.c_str(), record->host, port, record->selector);
        if (namesBadPort(line, "gopher")) port = 0;
    }
    record->port = static_cast<int16_t>(port);
    return record;
}

std::unique_ptr<WebSettingsRecord> webSettingsFromUrl(const std::string& url) {
    auto record = std::make_unique<WebSettingsRecord>();
    record->description = std::string(" ");
    record->active = 1;
    record->options = WebOptions::IgnoreTags;
    record->status = VigilStatus::NoChange;
    std::string line(urlLine(url));
    // The login goes where the dialog shows it, and where the user may clear it.
    if (const std::optional<UrlLogin> login = takeWebLogin(line)) {
        record->user = login->user.c_str();
        record->password = login->password.c_str();
    }
    record->url = line.c_str();
    return record;
}
