#pragma once
#include <memory>
#include <string>

#include "core/vigil.h"

// A Vigil of any kind that checks nothing, for tests of the window and the tasks.
class TestVigil : public Vigil {
public:
    TestVigil(uint16_t kind, const VigilParams& params) : Vigil(kind, params) {}
    std::string url() const override { return "http://" + host() + "/"; }
    void write(FILE*) const override {}
};

// A TestVigil with a description appended to vigilList. The stored cache name
// keeps it away from the cache folder.
inline std::shared_ptr<TestVigil> addTestVigil(uint16_t kind, const std::string& description,
                                               int status = VigilStatus::NoChange) {
    VigilParams p;
    p.description = description;
    p.host = "example.test";
    p.status = status;
    p.cacheFileName = "cache\\00000000.mon";
    auto vigil = std::make_shared<TestVigil>(kind, p);
    vigilList.push_back(vigil);
    return vigil;
}
