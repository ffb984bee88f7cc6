#pragma once
// The six ways a receipt is closed, each named for the sale it closes, and what each does.
#include <string>

#include "closing_args.h"

namespace tiv02000 {

enum class ClosingLayout {
    BalanceConference, // the consumer's balance shown for conference: the receipt stays open
    FamilyBalance,     // the family's balances listed
    TefSlipList,       // a TEF sale whose slips are listed
    Agreement,         // a sale paid by agreement: the agreement's own footer, with subsidy
    NumberedSale,      // a sale with the host's receipt number, with subsidy
    PlainSale,         // any other sale
};

// What a layout prints and sends.
struct LayoutRules {
    bool closes = true;                  // sends the closing command after the footer
    bool conferenceNumbers = true;       // the footer's table-conference line (ECF, CER, COO)
    bool subsidy = false;                // the footer's subsidised price
    bool closingJudgedOnFailure = false; // a closing answered 0 is not judged
};

// The first layout whose sale this is. `agreementSale`: a payment of the agreement kind was sent.
ClosingLayout chooseLayout(const ClosingArgs &a, bool agreementSale);
LayoutRules rulesOf(ClosingLayout layout);
// The footer's debug line as each layout has always written it.
std::string footerDebugLine(ClosingLayout layout, const std::string &footer);

} // namespace tiv02000
