#include "core/client_command.h"

#include <cctype>

#include "core/gopher_vigil.h"
#include "core/text_utils.h"
#include "core/vigil.h"

namespace ClientCommand {

bool isPlaceholder(std::string_view word, std::string_view placeholder) {
    if (word.size() != placeholder.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(word[i])) !=
            std::tolower(static_cast<unsigned char>(placeholder[i])))
            return false;
    return true;
}

std::string substitute(const std::string& program, const std::optional<std::string>& params,
                       const PlaceholderValue& valueOf) {
    std::string line = program + ' ';
    if (!params) return line;
    for (const std::string& word : splitString(*params, ' ', false)) {
        if (word.empty()) continue;
        line += ' ';
        const std::optional<std::string> value = valueOf(word);
        line += value ? *value : word;
    }
    return line;
}

std::optional<std::string> commonValue(const Vigil& vigil, std::string_view word) {
    if (isPlaceholder(word, "%URL")) return vigil.url();
    if (isPlaceholder(word, "%desc")) return vigil.description();
    return std::nullopt;
}

std::string buildWeb(const Vigil& vigil, const std::string& program,
                     const std::optional<std::string>& params) {
    return substitute(program, params, [&vigil](std::string_view word) { return commonValue(vigil, word); });
}

std::string buildGopher(const GopherVigil& vigil, const std::string& program,
                        const std::optional<std::string>& params) {
    return substitute(program, params, [&vigil](std::string_view word) -> std::optional<std::string> {
        if (isPlaceholder(word, "%host")) return vigil.host();
        if (isPlaceholder(word, "%port")) return std::to_string(vigil.port());
        if (isPlaceholder(word, "%selector")) return vigil.selector();
        return commonValue(vigil, word);
    });
}

}  // namespace ClientCommand
