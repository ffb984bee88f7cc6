// The fiscal day: X reading, Z reduction (the next day opened at once), and the
// daylight-saving state and switch.
#include <cstdint>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/carried_out.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/dialogs.h"
#include "documents/documents.h"
#include "fiscal_day.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"

using namespace tiv02000;

namespace {

bool reportMessage(const std::exception &e, const char *procedure,
                   const std::string &colourScheme) {
    tivhost::Mensagem(operatorText(e, procedure), "", "N", "N", 3, "", colourScheme, 0, nullptr);
    return false;
}

bool daylightSavingInForce() {
    uint8_t flag = 0;
    const int32_t rc = EPSON(EPSON_Obter_Estado_Horario_Verao)(&flag);
    logReply("EPSON_Obter_Estado_Horario_Verao", std::to_string(rc));
    return flag != 0;
}

} // namespace

namespace tiv02000 {

bool printXReading(const std::string &serialNumber, const std::string &colourScheme) {
    const bool ok = sendOnce(
        {"Leitura_X_Imp", "EPSON_RelatorioFiscal_LeituraX", witness::xReadings},
        {colourScheme, true}, [] {
            return Sent{EPSON(EPSON_RelatorioFiscal_LeituraX)(), "EPSON_RelatorioFiscal_LeituraX"};
        });
    if (ok) recordDocument(serialNumber, colourScheme, "LX", "");
    return ok;
}

} // namespace tiv02000

extern "C" TIV_EXPORT bool Leitura_X_Imp(const std::string &serialNumber, const std::string &,
                                         const std::string &colourScheme, const std::string &) {
    const tiv02000::CallGuard guard;
    return printXReading(serialNumber, colourScheme);
}

extern "C" TIV_EXPORT bool Reducao_Z_Imp(const std::string &serialNumber, const std::string &,
                                         const std::string &colourScheme, const std::string &) {
    const tiv02000::CallGuard guard;
    const bool ok = sendOnce({"Reducao_Z_Imp", command_name::kReduceZ, witness::reductions},
                             {colourScheme, true}, [] { return family().reduceZ(); });
    // The next day is opened whatever the reduction answered.
    (void)EPSON(EPSON_RelatorioFiscal_Abrir_Dia)();
    if (ok) recordDocument(serialNumber, colourScheme, "RZ", "");
    return ok;
}

extern "C" TIV_EXPORT bool Estado_HorVerao(const std::string &colourScheme) {
    const tiv02000::CallGuard guard;
    try {
        return daylightSavingInForce();
    } catch (const std::exception &e) {
        return reportMessage(e, "Estado_HorVerao", colourScheme);
    }
}

extern "C" TIV_EXPORT bool Muda_Horario(const std::string &colourScheme) {
    const tiv02000::CallGuard guard;
    try {
        return family().switchDaylightSaving(!daylightSavingInForce(), colourScheme);
    } catch (const std::exception &e) {
        return reportMessage(e, "Muda_Horario", colourScheme);
    }
}
