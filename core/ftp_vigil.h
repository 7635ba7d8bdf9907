#pragma once
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/ftp_listing.h"
#include "core/vigil.h"

// The password of an anonymous login when none was entered.
constexpr const char* AnonymousFtpPassword = "guest@localhost";

// Watches one FTP directory by comparing its listings.
class FtpVigil : public Vigil {
public:
    FtpVigil(const VigilParams& params, const std::string& user, const std::string& password,
             const std::optional<std::string>& directory,
             const std::optional<std::string>& lookForFile,
             const std::vector<std::string>& ignoreFiles);
    ~FtpVigil() override;

    std::string url() const override;
    std::optional<std::string> placeholderValue(std::string_view word) const override;
    void write(FILE* file) const override;
    void check() override { runCheckFrame(); }

    void setUser(const std::string& user);
    void setPassword(const std::string& password);
    void setDirectory(const std::optional<std::string>& directory);
    void setLookForFile(const std::optional<std::string>& name);
    void setIgnoreFiles(const std::vector<std::string>& names);
    void addIgnoreFile(const std::string& name);

    std::optional<std::string> directory() const;
    std::optional<std::string> lookForFile() const;
    std::string user() const;
    std::string password() const;
    std::vector<std::string> ignoreFiles() const;

    // The lists of the last successful comparison (copies).
    int addedCount() const;
    int removedCount() const;
    int changedCount() const;
    std::optional<std::string> addedFileName(int i) const;
    std::optional<std::string> removedFileName(int i) const;
    std::optional<std::string> changedFileName(int i) const;
    time_t addedFileTime(int i) const;
    time_t removedFileTime(int i) const;
    time_t changedFileTime(int i) const;
    // The last successful comparison as it stands; a later check replaces the
    // Vigil's, never this one.
    std::shared_ptr<const FtpListingComparison> lists() const;

    // Builds the three lists; 1 when any is non-empty. *found is set to 1 when
    // the looked-for file is in the new listing.
    int compareListings(const std::string& newFile, const std::string& previousFile, int* found);

protected:
    int fetchAndCompare() override;

private:
    std::optional<std::string> directory_;
    std::optional<std::string> lookForFile_;
    std::string user_;
    std::string password_;
    std::vector<std::string> ignoreFiles_;
    std::shared_ptr<const FtpListingComparison> lists_;  // the last successful comparison
};
