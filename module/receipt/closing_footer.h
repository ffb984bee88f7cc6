#pragma once
// The footer of a receipt closing: the sale's lines and its layout's choices made into the
// footer's fields.
#include <string>

#include "closing_args.h"
#include "closing_layout.h"
#include "closing_lines.h"
#include "payments.h"

namespace tiv02000 {

// The table-conference numbers, six characters each. A CER that is no whole number raises here,
// before anything is printed.
struct ConferenceNumbers {
    std::string coo, cer;
};
ConferenceNumbers readConferenceNumbers(const ClosingArgs &a);

// The family balance the footer shows.
double familyBalanceTotal(const ClosingArgs &a, const PaymentDatasets &d, double consumption,
                          ClosingLayout layout);

// The footer text the closing prints.
std::string closingFooter(const ClosingArgs &a, const ClosingLines &lines,
                          const ConferenceNumbers &conference, const PaymentDatasets &d,
                          const PaymentRun &run, ClosingLayout layout);

} // namespace tiv02000
