// The fiscal day's date, the printer's state and its cash drawer.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/reply.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivplatform/datetime.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace tiv02000 {

tiv::TDateTime fiscalMovementDate(const std::string &colourScheme) {
    Reply reply(15);
    const int32_t rc = EPSON(EPSON_Obter_Data_Hora_Jornada)(reply.data());
    const std::string date = copyText(reply.text(), 1, 8);
    (void)analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_Data_Hora_Jornada", date)});

    // No fiscal day yet (zeros, blanks): the movement belongs to today.
    const std::string century = tiv::formatDateTime("yyyy", tiv::now()).substr(0, 2);
    int64_t day = 0, month = 0, year = 0;
    tiv::TDateTime result = 0;
    if (tiv::tryStrToInt(copyText(date, 1, 2), day) &&
        tiv::tryStrToInt(copyText(date, 3, 2), month) &&
        tiv::tryStrToInt(century + copyText(date, 7, 2), year) && day > 0 && day <= 31 &&
        month > 0 && month <= 12 &&
        tiv::tryEncodeDate(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                           result))
        return result;
    return tiv::today();
}

bool printerReady(const std::string &colourScheme) {
    bool result;
    try {
        Reply reply(20);
        result =
            analyse({colourScheme, boNUtilTaa}, EPSON(EPSON_Obter_Estado_Impressora)(reply.data()));
    } catch (const std::exception &) {
        result = false;
    }
    boClieUtil = result;
    return result;
}

} // namespace tiv02000

extern "C" TIV_EXPORT tiv::TDateTime DataMoviFiscal(const std::string &colourScheme) {
    const tiv02000::CallGuard guard;
    return fiscalMovementDate(colourScheme);
}

extern "C" TIV_EXPORT bool Estado_Imp(const std::string &colourScheme, bool /*unused2*/,
                                      bool /*unused3*/) {
    const tiv02000::CallGuard guard;
    return printerReady(colourScheme);
}

extern "C" TIV_EXPORT std::string Estado_Gaveta_Imp(const std::string & /*unused1*/) {
    const tiv02000::CallGuard guard;
    Reply reply(20);
    (void)EPSON(EPSON_Obter_Estado_Impressora)(reply.data());
    return copyText(reply.text(), 9, 4) == "1001" ? "00" : "01";
}

extern "C" TIV_EXPORT bool Abre_Gaveta_Imp(const std::string &colourScheme, bool /*unused2*/) {
    const tiv02000::CallGuard guard;
    return analyse({colourScheme, true}, family().openDrawer());
}
