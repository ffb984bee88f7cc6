#pragma once
// The footer lines a closing prepares from the sale.
#include <string>

#include "closing_args.h"

namespace tiv02000 {

struct ClosingLines {
    std::string points, extraPoints, fidelityDiscount, table, password;
    std::string tax, lottery;
};

// Points, extra points, fidelity discount, table and password lines.
ClosingLines prepareClosingLines(const ClosingArgs &a);
// The approximate-tax line and, for the state code "PB", the state-lottery
// line for the amount sold (paid total less the change voucher).
void prepareSaleLines(const ClosingArgs &a, double saleAmount, ClosingLines &lines);

} // namespace tiv02000
