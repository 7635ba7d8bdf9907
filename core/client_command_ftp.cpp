// Kept apart from the other builders: only programs that use FTP Vigils link it.
#include "core/client_command.h"
#include "core/ftp_vigil.h"

namespace ClientCommand {

std::string buildFtp(const FtpVigil& vigil, const std::string& program,
                     const std::optional<std::string>& params) {
    return substitute(program, params, [&vigil](std::string_view word) -> std::optional<std::string> {
        if (isPlaceholder(word, "%host")) return vigil.host();
        if (isPlaceholder(word, "%user")) return vigil.user();
        if (isPlaceholder(word, "%password")) return vigil.password();
        if (isPlaceholder(word, "%port")) return std::to_string(vigil.port());
        if (isPlaceholder(word, "%dir")) return vigil.directory().value_or("");
        return commonValue(vigil, word);
    });
}

}  // namespace ClientCommand
