#include "core/amounts.h"

#include <cmath>

#include "core/error_report.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"

namespace tiv02000 {

std::optional<std::string> tryPrinterAmount(double value, std::string_view mask,
                                            Truncation truncation) {
    const auto separator = mask.find('.');
    if (separator == std::string_view::npos || mask.find('.', separator + 1) != mask.npos ||
        mask.find_first_not_of("0.") != mask.npos)
        throw tiv::Error("printer amount mask must be zeros with one '.': " + std::string(mask));
    if (!std::isfinite(value) || value < 0) return std::nullopt;

    // Checked first so that no huge value reaches the truncation or the
    // formatter; truncation never makes a value larger.
    if (value >= std::pow(10.0, static_cast<double>(separator))) return std::nullopt;
    double v = value + 0.0; // no negative zero
    if (truncation == Truncation::To2) v = tivhost::Trunc2(v);
    if (truncation == Truncation::To3) v = tivhost::Trunc3(v);

    std::string text = tiv::formatFloat(std::string(mask), v);
    // Rounding by the formatting may still carry into a new whole digit.
    if (text.size() != mask.size()) return std::nullopt;
    text.erase(separator, 1);
    if (text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return text;
}

std::string reportAmountRefused(const std::string &what, double value,
                                const std::string &colourScheme, bool show) {
    const std::string text =
        what + " " + tiv::floatToStr(value) + " excede o tamanho aceito pela impressora fiscal.";
    reportError(text, colourScheme, show);
    return text;
}

} // namespace tiv02000
