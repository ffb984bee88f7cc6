#include "closing_lines.h"

#include "core/data_module.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tivplatform/datetime.h"
#include "tivplatform/numbers.h"
#include "tivplatform/settings.h"

namespace tiv02000 {

namespace {

std::string fill(std::string pattern, const std::string &value) {
    const auto at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, value);
    return pattern;
}

// The amount's whole digits followed by its two decimals ("12,50" ->
// "1250"); zero gives "000" rather than losing its whole part.
std::string lotteryDigits(double amount) {
    const std::string text = tiv::formatFloat(".00", amount);
    const auto sep = text.find(tiv::formatSettings().decimalSeparator);
    std::string whole = sep == std::string::npos ? text : text.substr(0, sep);
    const std::string decimals = sep == std::string::npos ? "00" : text.substr(sep + 1, 2);
    if (whole.empty() || whole == "-") whole += "0";
    return whole + decimals;
}

} // namespace

ClosingLines prepareClosingLines(const ClosingArgs &a) {
    ClosingLines l;
    if (a.points != 0) l.points = fill(msg2("DOTZ"), tiv::floatToStr(a.points));
    if (a.extraPoints != 0)
        l.extraPoints = fill(msg2("DOTZ_EXTRAS"), tiv::floatToStr(a.extraPoints));
    if (a.fidelityDiscount != 0)
        l.fidelityDiscount = fill(msg2("DESC_FID"), tiv::formatFloat("0.00", a.fidelityDiscount));
    if (!isBlank(a.tableNumber)) {
        if (a.tableNumber.size() > 4)
            l.table = msg("Comanda") + " : " + a.tableNumber + "   - ";
        else
            l.table = msg("Mesa") + "  : " + a.tableNumber + "           - ";
    }
    if (!a.password.empty()) l.password = std::string("\x1B\x05") + msg("SENHA") + a.password;
    return l;
}

void prepareSaleLines(const ClosingArgs &a, double saleAmount, ClosingLines &l) {
    l.tax = "Trib aprox R$: " + tiv::formatFloat("#,##0.00", a.federalTax) + " Federal e " +
            tiv::formatFloat("#,##0.00", a.stateTax) + " Estadual Fonte:IBPT";
    l.lottery.clear();
    if (a.stateCode == "PB")
        l.lottery = "PARAIBA LEGAL - RECEITA CIDADA\n\rTORPEDO PREMIADO: " +
                    copyText(FormataCNPJ(a.companyCnpj), 1, 14) + " " +
                    tiv::formatDateTime("ddmmyyyy", tiv::today()) + " " +
                    lotteryDigits(saleAmount) + " " + copyText(a.receiptNumber, 1, 11);
}

} // namespace tiv02000
