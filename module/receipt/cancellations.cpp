// Cancellations: the last fiscal receipt (closing first a linked card voucher left open), one
// item of the open receipt by its number, and the last item sold.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/carried_out.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/debug_log.h"
#include "core/text.h"
#include "documents/documents.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

struct CancelArgs {
    std::string colourScheme;
    bool show = false, flag = false;
    std::string branch, till, serialNumber;
    std::string record = "N";
};

CancelArgs readCancelArgs(const tiv::Variant &args) {
    auto at = [&](size_t i) -> const tiv::Variant & { return tiv::argAt(args, i); };
    CancelArgs a;
    a.colourScheme = at(0).toString();
    a.show = at(1).toBoolean();
    a.flag = at(2).toBoolean();
    a.branch = at(4).toString();
    a.till = at(5).toString();
    a.serialNumber = at(6).toString();
    try {
        a.record = at(7).toString();
    } catch (const std::exception &) {
        // Absent or unreadable: the cancellation is recorded.
    }
    return a;
}

} // namespace

extern "C" TIV_EXPORT bool Cancela_Cupom_Imp(const tiv::Variant &args, tiv::Variant &result) {
    const tiv02000::CallGuard guard;
    bool cancelled = false;
    try {
        const CancelArgs a = readCancelArgs(args);
        const int width = family().receiptNumberWidth();
        std::string number = receiptNumber(a.colourScheme);
        // A linked card voucher still open is closed first; the receipt it follows is then
        // the one before the number read.
        (void)EPSON(EPSON_NaoFiscal_Cancelar_CCD)("", "", 0, "", number.c_str());
        if (EPSON(EPSON_NaoFiscal_Fechar_CCD)(1) == 0)
            number = tivhost::Ajusta(tiv::intToStr(tiv::strToInt(number) - 1), width);
        std::string formatted;
        if (upper(number) != "ERRO") {
            formatted = tivhost::Ajusta(number, width);
            // The printer's count of cancelled receipts tells whether it cancelled; a repeat
            // that finds it did hands back the number the first call cancelled.
            cancelled = sendOnce(
                {"Cancela_Cupom_Imp", "EPSON_Fiscal_Cancelar_Cupom", witness::receiptsCancelled},
                {a.colourScheme, a.show, a.flag},
                [] {
                    const int32_t rc = EPSON(EPSON_Fiscal_Cancelar_Cupom)();
                    return Sent{rc, "EPSON_Fiscal_Cancelar_Cupom"};
                },
                &formatted);
        }
        tiv::setResult(result, 0, formatted);
        if (const auto &reconcile = tivhost::Atu_TotGeral())
            (void)reconcile(tiv::makeParams({{"CDFILIAL", a.branch},
                                             {"CDCAIXA", a.till},
                                             {"NRSERIEIMP", a.serialNumber},
                                             {"ESQUEMACOR", a.colourScheme},
                                             {"IDVALIDA", "N"}}));
        if (a.record == "N") recordDocument(a.serialNumber, a.colourScheme, "NC", "");
    } catch (const std::exception &e) {
        logDebug(std::string("Cancela_Cupom_Imp: ") + e.what());
        return false;
    }
    return cancelled;
}

extern "C" TIV_EXPORT bool Cancela_ItGenerico(const std::string &colourScheme,
                                              const std::string &item, const std::wstring &,
                                              const std::wstring &, const std::wstring &,
                                              const std::wstring &, const std::wstring &,
                                              const std::wstring &, const std::wstring &, double,
                                              double) {
    const tiv02000::CallGuard guard;
    const std::string number = copyText(item, 2, 4);
    // A cancelled item adds its amount to the day's cancellations.
    return sendOnce(
        {"Cancela_ItGenerico " + number, command_name::kCancelItem, witness::cancelledCents},
        {colourScheme, false}, [&] { return family().cancelItem(number); });
}

extern "C" TIV_EXPORT bool Cancela_UltimoItem(const std::string &colourScheme) {
    const tiv02000::CallGuard guard;
    return sendOnce(
        {"Cancela_UltimoItem", "EPSON_Fiscal_Cancelar_Ultimo_Item", witness::cancelledCents},
        {colourScheme, true}, [] {
            return Sent{EPSON(EPSON_Fiscal_Cancelar_Ultimo_Item)(),
                        "EPSON_Fiscal_Cancelar_Ultimo_Item"};
        });
}
