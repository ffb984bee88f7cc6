// Files of the fiscal menu taken from the printer's memories: the detail
// memory's mirror, the Ato Cotepe files of the fiscal memory (MF) and of the
// detail memory (MFD), and the memories' images.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/dialogs.h"
#include "core/text.h"
#include "fiscal_menu.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

// A host date in the system's form as the printer takes it; one that does
// not convert raises and ends the procedure.
std::string printerDate(const std::string &text) {
    return tiv::formatDateTime("ddmmyyyy", tiv::strToDate(text));
}

int32_t requestFile(const std::string &start, const std::string &end, int32_t rangeKind,
                    int32_t mirrors, int32_t fileKind, const std::string &path) {
    return EPSON(EPSON_Obter_Dados_MF_MFD)(start.c_str(), end.c_str(), rangeKind, mirrors, fileKind,
                                           0, path.c_str());
}

} // namespace

extern "C" TIV_EXPORT bool geraEspelhoMfd(const tiv::Variant &args, tiv::Variant &result) {
    const tiv02000::CallGuard guard;
    try {
        ensureDataModule();
        ensureFiscalMenuFolder();
        auto text = [&](size_t i) { return tiv::argAt(args, i).toString(); };
        const std::string colourScheme = text(0), prefix = text(5);
        const bool byDates = text(8) == "1";
        const std::string start = byDates ? printerDate(text(6)) : tivhost::Ajusta(text(6), 6);
        const std::string end = byDates ? printerDate(text(7)) : tivhost::Ajusta(text(7), 6);
        const std::string name = prefix + start + end;
        const int32_t rc =
            requestFile(start, end, byDates ? 0 : 2, 255, 0, fiscalMenuFolder() + "/" + name);
        tiv::setResult(result, 0, trim(name));
        return analyse({colourScheme, true}, rc);
    } catch (const std::exception &e) {
        logDebug(std::string("geraEspelhoMfd: ") + e.what());
        return false;
    }
}

extern "C" TIV_EXPORT bool Gera_ArquivoMFD(const tiv::Variant &args, tiv::Variant &result) {
    const tiv02000::CallGuard guard;
    try {
        ensureDataModule();
        ensureFiscalMenuFolder();
        auto text = [&](size_t i) { return tiv::argAt(args, i).toString(); };
        const bool byDates = text(0) == "D", fromMf = text(3) == "MF";
        const std::string prefix = text(4), colourScheme = text(5);
        const std::string folder = fiscalMenuFolder();
        const tiv::TDateTime now = tiv::now();
        std::string name = prefix + "_" + tiv::formatDateTime("yyyymmdd", now) + "_" +
                           tiv::formatDateTime("hhnnss", now) + ".txt";
        if (byDates) {
            const std::string start = printerDate(text(1)), end = printerDate(text(2));
            name = prefix + start + end;
            const std::string path = folder + "/" + name;
            // The file's own outcome is told; the memory image below decides the result.
            (void)analyse({colourScheme, true},
                          requestFile(start, end, 0, 0, fromMf ? 3 : 2, path));
            if (fromMf)
                giveFinalName(path + "_CTP.txt", folder + "/Ato_Cotepe1.txt");
            else
                giveFinalName(path + "_CTP.txt", path);
        } else if (!fromMf) {
            (void)tivhost::Mensagem("Fun\xE7\xE3o n\xE3o suportada pela impressora fiscal EPSON.",
                                    "", "N", "N", 3, "", colourScheme, 0, nullptr);
        }
        const std::string image = folder + "/MFDFISCAL.MFD";
        const bool imaged = EPSON(EPSON_Obter_Arquivo_Binario_MFD)(image.c_str()) == 0;
        tiv::setResult(result, 0, trim(name) + "_CTP.txt");
        return imaged;
    } catch (const std::exception &e) {
        logDebug(std::string("Gera_ArquivoMFD: ") + e.what());
        return false;
    }
}

// The host's own error handling takes what this one raises.
extern "C" TIV_EXPORT bool GERA_MF(const std::string & /*unused1*/, const std::string &filePath) {
    const tiv02000::CallGuard guard;
    const int32_t rc = EPSON(EPSON_Obter_Arquivo_Binario_MF)(filePath.c_str());
    logDebug("EPSON_Obter_Arquivo_Binario_MF: " + filePath);
    return rc == 0;
}

// The month's binary files are not made by this printer's library.
extern "C" TIV_EXPORT bool GeraBinMes(tiv::TDateTime /*unused1*/, tiv::TDateTime /*unused2*/,
                                      const std::string & /*unused3*/) {
    const tiv02000::CallGuard guard;
    return true;
}
