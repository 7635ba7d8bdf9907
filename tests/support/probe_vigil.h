#pragma once
#include <memory>
#include <string>

#include "core/vigil.h"
#include "core/vigil_list.h"

// A Vigil of our own for tests of the code around the checks: a fixed URL,
// nothing written, and the check of the base (which does nothing).
class ProbeVigil : public Vigil {
public:
    ProbeVigil(const VigilParams& params, std::string url, uint16_t kind = VigilKind::Web)
        : Vigil(kind, params), url_(std::move(url)) {}
    std::string url() const override { return url_; }
    void write(FILE*) const override {}

private:
    std::string url_;
};

// Parameters that keep construction away from the cache directory.
inline VigilParams probeParams(const std::string& description, int status) {
    VigilParams p;
    p.description = description;
    p.status = status;
    p.cacheFileName = "cache\\00000000.mon";
    return p;
}

// Appends to the shared list under its lock.
inline void appendToVigilList(const std::shared_ptr<Vigil>& vigil) {
    vigilList().append(vigil);
}
