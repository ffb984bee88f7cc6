#include "closing_layout.h"

#include "core/command_family.h"

namespace tiv02000 {

ClosingLayout chooseLayout(const ClosingArgs &a, bool agreementSale) {
    if (a.conferenceVariant == "2" && !a.consumerCode.empty() && a.balanceMode == "1")
        return ClosingLayout::BalanceConference;
    if (a.familyMode == "1" && a.balanceMode == "1") return ClosingLayout::FamilyBalance;
    if (a.tefMarker == "T" && a.tefInUse && a.tefList == "S") return ClosingLayout::TefSlipList;
    if (agreementSale) return ClosingLayout::Agreement;
    if (!a.receiptNumber.empty()) return ClosingLayout::NumberedSale;
    return ClosingLayout::PlainSale;
}

LayoutRules rulesOf(ClosingLayout layout) {
    switch (layout) {
    case ClosingLayout::BalanceConference:
        return {.closes = false, .conferenceNumbers = false};
    case ClosingLayout::FamilyBalance:
    case ClosingLayout::TefSlipList:
        return {};
    case ClosingLayout::Agreement:
    case ClosingLayout::NumberedSale:
        return {.subsidy = true};
    case ClosingLayout::PlainSale:
        break;
    }
    return {.conferenceNumbers = false, .closingJudgedOnFailure = true};
}

std::string footerDebugLine(ClosingLayout layout, const std::string &footer) {
    const std::string name = command_name::kFooter;
    switch (layout) {
    case ClosingLayout::BalanceConference:
    case ClosingLayout::FamilyBalance:
        return name;
    case ClosingLayout::TefSlipList:
        return name + "()";
    default:
        return name + "(" + footer + ")";
    }
}

} // namespace tiv02000
