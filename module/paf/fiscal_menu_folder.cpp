#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/data_module.h"
#include "core/debug_log.h"
#include "fiscal_menu.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"
#include "tivplatform/system.h"

namespace tiv02000 {

std::string fiscalMenuFolder() {
    return tiv::programFolder() + "/Dados/MenuFiscal";
}

void ensureFiscalMenuFolder() {
    const std::string folder = fiscalMenuFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder))
        (void)tivhost::Mensagem(msg("N_POS_DIR") + " " + folder, "", "N", "N", 3, "", "002", 0,
                                nullptr);
}

std::string readingStamp() {
    return tiv::formatDateTime("ddmmyyyyhhmss", tiv::now());
}

void giveFinalName(const std::string &written, const std::string &finalPath) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(written, ec)) return;
    const bool replacing = std::filesystem::exists(finalPath, ec);
    // rename() replaces an existing file atomically: the old one or the new one, never neither.
    if (std::rename(written.c_str(), finalPath.c_str()) != 0) {
        logDebug("Arquivo " + written + " nao renomeado para " + finalPath + ": " +
                 std::strerror(errno));
        return;
    }
    if (replacing) logDebug("Arquivo " + finalPath + " substituido por " + written);
}

} // namespace tiv02000
