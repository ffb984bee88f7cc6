#include "closing_checks.h"

#include <cmath>

#include "core/dialogs.h"
#include "core/error_report.h"
#include "tivplatform/numbers.h"

namespace tiv02000 {

namespace {

bool refused(const std::string &text, const std::string &colourScheme) {
    reportError(text, colourScheme, dialogsAllowed());
    return false;
}

std::string notANumber(const std::string &what) {
    return what + " n\xE3o \xE9 um n\xFAmero v\xE1lido; o cupom fiscal n\xE3o foi fechado.";
}

} // namespace

bool closingCallValid(const tiv::Variant &args, const tiv::Variant &result) {
    if (!args.isArray() || args.items().empty())
        return refused("FechaCupom: a lista de argumentos est\xE1 vazia ou n\xE3o \xE9 uma lista; "
                       "o cupom fiscal n\xE3o foi fechado.",
                       "");
    if (!result.isArray() || result.items().size() < 4)
        return refused("FechaCupom: a matriz de resultado deve ter ao menos 4 elementos; o cupom "
                       "fiscal n\xE3o foi fechado.",
                       "");
    return true;
}

bool closingAmountsFinite(const ClosingArgs &a, const PaymentDatasets &d) {
    const struct {
        const char *what;
        double value;
    } amounts[] = {{"Desconto do subtotal", a.subtotalDiscount},
                   {"Valor do contra-vale", a.changeAmount},
                   {"Acr\xE9scimo do subtotal", a.subtotalSurcharge},
                   {"Saldo da fam\xEDlia", a.familyBalanceBase},
                   {"Pre\xE7o subsidiado", a.subsidisedPrice},
                   {"Tributo federal", a.federalTax},
                   {"Pontos", a.points},
                   {"Pontos extras", a.extraPoints},
                   {"Tributo estadual", a.stateTax},
                   {"Desconto fidelidade", a.fidelityDiscount}};
    for (const auto &amount : amounts)
        if (!std::isfinite(amount.value)) return refused(notANumber(amount.what), a.colourScheme);
    for (tiv::TClientDataSet *ds :
         {d.movements, d.methods, d.creditBalances, d.familyBalances, d.loans}) {
        if (ds == nullptr || !ds->active()) continue;
        for (ds->first(); !ds->eof(); ds->next())
            for (const auto &def : ds->fieldDefs()) {
                if (def.type != tiv::FieldType::Float) continue;
                if (!std::isfinite(ds->fieldByName(def.name).asFloat()))
                    return refused(notANumber(def.name), a.colourScheme);
            }
    }
    return true;
}

} // namespace tiv02000
