#include "closing_args.h"

#include "tivplatform/params.h"

namespace tiv02000 {

ClosingArgs readClosingArgs(const tiv::Variant &args) {
    ClosingArgs a;
    auto at = [&](size_t i) -> const tiv::Variant & { return tiv::argAt(args, i); };
    auto text = [&](size_t i) { return at(i).toString(); };
    try {
        a.changeTotalizer = text(0);
        a.firstLine = text(1);
        a.colourScheme = text(2);
        a.issueChange = at(4).toBoolean();
        a.show = at(5).toBoolean();
        a.subtotalDiscount = at(6).toReal();
        a.changeAmount = at(7).toReal();
        a.subtotalSurcharge = at(8).toReal();
        a.tefMarker = text(9);
        a.freeMessage = text(10);
        a.tefInUse = at(11).toBoolean();
        a.movements = at(13);
        a.paymentMethods = at(14);
        a.customerCode = text(15);
        a.customerName = text(16);
        a.consumerCode = text(17);
        a.consumerName = text(18);
        a.receiptNumber = text(19);
        (void)text(20);
        a.tableNumber = text(21);
        a.operatorCode = text(22);
        a.operatorName = text(23);
        a.familyMode = text(27);
        a.conferenceCoo = text(28);
        a.conferenceCer = text(29);
        a.password = text(31);
        a.creditBalances = at(32);
        a.familyBalances = at(33);
        a.loans = at(34);
        a.conferenceVariant = text(35);
        a.balanceMode = text(36);
        a.familyBalanceBase = at(37).toReal();
        a.subsidisedPrice = at(38).toReal();
        a.tefList = text(40);
        a.printerNumber = text(41);
        a.passThrough = at(42);
        a.stateCode = text(43);
        a.companyCnpj = text(44);
        a.federalTax = at(51).toReal();
        a.points = at(52).toReal();
        a.extraPoints = at(54).toReal();
        a.stateTax = at(58).toReal();
        a.printConsumer = at(60).isUnassigned() ? true : at(60).toBoolean();
        a.fidelityDiscount = at(61).toReal();
    } catch (const std::exception &) {
        // The host's list may be short or hold an unreadable value: what
        // was read stands, the rest keeps its default.
    }
    return a;
}

} // namespace tiv02000
