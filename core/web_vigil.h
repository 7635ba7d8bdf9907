#pragma once
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/simple_string.h"
#include "core/vigil.h"

namespace WebOptions {
constexpr int32_t IgnoreTags = 0x01;     // compare text only, without HTML tags
constexpr int32_t AlwaysCompare = 0x02;  // always compare the retrieved file to the cache
}  // namespace WebOptions

namespace ChangeMethod {
constexpr int Detect = -1;  // not yet known
constexpr int Content = 0;
constexpr int LastModified = 1;
constexpr int Expires = 2;
}  // namespace ChangeMethod

// Watches one HTTP page.
class WebVigil : public Vigil {
public:
    // credentials: "user:password" (or the user alone), none for no authorization;
    // a login is sent when either part is given.
    WebVigil(const VigilParams& params, const SimpleString& path, int changeMethod,
             time_t lastModified, time_t expires, const std::vector<std::string>& ignoreTokens,
             const std::optional<std::string>& credentials);
    ~WebVigil() override;

    std::string url() const override;
    void write(FILE* file) const override;
    void check() override { runCheckFrame(); }

    void setPath(const std::optional<std::string>& path);
    void setUser(const SimpleString& user);
    void setPassword(const SimpleString& password);
    // "user:password"; "" or ":" is no login.
    void setCredentials(const SimpleString& userColonPassword);
    void setIgnoreTokens(const std::vector<std::string>& tokens);
    // Adopts the Location kept by the last reply classification (window thread,
    // under the Vigil's lock).
    void applyRedirect();

    SimpleString path() const;
    SimpleString user() const;
    SimpleString password() const;
    std::string requestText() const;
    std::optional<std::string> basicCredentials() const;
    int changeMethod() const;
    time_t expires() const;
    time_t lastModified() const;
    std::vector<std::string> ignoreTokens() const;

    // Steps of the check, kept public for the tests.
    bool isNotModified(const std::string& file) const;
    int responseCode(const std::string& file);
    void detectMethod(const std::string& file);
    time_t lastModifiedTime(const std::string& file) const;
    time_t expiresTime(const std::string& file) const;
    // 1 changed, 0 not, -1 the page's html structure differs.
    int compareContent(const std::string& newFile, const std::string& previousFile) const;

protected:
    int fetchAndCompare() override;

private:
    // One fetched reply and the first decision on it.
    struct Reply {
        int status = VigilStatus::NoChange;
        bool first = false;     // there was no usable previous copy
        bool askedSince = false;  // asked "modified since" the reference copy's date
        bool received = false;  // a new reply is in file
        bool mapped = false;    // it is an error or a redirect
        bool notModified = false;  // the server said the reference copy is current
        bool adopt = false;     // it becomes the current copy and the reference
        std::string file;
    };
    // The request, the fetch and the first decision on the reply.
    Reply httpGet();
    // Adopts the reply or deletes it.
    void settle(const Reply& reply);

    SimpleString user_;
    SimpleString password_;
    std::string requestText_;
    SimpleString path_;
    std::optional<std::string> redirectTarget_;
    std::optional<std::string> basicCredentials_;
    int changeMethod_;
    time_t expires_;
    time_t lastModified_;
    std::vector<std::string> ignoreTokens_;
};

// Whether a record holds this user name or password so that it reads back the
// same. Both stand in the options field as ";USER:user;PASS:password": a ';'
// would end either early and a control character the line; the two come back
// joined as "user:password", so a ':' in the user name would move its rest into
// the password. The settings dialog refuses, and an import leaves out, any other.
bool webLoginUserFits(std::string_view user);
bool webLoginPasswordFits(std::string_view password);
