// Port opening, the printer's clock and identity.
#include "port.h"

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/dialogs.h"
#include "core/reply.h"
#include "core/text.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

// Fiscal-state bits that do not tell whether a receipt is open.
constexpr unsigned kIgnoredFiscalBits = 0x8000 | 0x4000 | 0x1000 | 0x0800 | 0x0400 | 0x0080;

// Minutes-as-HHNN of the difference text: "hh:nn[:ss]", or "-hh:nn..." when
// the printer is behind.
int differenceHHNN(std::string diff) {
    if (diff.find('-') != std::string::npos) diff = diff.substr(1, 5);
    return static_cast<int>(tiv::strToInt(copyText(diff, 1, 2) + copyText(diff, 4, 2)));
}

} // namespace

namespace tiv02000 {

bool openPort(const tiv::Variant &params) {
    ensureDataModule();
    for (const char *name : {"CDFILIAL", "CDCAIXA", "NRSERIE", "ESQUEMACOR", "PORTAIMPFIS"})
        (void)tivhost::RecebeParams(params, name).toString();

    (void)EPSON(EPSON_Serial_Abrir_PortaEx)();
    family().openDayIfClosed();
    family().closeLeftDocuments();
    Reply status(20);
    (void)EPSON(EPSON_Obter_Estado_Impressora)(status.data());
    if (!isBlank(status.text())) {
        const unsigned fiscal = hexWord(copyText(status.text(), 13, 4));
        if ((fiscal & ~kIgnoredFiscalBits) == 1) (void)EPSON(EPSON_Fiscal_Cancelar_Cupom)();
    }
    return true;
}

bool readClock(const std::string &colourScheme, std::string &clock) {
    Reply reply(family().clockReplySize());
    const int32_t rc = EPSON(EPSON_Obter_Hora_Relogio)(reply.data());
    clock = reply.text();
    return analyse({colourScheme, dialogsAllowed()},
                   {rc, replyLine("EPSON_Obter_Hora_Relogio", clock)});
}

} // namespace tiv02000

extern "C" TIV_EXPORT bool AbrePorta(const tiv::Variant &params) {
    const tiv02000::CallGuard guard;
    return openPort(params);
}

extern "C" TIV_EXPORT bool Data_Imp(const std::string &colourScheme, std::string &clock) {
    const tiv02000::CallGuard guard;
    return readClock(colourScheme, clock);
}

extern "C" TIV_EXPORT bool VerificaData(const std::string &colourScheme,
                                        tiv::TDateTime &movementDate, const std::string &clockIn,
                                        const std::string &fiscalDate, bool readClock) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    bool result = true;
    std::string clock = clockIn;
    try {
        if (readClock && !tiv02000::readClock(colourScheme, clock)) {
            boClieUtil = false;
            return false;
        }
        if (!clock.empty()) {
            const tiv::TDateTime printer = tiv::strToDateTime(
                copyText(clock, 1, 2) + "/" + copyText(clock, 3, 2) + "/" + copyText(clock, 7, 2) +
                " " + copyText(clock, 9, 2) + ":" + copyText(clock, 11, 2));
            const int hhnn = differenceHHNN(tivhost::SubtDataHoraQel(printer, tiv::now()));
            if (hhnn > 15) {
                if (boNUtilTaa || !boClieUtil)
                    tivhost::Mensagem(msg("Datadif"), "", "N", "N", 3, "", colourScheme, 0,
                                      nullptr);
                result = false;
            }
        }
        if (!fiscalDate.empty()) {
            const std::string century = tiv::formatDateTime("yyyy", tiv::now()).substr(0, 2);
            movementDate = tiv::encodeDate(
                static_cast<int>(tiv::strToInt(century + copyText(fiscalDate, 7, 2))),
                static_cast<int>(tiv::strToInt(copyText(fiscalDate, 3, 2))),
                static_cast<int>(tiv::strToInt(copyText(fiscalDate, 1, 2))));
        } else {
            movementDate = tiv::today();
        }
    } catch (const std::exception &) {
        movementDate = tiv::today();
    }
    return result;
}

extern "C" TIV_EXPORT bool Carrega_Dados_Impressora(tiv::Variant &params) {
    const tiv02000::CallGuard guard;
    std::string colourScheme, clock, ecf, reductions, serial, fiscalDay;
    try {
        using tivhost::RecebeParams;
        colourScheme = RecebeParams(params, "ESQUEMA").toString();
        (void)RecebeParams(params, "DATAATUIMP").toString();
        ecf = RecebeParams(params, "ECFIMP").toString();
        reductions = RecebeParams(params, "REDIMP").toString();
        serial = RecebeParams(params, "SERIEIMP").toString();
        (void)RecebeParams(params, "DATAIMP").toString();
    } catch (const std::exception &e) {
        parameterNotice(e, "Carrega_Dados_Impressora");
    }
    ecf = copyText(ecf, 1, 3);
    serial = copyText(serial, 1, 20);

    bool result = true;
    (void)EPSON(EPSON_Sys_Bloquear_Entradas)(0);

    Reply day(15);
    const Analysis quiet{colourScheme, false};
    int32_t rc = EPSON(EPSON_Obter_Data_Hora_Jornada)(day.data());
    fiscalDay = day.text();
    (void)analyse(quiet, {rc, replyLine("EPSON_Obter_Data_Hora_Jornada", fiscalDay)});
    // A six-character text of zeros never matches a filled answer; kept as
    // the only "no fiscal day yet" rule the host relies on.
    if (fiscalDay == "000000") fiscalDay = tiv::formatDateTime("ddmmyy", tiv::today());

    if (!isBlank(fiscalDay)) {
        Reply reply(15);
        rc = EPSON(EPSON_Obter_Hora_Relogio)(reply.data());
        clock = reply.text();
        (void)analyse(quiet, {rc, replyLine("EPSON_Obter_Hora_Relogio", clock)});
    } else {
        result = false;
    }

    std::string number;
    if (!isBlank(clock)) {
        Reply reply(10);
        rc = EPSON(EPSON_Obter_Numero_ECF_Loja)(reply.data());
        number = reply.text();
        (void)analyse(quiet, {rc, replyLine("EPSON_Obter_Numero_ECF_Loja", number)});
        ecf = copyText(number, 1, 3);
    } else {
        result = false;
    }

    if (!isBlank(number)) {
        Reply reply(110);
        rc = EPSON(EPSON_Obter_Dados_Impressora)(reply.data());
        (void)analyse(quiet, {rc, replyLine("EPSON_Obter_Dados_Impressora : ", reply.text())});
        serial = copyText(reply.text(), 1, 20);
    } else {
        result = false;
    }

    params = tiv::makeParams({{"DATAATUIMP", clock},
                              {"ECFIMP", ecf},
                              {"REDIMP", reductions},
                              {"SERIEIMP", serial},
                              {"DATAIMP", copyText(fiscalDay, 1, 8)}});
    return result;
}
