#include "core/vigil.h"

#include <algorithm>
#include <bitset>
#include <stdexcept>

#include "core/text_utils.h"

namespace {

std::atomic<VigilStatusCallback> installedCallback{nullptr};

// Identifiers are 16 bits and wrap in a long run; the ones that live Vigils
// hold are skipped so that no two live Vigils ever share one.
class IdentifierPool {
public:
    // None when all 65,536 are held by live Vigils.
    std::optional<int16_t> take() {
        std::lock_guard<std::mutex> g(mutex_);
        if (held_ == live_.size()) return std::nullopt;
        for (;;) {
            const uint16_t candidate = counter_++;
            if (!live_[candidate]) {
                live_.set(candidate);
                ++held_;
                return static_cast<int16_t>(candidate);
            }
        }
    }
    bool anyFree() {
        std::lock_guard<std::mutex> g(mutex_);
        return held_ < live_.size();
    }
    void hold(int16_t id) {
        std::lock_guard<std::mutex> g(mutex_);
        if (live_[static_cast<uint16_t>(id)]) return;
        live_.set(static_cast<uint16_t>(id));
        ++held_;
    }
    void release(int16_t id) {
        std::lock_guard<std::mutex> g(mutex_);
        if (!live_[static_cast<uint16_t>(id)]) return;
        live_.reset(static_cast<uint16_t>(id));
        --held_;
    }

private:
    std::mutex mutex_;
    uint16_t counter_ = 0;
    size_t held_ = 0;
    std::bitset<0x10000> live_;
};

IdentifierPool& identifiers() {
    static IdentifierPool pool;
    return pool;
}

int16_t identifierFor(const VigilParams& params) {
    if (!params.identifier) {
        if (const std::optional<int16_t> id = identifiers().take()) return *id;
        throw std::length_error(NoFreeVigilIdentifierText);
    }
    identifiers().hold(*params.identifier);
    return *params.identifier;
}

}  // namespace

const char* const NoFreeVigilIdentifierText =
    "Tervane keeps at most 65,536 Vigils at a time; no more can be added.";

std::optional<int16_t> reserveVigilIdentifier() {
    return identifiers().take();
}

bool vigilIdentifierFree() {
    return identifiers().anyFree();
}

void setVigilStatusCallback(VigilStatusCallback callback) {
    installedCallback = callback;
}

Vigil::Vigil(uint16_t kind, const VigilParams& params)
    : port_(params.port),
      host_(params.host),
      callback_(installedCallback.load()),
      kind_(kind),
      lastChecked_(params.lastChecked),
      lastChanged_(params.lastChanged),
      identifier_(identifierFor(params)),
      // A check that was running when the list was saved did not finish.
      status_(params.status == VigilStatus::Checking ? VigilStatus::NoChange : params.status),
      description_(params.description),
      soundFile_(params.soundFile),
      programLine_(params.programLine),
      flags_(params.flags),
      active_(params.active),
      intervalMode_(params.intervalMode),
      interval_(params.interval),
      options_(params.options) {
    // A new Vigil names no copy until its first fetch stores one: a name saved
    // before then would read as a copy lost at every later run.
    if (params.cacheFileName && !params.cacheFileName->empty()) {
        cacheFileName_ = *params.cacheFileName;
        previousCacheFileName_ = *params.cacheFileName;
    }
    if (params.email) setEmailList(*params.email);
}

Vigil::~Vigil() {
    identifiers().release(identifier_);
}

std::optional<std::string> Vigil::commandLine() const {
    std::lock_guard<std::mutex> g(fieldMutex_);
    return programLine_;
}

bool Vigil::isPlaceholder(std::string_view word, std::string_view placeholder) {
    return word.size() == placeholder.size() && findNoCase(word, placeholder) == 0;
}

std::optional<std::string> Vigil::placeholderValue(std::string_view word) const {
    if (isPlaceholder(word, "%URL")) return url();
    if (isPlaceholder(word, "%desc")) return description();
    return std::nullopt;
}

void Vigil::check() {}

void Vigil::setStatus(int status, bool report) {
    int current = status_.load();
    int stored;
    do {
        if (current == VigilStatus::Checking || current == VigilStatus::HostNotResolved) return;
        if (current == VigilStatus::Inactive && status != VigilStatus::StartWatching) return;
        stored = status == VigilStatus::StartWatching ? VigilStatus::NoChange : status;
    } while (!status_.compare_exchange_weak(current, stored));
    if (report) reportStatus(stored);
}

void Vigil::reportStatus(int status) const {
    if (callback_) callback_(status, identifier_);
}

void Vigil::setEmailList(std::string_view text) {
    // People write address lists with ';' or ',' too; the stored list keeps blanks
    // only, as a ';' would end the e-mail part of a Web Vigil's options field.
    std::vector<std::string> addresses;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find_first_of(" \t\r\n;,", start), text.size());
        if (end > start) addresses.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::lock_guard<std::mutex> g(fieldMutex_);
    emailList_ = std::move(addresses);
}

std::string Vigil::emailList() const {
    std::lock_guard<std::mutex> g(fieldMutex_);
    std::string joined;
    for (const std::string& address : emailList_) joined += address + ' ';
    return joined;
}

std::vector<std::string> Vigil::emailAddresses() const {
    return guardedCopy(emailList_);
}

int Vigil::setHost(const std::optional<std::string>& host) {
    if (host) {
        std::lock_guard<std::mutex> g(fieldMutex_);
        host_ = *host;
    }
    return 1;
}

void Vigil::setDescription(const std::optional<std::string>& description) {
    if (!description) return;
    std::lock_guard<std::mutex> g(fieldMutex_);
    description_ = *description;
}

void Vigil::setInterval(int32_t seconds) {
    if (seconds <= 0) return;
    interval_ = seconds;
    intervalMode_ = IntervalMode::On;
}

void Vigil::setSoundFile(const std::optional<std::string>& soundFile) {
    std::lock_guard<std::mutex> g(fieldMutex_);
    soundFile_ = soundFile;
}

void Vigil::setCommand(const std::optional<std::string>& programLine) {
    std::lock_guard<std::mutex> g(fieldMutex_);
    programLine_ = programLine;
}

std::string Vigil::description() const {
    return guardedCopy(description_);
}

std::string Vigil::host() const {
    return guardedCopy(host_);
}

std::optional<std::string> Vigil::soundFile() const {
    return guardedCopy(soundFile_);
}

std::string Vigil::cacheFileName() const {
    return guardedCopy(cacheFileName_);
}

std::string Vigil::previousCacheFileName() const {
    return guardedCopy(previousCacheFileName_);
}

void Vigil::setCacheFileName(const std::string& name) {
    std::lock_guard<std::mutex> g(fieldMutex_);
    cacheFileName_ = name;
}

void Vigil::setPreviousCacheFileName(const std::string& name) {
    std::lock_guard<std::mutex> g(fieldMutex_);
    previousCacheFileName_ = name;
}
