// Loading and binding the vendor library, and releasing it.
#include "port.h"

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/dialogs.h"
#include "core/document_progress.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/system.h"

namespace {

const char *const kQuorinKey = "Software\\TOLVERA\\Sistemas Integrados Tolvera\\Quorin";

void readStartParameters(const tiv::Variant &params) {
    using tivhost::RecebeParams;
    for (const char *name : {"CDFILIAL", "CDCAIXA", "NRSERIEIMP", "ESQUEMA", "CDPORTAIMPFIS"})
        (void)RecebeParams(params, name).toString();
    inTipoImpFis = RecebeParams(params, "IDTIPOIMPFIS").toInt32();
    boNUtilTaa = !RecebeParams(params, "BOUTILTAA").toBoolean();
}

// The registry asks for the vendor library's own log with "EpLog" = "1".
bool libraryLogRequested() {
    const auto epLog = tiv::registryReadString("HKEY_LOCAL_MACHINE", kQuorinKey, "EpLog");
    return epLog && *epLog == "1";
}

void releaseLibrary() {
    tiv02000::unbindEntryPoints();
    if (ImpFisDLLHandle != 0) tiv::freeLibrary(ImpFisDLLHandle);
    ImpFisDLLHandle = 0;
}

} // namespace

extern "C" TIV_EXPORT bool StartImpFiscal(const tiv::Variant &params) {
    const tiv02000::CallGuard guard;
    using namespace tiv02000;
    ensureDataModule();
    try {
        readStartParameters(params);
    } catch (const std::exception &e) {
        parameterNotice(e, "StartImpFiscal");
    }
    // The printer type chooses the command family, once; a type without one
    // is refused before anything is loaded or bound.
    if (!chooseCommandFamily(inTipoImpFis)) {
        notice("Tipo de impressora fiscal inv\xE1lido: " + std::to_string(inTipoImpFis) +
                   ". Use 31 (comandos cl\xE1ssicos) ou 33 (ESC/ECF).",
               3, "001");
        return false;
    }
    if (ImpFisDLLHandle == 0) ImpFisDLLHandle = tiv::loadLibrary("InterfaceEpson.dll");
    if (ImpFisDLLHandle == 0) return false;

    std::string missing;
    if (!family().bindLibrary(ImpFisDLLHandle, missing)) {
        releaseLibrary();
        return false;
    }
    startPrinterSession();
    if (!openPort(params)) return false;

    family().switchLibraryLogOn(libraryLogRequested);
    (void)EPSON(EPSON_Config_Habilita_EAD)(1);
    (void)EPSON(EPSON_Config_Habilita_CAT52_Auto)(1);
    boImpFiscalOK = true;
    return true;
}

extern "C" TIV_EXPORT void StopImpFiscal() {
    const tiv02000::CallGuard guard;
    releaseLibrary();
}
