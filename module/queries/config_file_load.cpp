#include "config_file_load.h"

#include "core/debug_log.h"
#include "tivplatform/system.h"

namespace tiv02000 {

std::string corruptConfigText(const std::string &path) {
    return "Arquivo de configura\xE7\xE3o da impressora fiscal (" + path +
           ") est\xE1 corrompido ou ileg\xEDvel e n\xE3o p\xF4"
           "de ser lido. Restaure-o a partir de uma c\xF3pia; o sistema ser\xE1 bloqueado.";
}

void loadConfigFile(tiv::TClientDataSet &file, const std::string &path) {
    // Only a path that is not there at all is a missing file; anything else that does not
    // load is damage, never "not found".
    const bool present = tiv::fileExists(path) || tiv::directoryExists(path);
    try {
        file.loadFromFile(path);
    } catch (const tiv::Error &e) {
        logDebug(std::string("ERRO!!! ") + path + ": " + e.what());
        if (!present)
            throw MissingConfigFile("Arquivo de configura\xE7\xE3o da impressora fiscal (" + path +
                                    ") n\xE3o encontrado.");
        throw CorruptConfigFile(corruptConfigText(path));
    }
}

} // namespace tiv02000
