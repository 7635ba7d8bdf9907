#include "core/gopher_vigil.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/program_settings.h"
#include "core/record_writer.h"
#include "net/protocol_text.h"
#include "net/tcp_client.h"
#include "platform/files.h"

namespace {

bool blanksOnly(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// A selector of blanks only is how "no selector" is stored; the server gets an
// empty selector line for it, never the blank.
std::string requestFor(const std::string& selector, const char* lineEnd) {
    return (blanksOnly(selector) ? std::string() : selector) + lineEnd;
}

}  // namespace

GopherVigil::GopherVigil(const VigilParams& params, const std::optional<std::string>& selector)
    : Vigil(VigilKind::Gopher, params),
      requestText_(requestFor(selector.value_or(""), "\r\n\n")),
      selector_(selector && !selector->empty() ? *selector : std::string(" ")) {}

GopherVigil::~GopherVigil() = default;

void GopherVigil::setSelector(const std::optional<std::string>& selector) {
    if (!selector) return;
    std::lock_guard<std::mutex> g(fieldLock());
    selector_ = *selector;
    requestText_ = requestFor(*selector, "\r\n");
}

std::string GopherVigil::selector() const {
    return guardedCopy(selector_);
}

std::string GopherVigil::requestText() const {
    return guardedCopy(requestText_);
}

std::string GopherVigil::url() const {
    return "gopher://" + host() + ":" + std::to_string(port()) + "/1" + selector();
}

std::optional<std::string> GopherVigil::placeholderValue(std::string_view word) const {
    if (isPlaceholder(word, "%host")) return host();
    if (isPlaceholder(word, "%port")) return std::to_string(port());
    if (isPlaceholder(word, "%selector")) return selector();
    return Vigil::placeholderValue(word);
}

void GopherVigil::write(FILE* file) const {
    const uint16_t notify = flags();
    RecordLine line;
    line.add("gopher");
    line.add(description());
    std::string options = std::to_string(this->options());
    const std::string email = emailList();
    if (!email.empty()) options += ";EMAIL:" + email;
    line.add(options);
    line.add(host());
    line.add(static_cast<long>(port()));
    line.add(selector());
    line.add(static_cast<long>(interval()));
    line.add(static_cast<long>(lastChanged()));
    line.add(static_cast<long>(lastChecked()));
    line.add(static_cast<long>(static_cast<int16_t>(notify)));
    if (notify & NotifyFlags::Program) line.add(commandLine().value_or(""));
    line.add(static_cast<long>(status() - 1024));
    line.add(cacheFileName());
    line.add(soundFile().value_or(""));
    const std::string text = line.join(chooseRecordSeparator(kRecordSeparators, line.fields()));
    std::fwrite(text.data(), 1, text.size(), file);
}

int GopherVigil::fetchAndCompare() {
    // A line end or other control byte would end the selector line early and add
    // lines of its own; a TAB is how a search carries its words and goes as it is.
    const std::string selector = this->selector();
    if (hasControlCharacter(host()) || std::any_of(selector.begin(), selector.end(), [](char c) {
            return c != '\t' && isControlChar(c);
        }))
        return VigilStatus::BadRequest;

    const Reference reference = examineReference();
    if (reference == Reference::Unreadable) return VigilStatus::CopyUnreadable;
    const bool first = reference == Reference::None;
    const std::string target = takeNewCacheName();

    const int32_t got = pooledTcpRequest(gopherPool(), host().c_str(), port(), requestText().c_str(),
                                         target.c_str(), ReplyEnd::ServerClose, ProgramSettings::timeOutMs());
    if (got <= 0) {
        // Nothing to compare: the previous copy stays the reference, and no
        // partial copy stays behind.
        removeFile(target);
        if (got == TcpFileFailed) return VigilStatus::CopyNotStored;
        return got == TcpUnresolved ? VigilStatus::HostNotResolved : VigilStatus::Unavailable;
    }
    // A first copy is never a change.
    int status = VigilStatus::NoChange;
    if (!first && filesDiffer(target, previousCacheFileName())) {
        status = VigilStatus::Changed;
        setLastChanged(time(nullptr));
    }
    adoptCopy(target);
    return status;
}

int filesDiffer(const std::string& fileA, const std::string& fileB) {
    FILE* a = openFile(fileA, "rb");
    FILE* b = openFile(fileB, "rb");
    int differ = 0;
    if (a && b) {
        std::string lineA, lineB;
        for (;;) {
            const bool moreA = readLine(a, lineA);
            const bool moreB = readLine(b, lineB);
            if (!moreA && !moreB) break;
            // A copy that ends first lost lines (or the other gained some).
            if (moreA != moreB || lineA != lineB) {
                differ = 1;
                break;
            }
        }
    }
    if (a) std::fclose(a);
    if (b) std::fclose(b);
    return differ;
}
