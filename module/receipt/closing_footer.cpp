#include "closing_footer.h"

#include "core/text.h"
#include "footer.h"
#include "tivhost/host.h"
#include "tivplatform/variant.h"

namespace tiv02000 {

namespace {

bool hasRows(tiv::TClientDataSet *ds) {
    return ds && ds->active() && !ds->isEmpty();
}

// The consumer's code and name are printed only when the host asks for them.
std::string consumerText(const ClosingArgs &a, const std::string &text) {
    return a.printConsumer && !isBlank(text) ? copyText(text, 1, 20) : "";
}

} // namespace

ConferenceNumbers readConferenceNumbers(const ClosingArgs &a) {
    ConferenceNumbers n{a.conferenceCoo, a.conferenceCer};
    if (!isBlank(n.coo)) n.coo = tivhost::Ajusta(n.coo, 6);
    if (!isBlank(n.cer))
        n.cer = tivhost::Ajusta(tiv::Variant(tiv::Variant(n.cer).toInteger()).toString(), 6);
    return n;
}

double familyBalanceTotal(const ClosingArgs &a, const PaymentDatasets &d, double consumption,
                          ClosingLayout layout) {
    if (layout == ClosingLayout::TefSlipList) return 0;
    const bool rows = hasRows(d.creditBalances);
    auto sum = [&] {
        double s = 0;
        if (!rows) return s;
        for (d.creditBalances->first(); !d.creditBalances->eof(); d.creditBalances->next())
            s += d.creditBalances->fieldByName("VRSALDCONFAM").asFloat();
        return s;
    };
    const std::string &family = a.familyMode;
    if (layout == ClosingLayout::BalanceConference || layout == ClosingLayout::FamilyBalance)
        return (family == "0" || family == "1") && rows ? sum() - consumption : 0.0;
    if (family == "0" && a.balanceMode == "1") return sum() - consumption;
    if ((family == "0" && a.balanceMode == "2") || family == "1")
        return a.familyBalanceBase - consumption + a.subsidisedPrice;
    return 0;
}

std::string closingFooter(const ClosingArgs &a, const ClosingLines &lines,
                          const ConferenceNumbers &conference, const PaymentDatasets &d,
                          const PaymentRun &run, ClosingLayout layout) {
    const LayoutRules rules = rulesOf(layout);
    const bool numbers = rules.conferenceNumbers;
    return formatFooter({
        .maxLines = 8,
        .balanceMode = a.balanceMode,
        .firstLine = a.firstLine,
        .taxLine = lines.tax,
        .lotteryLine = lines.lottery,
        .customerCode = copyText(a.customerCode, 1, 20),
        .customerName = copyText(a.customerName, 1, 20),
        .consumerCode = consumerText(a, a.consumerCode),
        .consumerName = consumerText(a, a.consumerName),
        .operatorCode = a.operatorCode,
        .operatorName = a.operatorName,
        .tableLine = lines.table,
        .passwordLine = lines.password,
        .freeMessage = a.freeMessage,
        .ecfNumber = numbers ? a.printerNumber : "",
        .cerCounter = numbers ? conference.cer : "",
        .receiptNumber = numbers ? conference.coo : "",
        .familyMode = a.familyMode,
        .layout = layout == ClosingLayout::Agreement ? "1" : "2",
        .familyBalanceTotal = familyBalanceTotal(a, d, run.consumptionTotal, layout),
        .subsidisedPrice = rules.subsidy ? a.subsidisedPrice : 0.0,
        .balances = d.creditBalances,
        .familyBalances = d.familyBalances,
        .familyMovements = d.loans,
        .pointsLine = lines.points,
        .extraPointsLine = lines.extraPoints,
        .fidelityDiscountLine = lines.fidelityDiscount,
    });
}

} // namespace tiv02000
