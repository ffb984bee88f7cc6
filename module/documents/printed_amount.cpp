// Refusal of an amount that its printed column cannot hold.
#include <cmath>

#include "core/amounts.h"
#include "documents/printed_amount.h"
#include "tiv02000/variables.h"

namespace tiv02000 {

std::string fitAmount(const std::string &what, double value, const std::string &text, size_t width,
                      const std::string &colourScheme) {
    if (std::isfinite(value) && text.size() <= width) return text;
    throw AmountRefused(reportAmountRefused(what, value, colourScheme, boNUtilTaa));
}

std::string voucherCents(const std::string &what, double value, const std::string &colourScheme) {
    if (std::isfinite(value))
        if (const auto cents = tryPrinterAmount(value, "000000000000.00", Truncation::None))
            return *cents;
    throw AmountRefused(reportAmountRefused(what, value, colourScheme, boNUtilTaa));
}

} // namespace tiv02000
