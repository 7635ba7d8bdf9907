#include "core/web_vigil.h"

#include <cstdio>
#include <ctime>

#include "core/check_slots.h"
#include "core/html_tokens.h"
#include "core/http_reply.h"
#include "core/program_settings.h"
#include "core/record_writer.h"
#include "core/text_utils.h"
#include "net/protocol_text.h"
#include "net/tcp_client.h"
#include "platform/files.h"

namespace {

// How often a check whose server was busy tries for a check slot again.
constexpr int kSlotRetakePollMs = 100;

// A login is sent whenever its user or its password is given ("user:", ":pw"),
// as the record keeps it; one with neither is no login.
std::optional<std::string> encodedCredentials(std::string_view userColonPassword) {
    if (userColonPassword.empty() || userColonPassword == ":") return std::nullopt;
    return base64Encode(userColonPassword);
}

}  // namespace

WebVigil::WebVigil(const VigilParams& params, const SimpleString& path, int changeMethod,
                   time_t lastModified, time_t expires, const std::vector<std::string>& ignoreTokens,
                   const std::optional<std::string>& credentials)
    : Vigil(VigilKind::Web, params),
      requestText_(webRequestHead(path.text(), params.host)),
      path_(path),
      changeMethod_(changeMethod),
      expires_(expires),
      lastModified_(lastModified),
      ignoreTokens_(ignoreTokens) {
    if (credentials) {
        const size_t colon = credentials->find(':');
        user_ = credentials->substr(0, colon).c_str();
        if (colon != std::string::npos) password_ = credentials->substr(colon + 1).c_str();
        // A user alone is sent as "user:", as it reads back after a save.
        basicCredentials_ = encodedCredentials(std::string(user_.text()) + ":" + password_.text());
    }
}

WebVigil::~WebVigil() = default;

std::string WebVigil::url() const {
    const std::string h = host();
    return webUrl(h, port(), path().text());
}

void WebVigil::setPath(const std::optional<std::string>& path) {
    if (!path) return;
    const std::string h = host();
    std::lock_guard<std::mutex> g(fieldLock());
    path_ = path->c_str();
    requestText_ = webRequestHead(*path, h);
}

void WebVigil::setUser(const SimpleString& user) {
    std::lock_guard<std::mutex> g(fieldLock());
    user_ = user;
}

void WebVigil::setPassword(const SimpleString& password) {
    std::lock_guard<std::mutex> g(fieldLock());
    password_ = password;
}

void WebVigil::setCredentials(const SimpleString& userColonPassword) {
    std::lock_guard<std::mutex> g(fieldLock());
    basicCredentials_ = encodedCredentials(
        std::string_view(userColonPassword.text(), static_cast<size_t>(userColonPassword.length())));
}

void WebVigil::setIgnoreTokens(const std::vector<std::string>& tokens) {
    std::lock_guard<std::mutex> g(fieldLock());
    ignoreTokens_ = tokens;
}

void WebVigil::applyRedirect() {
    std::optional<std::string> target;
    {
        std::lock_guard<std::mutex> g(fieldLock());
        target.swap(redirectTarget_);
    }
    if (!target) return;
    const std::optional<WebLocation> next =
        resolveRedirect(*target, WebLocation{host(), port(), path().text()});
    if (!next) return;  // another scheme, or nothing usable
    setHost(next->host);
    setPort(next->port);
    setPath(next->path);
}

SimpleString WebVigil::path() const {
    return guardedCopy(path_);
}

SimpleString WebVigil::user() const {
    return guardedCopy(user_);
}

SimpleString WebVigil::password() const {
    return guardedCopy(password_);
}

std::string WebVigil::requestText() const {
    return guardedCopy(requestText_);
}

std::optional<std::string> WebVigil::basicCredentials() const {
    return guardedCopy(basicCredentials_);
}

int WebVigil::changeMethod() const {
    return guardedCopy(changeMethod_);
}

time_t WebVigil::expires() const {
    return guardedCopy(expires_);
}

time_t WebVigil::lastModified() const {
    return guardedCopy(lastModified_);
}

std::vector<std::string> WebVigil::ignoreTokens() const {
    return guardedCopy(ignoreTokens_);
}

// ---- The reply ----

bool WebVigil::isNotModified(const std::string& file) const {
    return isNotModifiedFile(localPath(file).c_str());
}

int WebVigil::responseCode(const std::string& file) {
    ReplyClass reply = classifyReplyFile(localPath(file).c_str());
    std::lock_guard<std::mutex> g(fieldLock());
    redirectTarget_ = std::move(reply.location);
    return reply.code;
}

void WebVigil::detectMethod(const std::string& file) {
    const int method = detectChangeMethodFile(localPath(file).c_str());
    if (method < 0) return;  // nothing readable: keep what we had
    std::lock_guard<std::mutex> g(fieldLock());
    changeMethod_ = method;
}

time_t WebVigil::lastModifiedTime(const std::string& file) const {
    return lastModifiedTimeFile(localPath(file).c_str());
}

time_t WebVigil::expiresTime(const std::string& file) const {
    return expiresTimeFile(localPath(file).c_str());
}

int WebVigil::compareContent(const std::string& newFile, const std::string& previousFile) const {
    return compareContentFiles(localPath(previousFile).c_str(), localPath(newFile).c_str(), options(),
                               ignoreTokens());
}

// ---- The check ----

WebVigil::Reply WebVigil::httpGet() {
    Reply reply;
    // It would end the Host header (or, to a proxy, the request line) early and
    // start headers of its own: such a request is not sent.
    if (hasControlCharacter(host())) {
        reply.status = VigilStatus::BadRequest;
        return reply;
    }
    const Reference reference = examineReference();
    if (reference == Reference::Unreadable) {
        reply.status = VigilStatus::CopyUnreadable;
        return reply;
    }
    reply.first = reference == Reference::None;
    reply.file = takeNewCacheName();

    HttpRequestInputs in;
    in.host = host();
    in.port = port();
    in.path = path().text();
    in.basicCredentials = basicCredentials().value_or("");
    // Asked by the server's own clock: a date of this machine's (a check that
    // failed, a change in the same second, a clock running ahead) would hide a
    // change for good. Without a reference copy, or one whose date cannot vouch
    // for it, the whole page is asked for and the comparison decides.
    if (!reply.first) in.ifModifiedSince = modifiedSinceText(localPath(previousCacheFileName()).c_str());
    reply.askedSince = !in.ifModifiedSince.empty();
    const SettingsValues settings = ProgramSettings::snapshot();
    in.useProxy = settings.useHttpProxy;
    in.proxyHost = settings.httpProxyHost;
    in.proxyPort = settings.httpProxyPort;
    in.proxyNeedsAuth = settings.httpProxyNeeds;
    in.proxyAuthorization = settings.proxyAuthorization;
    const HttpRequest request = buildHttpRequest(in);

    // Requests to one server run one at a time: while this one waits its turn, its
    // check slot goes to a check of another server.
    const EndpointWait wait{[] { checkSlots().giveBack(); }, [] { checkSlots().take(kSlotRetakePollMs); }};
    const int32_t got = pooledTcpRequest(webPool(), request.connectHost.c_str(), request.connectPort,
                                         request.text.c_str(), reply.file.c_str(), ReplyEnd::HttpLength,
                                         settings.usableTimeOutMs(), &wait);
    if (got <= 0) {
        removeFile(reply.file);
        reply.status = got == TcpFileFailed                      ? VigilStatus::CopyNotStored
                       : got == TcpUnresolved   ? VigilStatus::HostNotResolved
                                                : VigilStatus::Unavailable;
        return reply;
    }
    reply.received = true;

    // An error page or a redirect is no copy of the page.
    const int mapped = replyCodeStatus(responseCode(reply.file));
    if (mapped != 0) {
        reply.status = mapped;
        reply.mapped = true;
        return reply;
    }
    if (reply.first) {
        reply.adopt = true;  // a first copy is never a change
        return reply;
    }
    // A "not modified" answer has no page in it: the previous copy stays the reference.
    if (isNotModified(reply.file)) {
        reply.notModified = true;
        return reply;
    }

    switch (compareContent(reply.file, previousCacheFileName())) {
        case ContentChanged:
            reply.status = VigilStatus::Changed;
            setLastChanged(time(nullptr));
            reply.adopt = true;
            break;
        case ContentStructureDiffers:
            // Once may be a reply cut short or an odd one; found again, it is the page.
            if (statusBeforeCheck() == VigilStatus::StructureChanged) {
                reply.status = VigilStatus::Changed;
                setLastChanged(time(nullptr));
                reply.adopt = true;
            } else {
                reply.status = VigilStatus::StructureChanged;
            }
            break;
        default:
            reply.adopt = true;
            break;
    }
    return reply;
}

void WebVigil::settle(const Reply& reply) {
    if (!reply.received) return;
    if (!reply.adopt) {
        removeFile(reply.file);
        return;
    }
    adoptCopy(reply.file);
}

int WebVigil::fetchAndCompare() {
    Reply reply = httpGet();
    // The header reads look at the reply just received, before it is settled.
    const bool pageReply = reply.received && !reply.mapped && !reply.notModified &&
                           reply.status != VigilStatus::StructureChanged;
    auto readExpires = [this, &reply] {
        const time_t t = expiresTime(reply.file);
        std::lock_guard<std::mutex> g(fieldLock());
        expires_ = t;
    };
    auto readLastModified = [this, &reply] {
        const time_t t = lastModifiedTime(reply.file);
        std::lock_guard<std::mutex> g(fieldLock());
        lastModified_ = t;
        return t;
    };
    const int method = changeMethod();
    if (method < 0) {
        if (pageReply) {
            detectMethod(reply.file);
            const int found = changeMethod();
            if (found == ChangeMethod::Expires) readExpires();
            if (found == ChangeMethod::LastModified) readLastModified();
        }
    } else if (method == ChangeMethod::Expires) {
        if (reply.received) readExpires();
    } else if (method == ChangeMethod::LastModified && !(options() & WebOptions::AlwaysCompare)) {
        if (pageReply) {
            const time_t t = readLastModified();
            // The first copy is never a change, whatever its date. Otherwise any
            // other date than the reference copy's is a change: the server's
            // clock may run behind this machine's. A reference date that cannot
            // vouch for its page cannot tell two editions of one second apart:
            // the comparison has decided.
            if (reply.askedSince) {
                if (t != lastModifiedTime(previousCacheFileName())) {
                    reply.status = VigilStatus::Changed;
                    setLastChanged(time(nullptr));
                } else {
                    reply.status = VigilStatus::NoChange;
                }
            }
        }
    }
    // Content comparison (0), Last-Modified with "always compare", and a method
    // above 2 from an edited data file all stand on the comparison alone.
    settle(reply);
    return reply.status;
}

// ---- The record ----

void WebVigil::write(FILE* file) const {
    const uint16_t notify = flags();
    const std::optional<std::string> program =
        (notify & NotifyFlags::Program) ? commandLine() : std::nullopt;
    const std::string desc = description();
    const std::string h = host();
    const std::string pathText = path().text();
    const std::string request = requestText();

    std::string options = std::to_string(this->options());
    const std::string email = emailList();
    if (!email.empty()) options += ";EMAIL:" + email;
    const SimpleString userName = user(), pass = password();
    if (!userName.empty() || !pass.empty())
        options += std::string(";USER:") + userName.text() + ";PASS:" + pass.text();

    RecordLine line;
    line.add("http");
    line.add(desc);
    line.add(options);
    line.add(h);
    line.add(static_cast<long>(port()));
    line.add(pathText);
    line.add(static_cast<long>(interval()));
    line.add(static_cast<long>(lastChanged()));
    line.add(static_cast<long>(lastChecked()));
    line.add(static_cast<long>(static_cast<int16_t>(notify)));
    if (notify & NotifyFlags::Program) line.add(program.value_or(""));
    line.add(static_cast<long>(changeMethod()));
    line.add(static_cast<long>(lastModified()));
    line.add(static_cast<long>(expires()));
    line.add(static_cast<long>(status() - 1024));
    line.add(cacheFileName());
    line.add(soundFile().value_or(""));
    for (const std::string& token : ignoreTokens())
        if (!token.empty()) line.add(token);
    line.add("");  // the line ends with a separator

    // The long-standing choice looks at a few texts only; it stands whenever it
    // also fits the rest of the line.
    std::vector<std::string> examined{request, pathText, h, desc};
    if (program) examined.push_back(*program);
    char separator = '|';
    for (char c : kRecordSeparators) {
        if (separatorFits(c, examined)) {
            separator = c;
            break;
        }
    }
    if (!separatorFits(separator, line.fields()))
        separator = chooseRecordSeparator(kRecordSeparators, line.fields());
    const std::string text = line.join(separator);
    std::fwrite(text.data(), 1, text.size(), file);
}

bool webLoginPasswordFits(std::string_view password) {
    return password.find(';') == std::string_view::npos && !hasControlCharacter(password);
}

bool webLoginUserFits(std::string_view user) {
    return webLoginPasswordFits(user) && user.find(':') == std::string_view::npos;
}
