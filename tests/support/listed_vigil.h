#pragma once
#include <memory>
#include <string>

#include "support/probe_vigil.h"

// A probe Vigil of the given kind with a description, appended to the list.
inline std::shared_ptr<ProbeVigil> addTestVigil(uint16_t kind, const std::string& description,
                                                int status = VigilStatus::NoChange) {
    auto vigil = std::make_shared<ProbeVigil>(probeParams(description, status), "http://example.test/", kind);
    appendToVigilList(vigil);
    return vigil;
}
