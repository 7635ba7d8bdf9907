#pragma once
#include <optional>
#include <string>

#include "core/vigil.h"

// Watches one Gopher item: sends the selector, keeps the answer, compares lines.
class GopherVigil : public Vigil {
public:
    // Without a selector the request is empty and the selector one blank.
    GopherVigil(const VigilParams& params, const std::optional<std::string>& selector);
    ~GopherVigil() override;

    std::string url() const override;
    std::optional<std::string> placeholderValue(std::string_view word) const override;
    void write(FILE* file) const override;
    void check() override { runCheckFrame(); }

    void setSelector(const std::optional<std::string>& selector);
    std::string selector() const;
    std::string requestText() const;

protected:
    int fetchAndCompare() override;

private:
    std::string requestText_;
    std::string selector_;
};

// 0 when no compared line differs (or a copy cannot be opened), else non-zero.
int filesDiffer(const std::string& fileA, const std::string& fileB);
