#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class Vigil;
class GopherVigil;
class FtpVigil;

// Command lines of outside programs for a Vigil: the client program configured
// for its kind, and its own notification program. Each word of the parameter
// template that is one of the kind's placeholders (whole word, any case) is
// replaced by the Vigil's value. The result is the program, a blank, and a blank
// plus the (replaced) word for each non-empty template word.
namespace ClientCommand {

// "%URL", "%desc".
std::string buildWeb(const Vigil& vigil, const std::string& program,
                     const std::optional<std::string>& params);
// "%host", "%port", "%selector", "%URL", "%desc".
std::string buildGopher(const GopherVigil& vigil, const std::string& program,
                        const std::optional<std::string>& params);
// "%host", "%user", "%password", "%port", "%dir", "%URL", "%desc".
std::string buildFtp(const FtpVigil& vigil, const std::string& program,
                     const std::optional<std::string>& params);

// The value of a placeholder word, or none when the word is no placeholder.
using PlaceholderValue = std::function<std::optional<std::string>(std::string_view word)>;

// The shared frame of the builders.
std::string substitute(const std::string& program, const std::optional<std::string>& params,
                       const PlaceholderValue& valueOf);

// Whether word is placeholder, ignoring case.
bool isPlaceholder(std::string_view word, std::string_view placeholder);

// The value of the placeholders every kind has: "%URL" and "%desc".
std::optional<std::string> commonValue(const Vigil& vigil, std::string_view word);

}  // namespace ClientCommand
